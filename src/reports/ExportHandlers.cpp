#include "core/ErrorTrap.h"
#include "platform/DateTexts.h"
#include "platform/ListView.h"
#include "platform/MessageBox.h"
#include "platform/MousePointer.h"
#include "platform/SaveDialog.h"
#include "platform/Spreadsheet.h"
#include "reports/ListTextFile.h"
#include "reports/RecordsWorkbook.h"
#include "reports/ReportsWindow.h"

#include <QProgressDialog>
#include <QRegularExpression>
#include <algorithm>
#include <memory>
#include <stdexcept>

namespace {

// Save dialog flags: Explorer style, long names, multiple selection, read-only box ticked; no
// overwrite prompt.
constexpr int kSaveDialogFlags = 0x280201;

// Lists of more rows than this show their progress while they go to the spreadsheet.
constexpr int kProgressFromRows = 2000;

// While an export runs the window takes no other command: the export lets the message loop run,
// and a search, a deletion or closing the window meanwhile would change the list under it.
class ExportRun {
public:
    explicit ExportRun(ReportsWindow& window) : m_window(window) { m_window.setExporting(true); }
    ~ExportRun() { m_window.setExporting(false); }
    ExportRun(const ExportRun&) = delete;
    ExportRun& operator=(const ExportRun&) = delete;

private:
    ReportsWindow& m_window;
};

// The QTime format a stored time text was written in ("hh:mm AP", "HH.mm"), or "" when the text
// is no time or the format would not give it back exactly: Latin digits, and the designator of
// the default locale, which the sheet shows.
QString timeForm(const QString& text, const QTime& time) {
    static const QRegularExpression shape(
        QStringLiteral(R"(^(([0-9]{1,2})([^0-9\s])[0-9]{2}(\3[0-9]{2})?)(\s*)(.*)$)"));
    const auto match = shape.match(text);
    if (!match.hasMatch())
        return {};
    const QString designator = match.captured(6);
    const bool twelveHour = !designator.isEmpty();
    const QString separator = QLatin1Char('\'') + match.captured(3) + QLatin1Char('\'');
    QString form = QString(match.captured(2).size(), QLatin1Char(twelveHour ? 'h' : 'H')) + separator +
                   QStringLiteral("mm") +
                   (match.hasCaptured(4) ? separator + QStringLiteral("ss") : QString());
    // h without a designator in the format counts to 23: the digits are compared as 24-hour ones.
    const QTime shown =
        twelveHour ? QTime(time.hour() % 12 == 0 ? 12 : time.hour() % 12, time.minute(), time.second())
                   : time;
    if (QLocale::c().toString(shown, form) != match.captured(1))
        return {};
    if (!twelveHour)
        return form;
    const QString expected = time.hour() < 12 ? QLocale().amText() : QLocale().pmText();
    if (designator.compare(expected, Qt::CaseInsensitive) != 0)
        return {};
    if (!match.captured(5).isEmpty())
        form += QLatin1Char('\'') + match.captured(5) + QLatin1Char('\'');
    return form + (designator == designator.toLower() ? QStringLiteral("ap") : QStringLiteral("AP"));
}

// The spreadsheet's number formats write Latin digits only.
bool latinDigits(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return !c.isDigit() || c.unicode() < 0x80; });
}

// A cell of the list's date or time columns goes to the sheet as a date or time value that shows
// the same text as the list; any other text, and one that does not read back exactly, as typed.
void writeCell(SpreadsheetApplication& sheet, int row, int column, int listColumn, const QString& text) {
    if (!latinDigits(text)) {
        sheet.setCell(row, column, text);
        return;
    }
    if (listColumn == ReportsWindow::ColumnDate) {
        const QDate date = DateTexts::parseShortDate(text);
        if (date.isValid() && DateTexts::shortDate(date) == text)
            return sheet.setDate(row, column, date, DateTexts::shortDateFormat());
    } else if (listColumn == ReportsWindow::ColumnLogin || listColumn == ReportsWindow::ColumnLogout) {
        if (const auto time = DateTexts::parseClockTime(text)) {
            if (const QString form = timeForm(text, *time); !form.isEmpty())
                return sheet.setTime(row, column, *time, form);
        }
    }
    sheet.setCell(row, column, text);
}

// The window's save dialog; it lives as long as the window, so it keeps the last chosen name.
SaveDialog* commonDialog1(ReportsWindow* window) {
    auto* dialog = window->findChild<SaveDialog*>(QStringLiteral("saveDialog"), Qt::FindDirectChildrenOnly);
    if (!dialog) {
        dialog = new SaveDialog(window);
        dialog->setObjectName(QStringLiteral("saveDialog"));
    }
    return dialog;
}

} // namespace

void ReportsWindow::saveAsText() {
    if (m_exporting)
        return;
    ErrorTrap trap(Where::SaveReportText);
    SaveDialog* dialog = commonDialog1(this);
    QString fileName;
    trap.step(106, [&] { dialog->setFlags(kSaveDialogFlags); });
    trap.step(108, [&] { dialog->setDialogTitle(QStringLiteral("Save")); });
    trap.step(110,
              [&] { dialog->setFilter(QStringLiteral("Text Files (*.txt)|*.txt|All Files (*.*)|*.*|")); });
    trap.step(112, [&] { dialog->showSave(); });
    trap.step(114, [&] { fileName = dialog->fileName(); });
    if (fileName.isEmpty())
        return; // 116: cancelled
    ExportRun run(*this);
    trap.step(118, [&] { mousePointer()->setValue(MousePointer::Hourglass); });
    trap.step(120, [&] { ListTextFile::save(*resultsList, fileName); });
    trap.step(122, [&] { mousePointer()->setValue(MousePointer::Default); });
}

void ReportsWindow::saveAsWorkbook() {
    if (m_exporting)
        return;
    ErrorTrap trap(Where::SaveReportWorkbook);
    SaveDialog* dialog = commonDialog1(this);
    QString fileName;
    trap.step(100, [&] {
        dialog->setFlags(kSaveDialogFlags | SaveDialog::OverwritePrompt);
        dialog->setDialogTitle(QStringLiteral("Save"));
        dialog->setFilter(QStringLiteral("Excel Workbooks (*.xlsx)|*.xlsx|All Files (*.*)|*.*|"));
        dialog->showSave();
        fileName = dialog->fileName();
    });
    if (fileName.isEmpty())
        return;
    ExportRun run(*this);
    trap.step(102, [&] { mousePointer()->setValue(MousePointer::Hourglass); });
    trap.step(104, [&] { RecordsWorkbook::save(*resultsList, fileName); });
    trap.step(106, [&] { mousePointer()->setValue(MousePointer::Default); });
}

bool ReportsWindow::spreadsheetInstalled() {
    bool result = true;
    bool failed = false;
    std::unique_ptr<SpreadsheetApplication> application;
    try {
        application = Spreadsheet::start();
    } catch (...) {
        failed = true;
    }
    const bool gotObject = application != nullptr;
    application.reset();
    if (failed || !gotObject)
        MessageBox::ok(
            QStringLiteral("Excel is not installed on this computer. You need to have it installed to use "
                           "this software without error."));
    if (failed)
        result = false;
    return result;
}

void ReportsWindow::sendToSpreadsheet() {
    if (m_exporting)
        return;
    ExportRun run(*this);
    ErrorTrap trap(Where::SendReportToSpreadsheet);
    if (!trap.test(100, [&] { return spreadsheetInstalled(); })) {
        trap.step(178, [] {
            MessageBox::ok(
                QStringLiteral("Excel is not installed on this computer. You need to have it installed to "
                               "use this feature."));
        });
        return;
    }
    if (!trap.test(108, [&] { return resultsList->rowCount() > 0; }))
        return;
    trap.step(110, [&] { mousePointer()->setValue(MousePointer::Hourglass); });

    std::unique_ptr<SpreadsheetApplication> excel;
    // Once the program failed to start, every call on it fails in turn. Once it stopped
    // answering, the connection is given up and the export ends after that one report.
    bool lost = false;
    const auto watch = [&](const auto& action) {
        try {
            action();
        } catch (const SpreadsheetLost&) {
            lost = true;
            throw;
        }
    };
    const auto office = [&](const auto& call) {
        if (!excel)
            throw std::runtime_error("The spreadsheet program is not running.");
        watch([&] { call(*excel); });
    };
    trap.step(112, [&] { watch([&] { excel = Spreadsheet::start(); }); });
    if (!lost)
        trap.step(114, [&] { office([](SpreadsheetApplication& sheet) { sheet.addWorkbook(); }); });

    ListTextFile::MessageLoop loop;
    const int columns = resultsList->columnCount();
    int column = 1;
    trap.step(116, [&] { column = 1; });
    // Title row: the columns whose cell in the first list row is filled.
    const auto writeTitle = [&](int k) {
        office(
            [&](SpreadsheetApplication& sheet) { sheet.setCell(1, column, resultsList->columnHeader(k)); });
    };
    for (int k = 0; k < columns && !lost; ++k) {
        trap.step(120, [&] { loop.run(); });
        if (trap.test(122, [&] { return k == 0; })) {
            if (trap.test(124, [&] { return !resultsList->itemText(0, 0).isEmpty(); })) {
                trap.step(126, [&] { writeTitle(k); });
                trap.step(128, [&] { ++column; });
            }
        } else if (trap.test(130, [&] { return !resultsList->itemText(0, k).isEmpty(); })) {
            trap.step(132, [&] { writeTitle(k); });
            trap.step(134, [&] { ++column; });
        }
    }

    std::unique_ptr<QProgressDialog> progress;
    const int rows = resultsList->rowCount();
    if (rows > kProgressFromRows) {
        // Not modal: the window's other buttons stay usable, as during the text export.
        progress = std::make_unique<QProgressDialog>(
            QStringLiteral("Sending the results to the spreadsheet…"), QString(), 0, rows, this);
        progress->setWindowTitle(windowTitle());
        progress->setMinimumDuration(500);
        progress->setValue(0);
    }

    int sheetRow = 2;
    trap.step(138, [&] { sheetRow = 2; });
    // Data rows: a checked list row fills its sheet row; an unchecked one leaves it empty.
    for (int row = 0; row < resultsList->rowCount() && !lost; ++row) {
        trap.step(142, [&] {
            if (loop.run() && progress)
                progress->setValue(row);
        });
        if (trap.test(144, [&] { return resultsList->isChecked(row); })) {
            trap.step(146, [&] { column = 1; });
            for (int k = 0; k < columns && !lost; ++k) {
                trap.step(150, [&] { loop.run(); });
                if (trap.test(152, [&] { return k == 0; })) {
                    QString text;
                    if (trap.test(154, [&] { return !(text = resultsList->itemText(row, 0)).isEmpty(); })) {
                        trap.step(156, [&] {
                            // The person number is a text: "007" must not turn into 7.
                            office([&](SpreadsheetApplication& sheet) {
                                sheet.setText(sheetRow, column, text);
                            });
                        });
                        trap.step(158, [&] { ++column; });
                    }
                } else {
                    QString text;
                    if (trap.test(160, [&] { return !(text = resultsList->itemText(row, k)).isEmpty(); })) {
                        trap.step(162, [&] {
                            office([&](SpreadsheetApplication& sheet) {
                                writeCell(sheet, sheetRow, column, k, text.remove(u'='));
                            });
                        });
                        trap.step(164, [&] { ++column; });
                    }
                }
            }
        }
        trap.step(168, [&] { ++sheetRow; });
    }
    progress.reset();

    if (!lost)
        trap.step(172, [&] { office([](SpreadsheetApplication& sheet) { sheet.autoFitColumns(); }); });
    if (!lost)
        trap.step(174, [&] { office([](SpreadsheetApplication& sheet) { sheet.setVisible(); }); });
    trap.step(176, [&] { mousePointer()->setValue(MousePointer::Default); });
}
