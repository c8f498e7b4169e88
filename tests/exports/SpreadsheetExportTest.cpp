#include "ExportScene.h"
#include "OfficeFixture.h"
#include "common/TestSupport.h"
#include "platform/MousePointer.h"
#include "platform/SpreadsheetFake.h"
#include "reports/Form4.h"

#include <QTest>

using ExportScene::addRow;
using LibreOffice::Cell;

namespace {
const QString kNotInstalledCheck = QStringLiteral("Excel is not installed on this computer. You need to have "
                                                  "it installed to use this software without error.");
const QString kNotInstalledFeature = QStringLiteral(
    "Excel is not installed on this computer. You need to have it installed to use this feature.");
} // namespace

// "Send Results To Excel" with the recording fake: the steps' logic.
class SpreadsheetExportStepsTest : public QObject {
    Q_OBJECT
private:
    std::shared_ptr<RecordingSpreadsheet::Log> m_log;

private slots:
    void init() {
        m_log = std::make_shared<RecordingSpreadsheet::Log>();
        Spreadsheet::setStarter(RecordingSpreadsheet::starter(m_log));
    }
    void cleanup() { Spreadsheet::setStarter({}); }

    void titlesByFirstRowCheckedRowsAndEqualsRemoved() {
        TestSupport::MessageRecorder boxes;
        Form4 form;
        ExportScene::addColumns(*form.ListView1);
        addRow(*form.ListView1, {"=7", "A=B", "Ops", "Clerk", "9/14/2021", "8:00 AM", ""}, true);
        addRow(*form.ListView1, {"8", "Bob", "Ops", "Clerk", "9/14/2021", "9:00 AM", "5:00 PM"}, false);
        addRow(*form.ListView1, {"9", "C==", "", "=Lead", "9/14/2021", "9:30 AM", "6:00 PM"}, true);
        form.PushButton13_Click();

        QVERIFY(boxes.shown().empty());
        QCOMPARE(m_log->starts, 2); // the check's object and the export's
        QCOMPARE(m_log->releases, 2);
        const QStringList expected{"addWorkbook",
                                   "setCell 1 1 Person Number",
                                   "setCell 1 2 Name",
                                   "setCell 1 3 Department",
                                   "setCell 1 4 Position",
                                   "setCell 1 5 Date",
                                   "setCell 1 6 Login",
                                   "setCell 2 1 =7",
                                   "setCell 2 2 AB",
                                   "setCell 2 3 Ops",
                                   "setCell 2 4 Clerk",
                                   "setCell 2 5 9/14/2021",
                                   "setCell 2 6 8:00 AM",
                                   "setCell 4 1 9",
                                   "setCell 4 2 C",
                                   "setCell 4 3 Lead",
                                   "setCell 4 4 9/14/2021",
                                   "setCell 4 5 9:30 AM",
                                   "setCell 4 6 6:00 PM",
                                   "autoFitColumns",
                                   "setVisible"};
        QCOMPARE(m_log->calls, expected);
        QCOMPARE(form.mousePointer()->value(), MousePointer::Default);
    }

    void missingProgramGivesBothMessagesAndNothingElse() {
        m_log->programMissing = true;
        TestSupport::MessageRecorder boxes;
        Form4 form;
        ExportScene::addColumns(*form.ListView1);
        addRow(*form.ListView1, {"7", "Ann", "Ops", "Clerk", "9/14/2021", "8:00 AM", ""}, true);
        form.PushButton13_Click();
        QCOMPARE(boxes.texts(), (std::vector<QString>{kNotInstalledCheck, kNotInstalledFeature}));
        QVERIFY(boxes.errors().empty());
        QVERIFY(m_log->calls.isEmpty());
        QCOMPARE(form.mousePointer()->value(), MousePointer::Default);
    }

    void emptyListStopsAfterTheCheck() {
        TestSupport::MessageRecorder boxes;
        Form4 form;
        ExportScene::addColumns(*form.ListView1);
        form.PushButton13_Click();
        QVERIFY(boxes.shown().empty());
        QCOMPARE(m_log->starts, 1);
        QVERIFY(m_log->calls.isEmpty());
    }

    // A failing call is reported with its step and the export goes on; the pointer comes back.
    void failingCallsReportTheirStepAndGoOn() {
        TestSupport::MessageRecorder boxes;
        Form4 form;
        ExportScene::addColumns(*form.ListView1);
        addRow(*form.ListView1, {"7", "Ann", "Ops", "Clerk", "9/14/2021", "8:00 AM", "5:00 PM"}, true);
        m_log->failingOperation = QStringLiteral("autoFitColumns");
        form.PushButton13_Click();
        QCOMPARE(boxes.errorSteps(), (std::vector<int>{172}));
        QCOMPARE(m_log->calls.last(), QStringLiteral("setVisible"));
        QCOMPARE(form.mousePointer()->value(), MousePointer::Default);
    }
};

// The same export into a real LibreOffice, read back cell by cell.
class SpreadsheetExportOfficeTest : public QObject {
    Q_OBJECT
private:
    LibreOffice::SheetContent exportOnce(Form4& form, TestSupport::MessageRecorder& boxes) {
        OfficeFixture::probe().closeDocuments();
        form.PushButton13_Click();
        [&] {
            QVERIFY2(boxes.shown().empty(),
                     boxes.shown().empty() ? "" : qPrintable(boxes.shown().front().text));
        }();
        const auto sheets = OfficeFixture::probe().spreadsheets();
        if (sheets.size() != 1)
            throw std::runtime_error("expected one workbook, found " + std::to_string(sheets.size()));
        return sheets.front();
    }

private slots:
    void init() { Spreadsheet::setStarter({}); }
    void cleanup() {
        LibreOffice::setSettings({});
        if (OfficeFixture::unavailableReason().isEmpty())
            OfficeFixture::probe().closeDocuments();
    }

    void checkedRowsLandAsTextsWithoutFormulas() {
        REQUIRE_OFFICE();
        OfficeFixture::useForExports();
        TestSupport::MessageRecorder boxes;
        Form4 form;
        ExportScene::addColumns(*form.ListView1);
        addRow(*form.ListView1, {"A=B", "A=B", "Ops", "Clerk", "9/14/2021", "8:00 AM", "5:00 PM"}, true);
        addRow(*form.ListView1, {"8", "Bob", "Ops", "Clerk", "9/14/2021", "9:00 AM", "5:00 PM"}, false);
        addRow(*form.ListView1, {"=1+1", "Cy", "Ops", "Clerk", "9/14/2021", "9:30 AM", ""}, true);
        const auto sheet = exportOnce(form, boxes);

        QCOMPARE(sheet.rows.size(), size_t(4));
        for (int column = 1; column <= 7; ++column)
            QCOMPARE(sheet.at(1, column).string, ExportScene::kTitles.at(column - 1));
        QCOMPARE(sheet.at(2, 1).string, QStringLiteral("A=B"));
        QCOMPARE(sheet.at(2, 2).string, QStringLiteral("AB"));
        QCOMPARE(sheet.at(2, 5).type, Cell::Type::Value); // the date, converted as typed
        for (int column = 1; column <= 7; ++column)
            QCOMPARE(sheet.at(3, column).type, Cell::Type::Empty);
        QCOMPARE(sheet.at(4, 1).type, Cell::Type::Text);
        QCOMPARE(sheet.at(4, 1).string, QStringLiteral("=1+1"));
        QCOMPARE(sheet.at(4, 2).string, QStringLiteral("Cy"));
        QCOMPARE(sheet.at(4, 7).type, Cell::Type::Empty);
        for (const auto& row : sheet.rows)
            for (const auto& cell : row)
                QVERIFY(cell.type != Cell::Type::Formula);
        QCOMPARE(form.mousePointer()->value(), MousePointer::Default);
        QVERIFY(OfficeFixture::probe().isAlive()); // the running office is left running
    }

    void nothingCheckedGivesTheTitleRowOnly() {
        REQUIRE_OFFICE();
        OfficeFixture::useForExports();
        TestSupport::MessageRecorder boxes;
        Form4 form;
        ExportScene::addColumns(*form.ListView1);
        addRow(*form.ListView1, {"7", "Ann", "Ops", "Clerk", "9/14/2021", "8:00 AM", ""}, false);
        addRow(*form.ListView1, {"8", "Bob", "Ops", "Clerk", "9/14/2021", "9:00 AM", "5:00 PM"}, false);
        const auto sheet = exportOnce(form, boxes);
        QCOMPARE(sheet.rows.size(), size_t(1));
        QCOMPARE(sheet.rows.front().size(), size_t(6));
        QCOMPARE(sheet.at(1, 6).string, QStringLiteral("Login"));
        QCOMPARE(form.mousePointer()->value(), MousePointer::Default);
    }

    void bogusOfficeProgramGivesBothMessages() {
        if (!LibreOffice::unoBuilt())
            QSKIP("built without the LibreOffice SDK (libreoffice-dev): run scripts/install-deps");
        LibreOffice::Settings bogus;
        bogus.program = QStringLiteral("/nonexistent/soffice");
        LibreOffice::setSettings(bogus);
        TestSupport::MessageRecorder boxes;
        Form4 form;
        ExportScene::addColumns(*form.ListView1);
        addRow(*form.ListView1, {"7", "Ann", "Ops", "Clerk", "9/14/2021", "8:00 AM", ""}, true);
        form.PushButton13_Click();
        QCOMPARE(boxes.texts(), (std::vector<QString>{kNotInstalledCheck, kNotInstalledFeature}));
        QCOMPARE(form.mousePointer()->value(), MousePointer::Default);
    }
};

TALLYCLOCK_TEST(SpreadsheetExportStepsTest)
TALLYCLOCK_TEST(SpreadsheetExportOfficeTest)
#include "SpreadsheetExportTest.moc"
