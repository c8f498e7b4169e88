#pragma once

#include <QString>

class ListView;

namespace RecordsWorkbook {

// Writes every row of the reports list to an .xlsx workbook (sheet "Records"): a title row, person
// numbers as texts, days as dates, times in and out as times of day in the clock's form, and any cell
// that cannot be read as what its column holds as the text shown. Throws std::runtime_error.
void save(ListView& list, const QString& fileName);

} // namespace RecordsWorkbook
