#pragma once

#include "Measure.h"

#include <vector>

// A terminal's figures on the generated workplace: from a badge read's Enter to the banner painted,
// without and with the password asked. Opens its own main window in terminal mode; no other main
// window may be open.
void measureTerminal(std::vector<Row>& rows, int persons, double hashMs);
