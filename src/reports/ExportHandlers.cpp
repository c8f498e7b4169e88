#include "core/ErrorTrap.h"
#include "platform/ListView.h"
#include "platform/MessageBox.h"
#include "platform/MousePointer.h"
#include "platform/SaveDialog.h"
#include "platform/Spreadsheet.h"
#include "reports/Form4.h"
#include "reports/modSaveListview.h"

#include <QProgressDialog>
#include <memory>
#include <stdexcept>

namespace {

const QString kWindow = QStringLiteral("Form4");

// Save dialog flags: Explorer style, long names, multiple selection, read-only box ticked; no
// overwrite prompt.
constexpr int kSaveDialogFlags = 0x280201;

// Lists of more rows than this show their progress while they go to the spreadsheet.
constexpr int kProgressFromRows = 2000;

// One export at a time: the message loop runs during an export, and a second press of an export
// button would otherwise start another one over the same list.
bool exportRunning = false;

class ExportRun {
public:
    ExportRun() { exportRunning = true; }
    ~ExportRun() { exportRunning = false; }
    ExportRun(const ExportRun&) = delete;
    ExportRun& operator=(const ExportRun&) = delete;
};

// The window's save dialog; it lives as long as the window, so it keeps the last chosen name.
SaveDialog* commonDialog1(Form4* window) {
    auto* dialog =
        window->findChild<SaveDialog*>(QStringLiteral("CommonDialog1"), Qt::FindDirectChildrenOnly);
    if (!dialog) {
        dialog = new SaveDialog(window);
        dialog->setObjectName(QStringLiteral("CommonDialog1"));
    }
    return dialog;
}

} // namespace

void Form4::PushButton4_Click() {
    if (exportRunning)
        return;
    ExportRun run;
    ErrorTrap trap(kWindow, QStringLiteral("PushButton4_Click"));
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
    trap.step(118, [&] { mousePointer()->setValue(MousePointer::Hourglass); });
    trap.step(120, [&] { modSaveListview::SaveListview(*ListView1, fileName); });
    trap.step(122, [&] { mousePointer()->setValue(MousePointer::Default); });
}

bool Form4::SaveResultsAsExcelFileIsExcelInstalled() {
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

void Form4::PushButton13_Click() {
    if (exportRunning)
        return;
    ExportRun run;
    ErrorTrap trap(kWindow, QStringLiteral("PushButton13_Click"));
    if (!trap.test(100, [&] { return SaveResultsAsExcelFileIsExcelInstalled(); })) {
        trap.step(178, [] {
            MessageBox::ok(
                QStringLiteral("Excel is not installed on this computer. You need to have it installed to "
                               "use this feature."));
        });
        return;
    }
    if (!trap.test(108, [&] { return ListView1->rowCount() > 0; }))
        return;
    trap.step(110, [&] { mousePointer()->setValue(MousePointer::Hourglass); });

    std::unique_ptr<SpreadsheetApplication> excel;
    // Once the program failed to start, every call on it fails in turn.
    const auto application = [&]() -> SpreadsheetApplication& {
        if (!excel)
            throw std::runtime_error("The spreadsheet program is not running.");
        return *excel;
    };
    trap.step(112, [&] { excel = Spreadsheet::start(); });
    trap.step(114, [&] { application().addWorkbook(); });

    modSaveListview::MessageLoop loop;
    const int columns = ListView1->columnCount();
    int column = 1;
    trap.step(116, [&] { column = 1; });
    // Title row: the columns whose cell in the first list row is filled.
    for (int k = 0; k < columns; ++k) {
        trap.step(120, [&] { loop.run(); });
        if (trap.test(122, [&] { return k == 0; })) {
            if (trap.test(124, [&] { return !ListView1->itemText(0, 0).isEmpty(); })) {
                trap.step(126, [&] { application().setCell(1, column, ListView1->columnHeader(k)); });
                trap.step(128, [&] { ++column; });
            }
        } else if (trap.test(130, [&] { return !ListView1->itemText(0, k).isEmpty(); })) {
            trap.step(132, [&] { application().setCell(1, column, ListView1->columnHeader(k)); });
            trap.step(134, [&] { ++column; });
        }
    }

    std::unique_ptr<QProgressDialog> progress;
    const int rows = ListView1->rowCount();
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
    for (int row = 0; row < ListView1->rowCount(); ++row) {
        trap.step(142, [&] {
            if (loop.run() && progress)
                progress->setValue(row);
        });
        if (trap.test(144, [&] { return ListView1->isChecked(row); })) {
            trap.step(146, [&] { column = 1; });
            for (int k = 0; k < columns; ++k) {
                trap.step(150, [&] { loop.run(); });
                if (trap.test(152, [&] { return k == 0; })) {
                    QString text;
                    if (trap.test(154, [&] { return !(text = ListView1->itemText(row, 0)).isEmpty(); })) {
                        trap.step(156, [&] { application().setCell(sheetRow, column, text); });
                        trap.step(158, [&] { ++column; });
                    }
                } else {
                    QString text;
                    if (trap.test(160, [&] { return !(text = ListView1->itemText(row, k)).isEmpty(); })) {
                        trap.step(162, [&] { application().setCell(sheetRow, column, text.remove(u'=')); });
                        trap.step(164, [&] { ++column; });
                    }
                }
            }
        }
        trap.step(168, [&] { ++sheetRow; });
    }
    progress.reset();

    trap.step(172, [&] { application().autoFitColumns(); });
    trap.step(174, [&] { application().setVisible(); });
    trap.step(176, [&] { mousePointer()->setValue(MousePointer::Default); });
}
