#pragma once

#include "hours/HoursTotals.h"
#include "hours/Periods.h"

#include <QString>
#include <vector>

namespace Hours {

// The hours as an .xlsx workbook that spreadsheet programs read without guessing: person numbers
// as texts, days as dates, times of day as times in the clock's form, hours as [h]:mm durations
// beside decimal hours. A "Totals" sheet (one row per person and the total, the period in its
// title) and a "Timesheet" sheet (every record, punched and rounded, with the notes). No office
// program is needed. Throws std::runtime_error when the file cannot be written; an existing file
// is replaced only once the new one is complete.
void writeWorkbook(const QString& fileName, const Period& period, const std::vector<Record>& records,
                   const Report& report, const Rules& rules);

} // namespace Hours
