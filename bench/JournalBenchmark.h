#pragma once

#include "Measure.h"

#include <QString>
#include <vector>

// A terminal's journal on the server `url` (persons P0 ... P49 with password "pw" must exist): the
// delivery of 10,000 punches that waited while the server was away.
void measureJournalDelivery(std::vector<Row>& rows, const QString& url, const QString& workDir);
