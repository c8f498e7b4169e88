#include "ExportScene.h"
#include "OfficeFixture.h"
#include "RecordingSpreadsheet.h"
#include "common/TestSupport.h"
#include "platform/DateTexts.h"
#include "platform/MousePointer.h"
#include "platform/PushButton.h"
#include "reports/ReportsScene.h"
#include "reports/ReportsWindow.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <csignal>

using TestSupport::control;

using ExportScene::addRow;
using LibreOffice::Cell;

namespace {
const QString kNotInstalledCheck = QStringLiteral("Excel is not installed on this computer. You need to have "
                                                  "it installed to use this software without error.");
const QString kNotInstalledFeature = QStringLiteral(
    "Excel is not installed on this computer. You need to have it installed to use this feature.");

// The reports list in `locale` with one checked row whose Date, Login and Logout are `cells`.
struct DateTimeRow {
    DateTimeRow(const QLocale& locale, const QStringList& cells) {
        QLocale::setDefault(locale);
        ExportScene::addColumns(*control<ListView>(form, "resultsList"));
        addRow(*control<ListView>(form, "resultsList"), QStringList{"7", "Ann", "Ops", "Clerk"} + cells,
               true);
    }
    ~DateTimeRow() { QLocale::setDefault(before); }
    const QLocale before;
    ReportsWindow form;
};

// Date, Login and Logout as the list shows them, and what the export hands the spreadsheet program.
void addDateTimeRows() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QStringList>("cells");
    QTest::addColumn<QStringList>("calls");
    QTest::newRow("en_US, 12-hour") << QLocale(QLocale::English, QLocale::UnitedStates)
                                    << QStringList{"12/9/2026", "09:05 AM", "05:30 PM"}
                                    << QStringList{"setDate 2 5 2026-12-09 M/d/yyyy",
                                                   "setTime 2 6 09:05 hh':'mm' 'AP",
                                                   "setTime 2 7 17:30 hh':'mm' 'AP"};
    QTest::newRow("en_GB, 24-hour") << QLocale(QLocale::English, QLocale::UnitedKingdom)
                                    << QStringList{"09/12/2026", "21:05", "07:30"}
                                    << QStringList{"setDate 2 5 2026-12-09 dd/MM/yyyy",
                                                   "setTime 2 6 21:05 HH':'mm", "setTime 2 7 07:30 HH':'mm"};
    QTest::newRow("de_DE") << QLocale(QLocale::German, QLocale::Germany)
                           << QStringList{"13.12.2026", "09:05", "17:30"}
                           << QStringList{"setDate 2 5 2026-12-13 dd.MM.yyyy", "setTime 2 6 09:05 HH':'mm",
                                          "setTime 2 7 17:30 HH':'mm"};
}
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
        ReportsWindow form;
        ExportScene::addColumns(*control<ListView>(form, "resultsList"));
        addRow(*control<ListView>(form, "resultsList"),
               {"=7", "A=B", "Ops", "Clerk", "9/14/2021", "08:00 AM", ""}, true);
        addRow(*control<ListView>(form, "resultsList"),
               {"8", "Bob", "Ops", "Clerk", "9/14/2021", "09:00 AM", "05:00 PM"}, false);
        addRow(*control<ListView>(form, "resultsList"),
               {"9", "C==", "", "=Lead", "9/14/2021", "09:30 AM", "06:00 PM"}, true);
        form.sendToSpreadsheet();

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
                                   "setText 2 1 =7",
                                   "setCell 2 2 AB",
                                   "setCell 2 3 Ops",
                                   "setCell 2 4 Clerk",
                                   "setDate 2 5 2021-09-14 M/d/yyyy",
                                   "setTime 2 6 08:00 hh':'mm' 'AP",
                                   "setText 4 1 9",
                                   "setCell 4 2 C",
                                   "setCell 4 3 Lead",
                                   "setDate 4 4 2021-09-14 M/d/yyyy",
                                   "setTime 4 5 09:30 hh':'mm' 'AP",
                                   "setTime 4 6 18:00 hh':'mm' 'AP",
                                   "autoFitColumns",
                                   "setVisible"};
        QCOMPARE(m_log->calls, expected);
        QCOMPARE(form.mousePointer()->value(), MousePointer::Default);
    }

    void missingProgramGivesBothMessagesAndNothingElse() {
        m_log->programMissing = true;
        TestSupport::MessageRecorder boxes;
        ReportsWindow form;
        ExportScene::addColumns(*control<ListView>(form, "resultsList"));
        addRow(*control<ListView>(form, "resultsList"),
               {"7", "Ann", "Ops", "Clerk", "9/14/2021", "8:00 AM", ""}, true);
        form.sendToSpreadsheet();
        QCOMPARE(boxes.texts(), (std::vector<QString>{kNotInstalledCheck, kNotInstalledFeature}));
        QVERIFY(boxes.errors().empty());
        QVERIFY(m_log->calls.isEmpty());
        QCOMPARE(form.mousePointer()->value(), MousePointer::Default);
    }

    // Dates and times reach the sheet as values in the form the list shows them; texts that are
    // no date or time, or would not read back the same, are typed as they stand.
    void datesAndTimesKeepTheirForm_data() {
        addDateTimeRows();
        QTest::newRow("other stored forms")
            << QLocale(QLocale::English, QLocale::UnitedStates)
            << QStringList{"12/9/2026", "7:30 pm", "17:30:15"}
            << QStringList{"setDate 2 5 2026-12-09 M/d/yyyy", "setTime 2 6 19:30 h':'mm' 'ap",
                           "setTime 2 7 17:30 HH':'mm':'ss"};
        // Arabic-Indic digits, which the sheet's number formats cannot show.
        const QLocale egypt(QLocale::Arabic, QLocale::Egypt);
        const QString date = DateTexts::shortDate(QDate(2026, 12, 9), egypt);
        QTest::newRow("other digits")
            << egypt << QStringList{date, QStringLiteral("٠٩:٠٥"), QStringLiteral("21:05")}
            << QStringList{"setCell 2 5 " + date, QStringLiteral("setCell 2 6 ٠٩:٠٥"),
                           QStringLiteral("setTime 2 7 21:05 HH':'mm")};
        QTest::newRow("no date or time")
            << QLocale(QLocale::English, QLocale::UnitedStates) << QStringList{"12/9/26", "9:5", "25:00"}
            << QStringList{"setCell 2 5 12/9/26", "setCell 2 6 9:5", "setCell 2 7 25:00"};
    }
    void datesAndTimesKeepTheirForm() {
        QFETCH(QLocale, locale);
        QFETCH(QStringList, cells);
        QFETCH(QStringList, calls);
        TestSupport::MessageRecorder boxes;
        DateTimeRow scene(locale, cells);
        scene.form.sendToSpreadsheet();
        QVERIFY(boxes.shown().empty());
        static const QRegularExpression dataColumns(QStringLiteral("^set\\w+ 2 [567] "));
        QCOMPARE(m_log->calls.filter(dataColumns), calls);
    }

    // Without the office module (or with a file that is none) the export finds no spreadsheet
    // program; the program itself goes on.
    void missingModuleGivesBothMessages_data() {
        QTest::addColumn<QString>("content"); // of the module file; none: no file at all
        QTest::newRow("no module") << QString();
        QTest::newRow("not a library") << QStringLiteral("not a shared object");
    }
    void missingModuleGivesBothMessages() {
        QFETCH(QString, content);
        Spreadsheet::setStarter({});
        QTemporaryDir dir;
        const QString module = dir.filePath(QStringLiteral("libtallyclock-office.so"));
        if (!content.isNull()) {
            QFile file(module);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content.toUtf8());
        }
        qputenv("TALLYCLOCK_OFFICE_MODULE", module.toUtf8());
        const QString why = LibreOffice::moduleError();
        TestSupport::MessageRecorder boxes;
        ReportsWindow form;
        ExportScene::addColumns(*control<ListView>(form, "resultsList"));
        addRow(*control<ListView>(form, "resultsList"),
               {"7", "Ann", "Ops", "Clerk", "9/14/2021", "08:00 AM", ""}, true);
        form.sendToSpreadsheet();
        qunsetenv("TALLYCLOCK_OFFICE_MODULE");
        QVERIFY2(why.contains(QStringLiteral("bridge module")), qPrintable(why));
        QCOMPARE(boxes.texts(), (std::vector<QString>{kNotInstalledCheck, kNotInstalledFeature}));
        QCOMPARE(form.mousePointer()->value(), MousePointer::Default);
        QVERIFY(control<PushButton>(form, "spreadsheetButton")->isEnabled());
    }

    // A program that stopped answering is reported once, at its step; the export ends there and
    // the window is usable again.
    void lostProgramIsReportedOnce() {
        TestSupport::MessageRecorder boxes;
        ReportsWindow form;
        ExportScene::addColumns(*control<ListView>(form, "resultsList"));
        addRow(*control<ListView>(form, "resultsList"),
               {"7", "Ann", "Ops", "Clerk", "9/14/2021", "08:00 AM", ""}, true);
        addRow(*control<ListView>(form, "resultsList"),
               {"8", "Bob", "Ops", "Clerk", "9/14/2021", "09:00 AM", ""}, true);
        m_log->failingOperation = QStringLiteral("setDate");
        m_log->failureLoses = true;
        form.sendToSpreadsheet();
        QCOMPARE(boxes.errorSteps(), (std::vector<int>{162}));
        QCOMPARE(m_log->calls.last(), QStringLiteral("setDate 2 5 2021-09-14 M/d/yyyy"));
        QCOMPARE(form.mousePointer()->value(), MousePointer::Default);
        QVERIFY(!form.isExporting());
        QVERIFY(control<PushButton>(form, "closeButton")->isEnabled());
        QVERIFY(control<ListView>(form, "resultsList")->isEnabled());
    }

    void emptyListStopsAfterTheCheck() {
        TestSupport::MessageRecorder boxes;
        ReportsWindow form;
        ExportScene::addColumns(*control<ListView>(form, "resultsList"));
        form.sendToSpreadsheet();
        QVERIFY(boxes.shown().empty());
        QCOMPARE(m_log->starts, 1);
        QVERIFY(m_log->calls.isEmpty());
    }

    // A failing call is reported with its step and the export goes on; the pointer comes back.
    void failingCallsReportTheirStepAndGoOn() {
        TestSupport::MessageRecorder boxes;
        ReportsWindow form;
        ExportScene::addColumns(*control<ListView>(form, "resultsList"));
        addRow(*control<ListView>(form, "resultsList"),
               {"7", "Ann", "Ops", "Clerk", "9/14/2021", "8:00 AM", "5:00 PM"}, true);
        m_log->failingOperation = QStringLiteral("autoFitColumns");
        form.sendToSpreadsheet();
        QCOMPARE(boxes.errorSteps(), (std::vector<int>{172}));
        QCOMPARE(m_log->calls.last(), QStringLiteral("setVisible"));
        QCOMPARE(form.mousePointer()->value(), MousePointer::Default);
    }
};

namespace {
// The office's application, sending the office's processes a signal before the columns are fitted.
class SignalBeforeFitting : public SpreadsheetApplication {
public:
    SignalBeforeFitting(std::unique_ptr<SpreadsheetApplication> inner, std::vector<qint64> office, int signal)
        : m_inner(std::move(inner)), m_office(std::move(office)), m_signal(signal) {}
    void addWorkbook() override { m_inner->addWorkbook(); }
    void setCell(int row, int column, const QString& text) override { m_inner->setCell(row, column, text); }
    void setText(int row, int column, const QString& text) override { m_inner->setText(row, column, text); }
    void setDate(int row, int column, const QDate& date, const QString& form) override {
        m_inner->setDate(row, column, date, form);
    }
    void setTime(int row, int column, const QTime& time, const QString& form) override {
        m_inner->setTime(row, column, time, form);
    }
    void setDuration(int row, int column, long long minutes) override {
        m_inner->setDuration(row, column, minutes);
    }
    void setNumber(int row, int column, double value, int decimals) override {
        m_inner->setNumber(row, column, value, decimals);
    }
    void autoFitColumns() override {
        for (qint64 pid : m_office)
            ::kill(static_cast<pid_t>(pid), m_signal);
        m_inner->autoFitColumns();
    }
    void setVisible() override { m_inner->setVisible(); }

private:
    std::unique_ptr<SpreadsheetApplication> m_inner;
    std::vector<qint64> m_office;
    int m_signal;
};
} // namespace

// The same export into a real LibreOffice, read back cell by cell.
class SpreadsheetExportOfficeTest : public QObject {
    Q_OBJECT
private:
    LibreOffice::SheetContent exportOnce(ReportsWindow& form, TestSupport::MessageRecorder& boxes) {
        if (!OfficeFixture::withProbe([](LibreOffice::Probe& office) { office.closeDocuments(); }))
            return {};
        form.sendToSpreadsheet();
        [&] {
            QVERIFY2(boxes.shown().empty(),
                     boxes.shown().empty() ? "" : qPrintable(boxes.shown().front().text));
        }();
        std::vector<LibreOffice::SheetContent> sheets;
        if (!OfficeFixture::withProbe([&](LibreOffice::Probe& office) { sheets = office.spreadsheets(); }))
            return {};
        // A failure is the test's, never an exception: Qt's test runner ends the whole process on one.
        if (sheets.size() != 1) {
            QTest::qFail(qPrintable(QStringLiteral("expected one workbook, found %1").arg(sheets.size())),
                         __FILE__, __LINE__);
            return {};
        }
        return sheets.front();
    }

private slots:
    void init() { Spreadsheet::setStarter({}); }
    void cleanup() {
        Spreadsheet::setStarter({});
        LibreOffice::setSettings({});
        if (OfficeFixture::unavailableReason().isEmpty())
            OfficeFixture::withProbe([](LibreOffice::Probe& office) { office.closeDocuments(); });
    }

    void checkedRowsLandAsTextsWithoutFormulas() {
        REQUIRE_OFFICE();
        OfficeFixture::useForExports();
        TestSupport::MessageRecorder boxes;
        ReportsWindow form;
        ExportScene::addColumns(*control<ListView>(form, "resultsList"));
        addRow(*control<ListView>(form, "resultsList"),
               {"A=B", "A=B", "Ops", "Clerk", "9/14/2021", "8:00 AM", "5:00 PM"}, true);
        addRow(*control<ListView>(form, "resultsList"),
               {"8", "Bob", "Ops", "Clerk", "9/14/2021", "9:00 AM", "5:00 PM"}, false);
        addRow(*control<ListView>(form, "resultsList"),
               {"=1+1", "Cy", "Ops", "Clerk", "9/14/2021", "9:30 AM", ""}, true);
        const auto sheet = exportOnce(form, boxes);

        QCOMPARE(sheet.rows.size(), size_t(4));
        for (int column = 1; column <= 7; ++column)
            QCOMPARE(sheet.at(1, column).string, ExportScene::kTitles.at(column - 1));
        QCOMPARE(sheet.at(2, 1).string, QStringLiteral("A=B"));
        QCOMPARE(sheet.at(2, 2).string, QStringLiteral("AB"));
        QCOMPARE(sheet.at(2, 5).type, Cell::Type::Value);
        QCOMPARE(sheet.at(2, 5).string, QStringLiteral("9/14/2021"));
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

    // What the office shows in the date and time cells is the list's text, read back from the
    // office; a day-first date is the same day, not another one.
    void datesAndTimesShowAsInTheList_data() { addDateTimeRows(); }
    void datesAndTimesShowAsInTheList() {
        REQUIRE_OFFICE();
        QFETCH(QLocale, locale);
        QFETCH(QStringList, cells);
        OfficeFixture::useForExports();
        TestSupport::MessageRecorder boxes;
        DateTimeRow scene(locale, cells);
        const auto sheet = exportOnce(scene.form, boxes);
        for (int i = 0; i < cells.size(); ++i) {
            QCOMPARE(sheet.at(2, 5 + i).type, Cell::Type::Value);
            QCOMPARE(sheet.at(2, 5 + i).string, cells.at(i));
        }
    }

    void nothingCheckedGivesTheTitleRowOnly() {
        REQUIRE_OFFICE();
        OfficeFixture::useForExports();
        TestSupport::MessageRecorder boxes;
        ReportsWindow form;
        ExportScene::addColumns(*control<ListView>(form, "resultsList"));
        addRow(*control<ListView>(form, "resultsList"),
               {"7", "Ann", "Ops", "Clerk", "9/14/2021", "8:00 AM", ""}, false);
        addRow(*control<ListView>(form, "resultsList"),
               {"8", "Bob", "Ops", "Clerk", "9/14/2021", "9:00 AM", "5:00 PM"}, false);
        const auto sheet = exportOnce(form, boxes);
        QCOMPARE(sheet.rows.size(), size_t(1));
        QCOMPARE(sheet.rows.front().size(), size_t(6));
        QCOMPARE(sheet.at(1, 6).string, QStringLiteral("Login"));
        QCOMPARE(form.mousePointer()->value(), MousePointer::Default);
    }

    // While the export runs the window takes no command: a deletion, a search, Clear Results and
    // closing it do nothing, and every checked row arrives in the sheet.
    void commandsDuringAnExportChangeNothing() {
        REQUIRE_OFFICE();
        OfficeFixture::useForExports();
        ReportsScene scene;
        scene.addRecord(QStringLiteral("P7"), ReportsScene::today(), QStringLiteral("08:00 AM"),
                        QStringLiteral("05:00 PM"));
        scene.addRecord(QStringLiteral("P8"), ReportsScene::today(), QStringLiteral("09:00 AM"),
                        QStringLiteral("06:00 PM"));
        TestSupport::MessageRecorder boxes;
        bool duringExport = false;
        int enabledDuring = 0;
        int rowsDuring = -1;
        bool shownDuring = false;
        bool usableAfter = false;
        scene.showReports([&](ReportsWindow& form) {
            OfficeFixture::probe().closeDocuments();
            control<ListView>(form, "resultsList")->setChecked(0, true);
            control<ListView>(form, "resultsList")->setChecked(1, true);
            control<ListView>(form, "resultsList")->selectRow(0);
            QTimer::singleShot(0, &form, [&] {
                duringExport = form.isExporting();
                for (QWidget* control :
                     {static_cast<QWidget*>(control<QGroupBox>(form, "searchFrame")),
                      static_cast<QWidget*>(control<ListView>(form, "resultsList")),
                      static_cast<QWidget*>(control<PushButton>(form, "closeButton")),
                      static_cast<QWidget*>(control<PushButton>(form, "saveTextButton")),
                      static_cast<QWidget*>(control<PushButton>(form, "deleteButton")),
                      static_cast<QWidget*>(control<PushButton>(form, "hoursButton")),
                      static_cast<QWidget*>(control<PushButton>(form, "spreadsheetButton"))})
                    enabledDuring += control->isEnabled() ? 1 : 0;
                form.openHours();
                control<PushButton>(form, "deleteButton")->click();
                form.deleteRecord();
                QTest::keyClick(control<ListView>(form, "resultsList"), Qt::Key_Delete);
                form.viewAll();
                form.clearResults();
                form.search();
                QTest::keyClick(&form, Qt::Key_Escape);
                form.close();
                rowsDuring = control<ListView>(form, "resultsList")->rowCount();
                shownDuring = form.isVisible();
            });
            control<PushButton>(form, "spreadsheetButton")->click();
            usableAfter = !form.isExporting() && control<PushButton>(form, "deleteButton")->isEnabled() &&
                          control<PushButton>(form, "hoursButton")->isEnabled() &&
                          control<PushButton>(form, "closeButton")->isEnabled() &&
                          control<ListView>(form, "resultsList")->isEnabled() &&
                          control<QGroupBox>(form, "searchFrame")->isEnabled();
        });
        QVERIFY2(boxes.shown().empty(), boxes.shown().empty() ? "" : qPrintable(boxes.shown().front().text));
        QCOMPARE(scene.storedRecords(QStringLiteral("P7")), 1);
        QCOMPARE(rowsDuring, 2);
        QVERIFY(shownDuring);
        const auto sheets = OfficeFixture::probe().spreadsheets();
        QCOMPARE(sheets.size(), size_t(1));
        QCOMPARE(sheets.front().rows.size(), size_t(3));
        QCOMPARE(sheets.front().at(2, 1).string, QStringLiteral("P7"));
        QCOMPARE(sheets.front().at(3, 1).string, QStringLiteral("P8"));
        // No names: the row's later cells stand under the first titles.
        QCOMPARE(sheets.front().at(3, 4).string, QStringLiteral("06:00 PM"));
        QVERIFY(duringExport);
        QCOMPARE(enabledDuring, 0);
        QVERIFY(usableAfter);
    }

    // An office that stops answering in the middle of an export (here: stopped by a signal) is
    // given up at the call deadline: one error box with the step, the window usable again, and
    // its events kept running while it waited.
    void stuckOfficeIsGivenUpAtTheDeadline() {
        REQUIRE_OFFICE();
        OfficeFixture::useForExports();
        LibreOffice::Settings quick = LibreOffice::settings();
        quick.callTimeoutMs = 2000;
        LibreOffice::setSettings(quick);
        OfficeFixture::probe().closeDocuments();
        OfficeFixture::probe().disconnect();
        const std::vector<qint64> office = OfficeFixture::probe().processes();
        const auto resume = [office] {
            for (qint64 pid : office)
                ::kill(static_cast<pid_t>(pid), SIGCONT);
        };
        // Runs again whatever becomes of the test.
        const std::shared_ptr<void> resumeAtEnd(nullptr, [resume](void*) { resume(); });
        // The export's own application, stopping the office before the columns are fitted.
        Spreadsheet::setStarter([&]() -> std::unique_ptr<SpreadsheetApplication> {
            return std::make_unique<SignalBeforeFitting>(LibreOffice::startCalc(), office, SIGSTOP);
        });
        TestSupport::MessageRecorder boxes;
        ReportsWindow form;
        ExportScene::addColumns(*control<ListView>(form, "resultsList"));
        addRow(*control<ListView>(form, "resultsList"),
               {"7", "Ann", "Ops", "Clerk", "9/14/2021", "08:00 AM", ""}, true);
        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(100);
        QElapsedTimer clock;
        clock.start();
        form.sendToSpreadsheet();
        const qint64 elapsed = clock.elapsed();
        ticker.stop();
        resume();
        Spreadsheet::setStarter({});

        QCOMPARE(boxes.errorSteps(), (std::vector<int>{172}));
        QVERIFY2(boxes.errors().front().text.contains(QStringLiteral("did not answer within 2 seconds")),
                 qPrintable(boxes.errors().front().text));
        QVERIFY2(elapsed >= 2000 && elapsed < 15000, qPrintable(QString::number(elapsed)));
        QVERIFY(ticks >= 10); // the event loop ran while the call waited
        QCOMPARE(form.mousePointer()->value(), MousePointer::Default);
        QVERIFY(!form.isExporting());
        // The office itself is fine once it runs again, and so is the next export.
        QTRY_VERIFY_WITH_TIMEOUT(OfficeFixture::probe().isAlive(), 20000);
        boxes.clear();
        const auto sheet = exportOnce(form, boxes);
        QCOMPARE(sheet.at(2, 6).string, QStringLiteral("08:00 AM"));
    }

    // An office that goes away in the middle of an export (here: killed) is reported once; the
    // program lives on.
    void vanishedOfficeIsReportedOnce() {
        REQUIRE_OFFICE();
        QTemporaryDir profile;
        LibreOffice::Settings own = OfficeFixture::settings();
        own.pipeName = QStringLiteral("tallyclock_vanishing_%1").arg(QCoreApplication::applicationPid());
        own.extraArguments = {QStringLiteral("--headless"),
                              QStringLiteral("-env:UserInstallation=") +
                                  QUrl::fromLocalFile(profile.path()).toString()};
        const auto office = LibreOffice::Probe::launch(own);
        const std::vector<qint64> processes = office->processes();
        office->disconnect();
        LibreOffice::setSettings(own);
        Spreadsheet::setStarter([&]() -> std::unique_ptr<SpreadsheetApplication> {
            return std::make_unique<SignalBeforeFitting>(LibreOffice::startCalc(), processes, SIGKILL);
        });
        TestSupport::MessageRecorder boxes;
        ReportsWindow form;
        ExportScene::addColumns(*control<ListView>(form, "resultsList"));
        addRow(*control<ListView>(form, "resultsList"),
               {"7", "Ann", "Ops", "Clerk", "9/14/2021", "08:00 AM", ""}, true);
        form.sendToSpreadsheet();
        Spreadsheet::setStarter({});
        QCOMPARE(boxes.errorSteps(), (std::vector<int>{172}));
        QVERIFY2(boxes.errors().front().text.contains(QStringLiteral("was lost")),
                 qPrintable(boxes.errors().front().text));
        QCOMPARE(form.mousePointer()->value(), MousePointer::Default);
    }

    void bogusOfficeProgramGivesBothMessages() {
        if (!LibreOffice::moduleBuilt())
            QSKIP("built without the LibreOffice SDK (libreoffice-dev): run scripts/install-deps");
        LibreOffice::Settings bogus;
        bogus.program = QStringLiteral("/nonexistent/soffice");
        LibreOffice::setSettings(bogus);
        TestSupport::MessageRecorder boxes;
        ReportsWindow form;
        ExportScene::addColumns(*control<ListView>(form, "resultsList"));
        addRow(*control<ListView>(form, "resultsList"),
               {"7", "Ann", "Ops", "Clerk", "9/14/2021", "8:00 AM", ""}, true);
        form.sendToSpreadsheet();
        QCOMPARE(boxes.texts(), (std::vector<QString>{kNotInstalledCheck, kNotInstalledFeature}));
        QCOMPARE(form.mousePointer()->value(), MousePointer::Default);
    }
};

TALLYCLOCK_TEST(SpreadsheetExportStepsTest)
TALLYCLOCK_TEST(SpreadsheetExportOfficeTest)
#include "SpreadsheetExportTest.moc"
#include "platform/ListView.h"
