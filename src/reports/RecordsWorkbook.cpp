#include "reports/RecordsWorkbook.h"

#include "platform/DateTexts.h"
#include "platform/ListView.h"
#include "platform/Workbook.h"
#include "reports/ReportsWindow.h"

namespace RecordsWorkbook {

void save(ListView& list, const QString& fileName) {
    QStringList titles;
    for (int column = 0; column < list.columnCount(); ++column)
        titles << list.columnHeader(column);
    Workbook::write(fileName, [&](Workbook& book) {
        Workbook::Sheet sheet = book.sheet(QStringLiteral("Records"), titles);
        int sheetRow = 1;
        for (int row = 0; row < list.rowCount(); ++row) {
            for (int column = 0; column < list.columnCount(); ++column) {
                const QString text = list.itemText(row, column);
                if (column == ReportsWindow::ColumnDate) {
                    if (const QDate day = DateTexts::parseShortDate(text); day.isValid()) {
                        sheet.date(sheetRow, column, day);
                        continue;
                    }
                } else if (column == ReportsWindow::ColumnLogin || column == ReportsWindow::ColumnLogout) {
                    sheet.time(sheetRow, column, DateTexts::parseClockTime(text).value_or(QTime()), text);
                    continue;
                }
                sheet.text(sheetRow, column, text);
            }
            ++sheetRow;
        }
    });
}

} // namespace RecordsWorkbook
