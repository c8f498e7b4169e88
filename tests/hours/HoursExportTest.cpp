#include "hours/HoursExport.h"
#include "common/TestSupport.h"
#include "exports/RecordingSpreadsheet.h"
#include "hours/HoursWindow.h"
#include "platform/DateTexts.h"
#include "platform/SaveDialog.h"
#include "reports/ReportsScene.h"

#include <QDateEdit>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

namespace {

Hours::Record record(const QString& number, const QString& name, int day, const QString& in,
                     const QString& out, const QString& department = QStringLiteral("Sales")) {
    return {number, name, department, QDate(2021, 9, day), in, out};
}

} // namespace

class HoursExportTest : public QObject {
    Q_OBJECT
private slots:
    // Python's csv module reads back every field exactly, apart from the apostrophe that keeps a
    // spreadsheet from evaluating a formula; TSV has no quoting, so TABs and line breaks turn blank.
    void csvAndTsvReadBackInPython_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("readBack");
        QTest::addColumn<QString>("tsvReadBack");
        QTest::newRow("plain") << "Ann"
                               << "Ann"
                               << "Ann";
        QTest::newRow("comma") << "Smith, Ann"
                               << "Smith, Ann"
                               << "Smith, Ann";
        QTest::newRow("quotes") << "Ann \"the clock\" Smith"
                                << "Ann \"the clock\" Smith"
                                << "Ann \"the clock\" Smith";
        QTest::newRow("line break") << "Ann\r\nSmith"
                                    << "Ann\r\nSmith"
                                    << "Ann  Smith";
        QTest::newRow("tab") << "Ann\tSmith"
                             << "Ann\tSmith"
                             << "Ann Smith";
        QTest::newRow("edge blanks") << " Ann "
                                     << " Ann "
                                     << " Ann ";
        QTest::newRow("not ASCII") << "Zoë Ørsted 山田"
                                   << "Zoë Ørsted 山田"
                                   << "Zoë Ørsted 山田";
        QTest::newRow("formula") << "=HYPERLINK(\"x\")"
                                 << "'=HYPERLINK(\"x\")"
                                 << "'=HYPERLINK(\"x\")";
        QTest::newRow("signed text") << "-Ann"
                                     << "'-Ann"
                                     << "'-Ann";
        QTest::newRow("signed number") << "-12"
                                       << "-12"
                                       << "-12";
    }
    void csvAndTsvReadBackInPython() {
        QFETCH(QString, name);
        QFETCH(QString, readBack);
        QFETCH(QString, tsvReadBack);
        const Hours::Report report = Hours::totals(
            {record(QStringLiteral("7"), name, 13, QStringLiteral("08:00"), QStringLiteral("16:25"))}, {});
        const QByteArray file = Hours::csvFile(Hours::totalsTable(report));
        QVERIFY(file.startsWith("\xEF\xBB\xBF"));
        const auto read = [](const QByteArray& bytes, const QString& dialect) {
            return QJsonDocument::fromJson(
                       TestSupport::runTool(
                           QStringLiteral("python3"),
                           {QStringLiteral("-c"),
                            QStringLiteral("import csv, io, json, sys\n"
                                           "text = sys.stdin.buffer.read().decode('utf-8-sig')\n"
                                           "form = dict(delimiter='\\t', quoting=csv.QUOTE_NONE) "
                                           "if sys.argv[1] == 'tsv' else {}\n"
                                           "rows = list(csv.reader(io.StringIO(text, newline=''), "
                                           "strict=True, **form))\n"
                                           "print(json.dumps(rows))\n"),
                            dialect},
                           bytes))
                .array();
        };
        for (const auto& [rows, expected] :
             {std::pair{read(file, QStringLiteral("csv")), readBack},
              std::pair{read(Hours::tsvText(Hours::totalsTable(report)).toUtf8(), QStringLiteral("tsv")),
                        tsvReadBack}}) {
            QCOMPARE(rows.size(), 3);
            const QStringList titles = QVariant(rows.at(0).toArray().toVariantList()).toStringList();
            QCOMPARE(titles, Hours::totalsTitles());
            const QJsonArray person = rows.at(1).toArray();
            QCOMPARE(person.size(), Hours::totalsTitles().size());
            QCOMPARE(person.at(Hours::Name).toString(), expected);
            QCOMPARE(person.at(Hours::HoursClock).toString(), QStringLiteral("8:25"));
            QCOMPARE(person.at(Hours::HoursDecimal).toString(), QStringLiteral("8.42"));
            QCOMPARE(rows.at(2).toArray().at(Hours::Number).toString(), QStringLiteral("Total"));
        }
    }

    // The records' text rules: the first row decides the titles, empty cells are skipped.
    void textFollowsTheListRules() {
        const Hours::Report report = Hours::totals({record(QStringLiteral("1"), QStringLiteral("Ann"), 13,
                                                           QStringLiteral("08:00"), QStringLiteral("09:30")),
                                                    record(QStringLiteral("2"), QStringLiteral("Bob"), 13,
                                                           QStringLiteral("08:00"), QString(), QString())},
                                                   {});
        const QString text = Hours::tabText(Hours::totalsTable(report));
        const QStringList lines = text.split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 5); // titles, two persons, the totals, the end of the last line
        QCOMPARE(lines[0], Hours::totalsTitles().join(u'\t') + u'\t');
        QCOMPARE(lines[1], QStringLiteral("1\tAnn\tSales\t1\t1:30\t1.50\t0\t0\t0\t"));
        QCOMPARE(lines[2], QStringLiteral("2\tBob\t0\t0:00\t0.00\t1\t0\t0\t"));
        QCOMPARE(lines[3], QStringLiteral("Total\t1\t1:30\t1.50\t1\t0\t0\t"));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, Hours::tabText({Hours::totalsTitles(), {}}));
    }

    void jsonCarriesNumbersAndTotals() {
        const Hours::Report report = Hours::totals({record(QStringLiteral("1"), QStringLiteral("Ann"), 13,
                                                           QStringLiteral("22:00"), QStringLiteral("06:05")),
                                                    record(QStringLiteral("1"), QStringLiteral("Ann"), 14,
                                                           QStringLiteral("08:00"), QStringLiteral("08:01")),
                                                    record(QStringLiteral("2"), QStringLiteral("Bob"), 14,
                                                           QStringLiteral("late"), QStringLiteral("09:00"))},
                                                   {});
        const QJsonObject root =
            QJsonDocument::fromJson(Hours::jsonText(report, {QDate(2021, 9, 12), QDate(2021, 9, 18)}))
                .object();
        QCOMPARE(root[QStringLiteral("from")].toString(), QStringLiteral("2021-09-12"));
        const QJsonObject ann = root[QStringLiteral("persons")].toArray().at(0).toObject();
        QCOMPARE(ann[QStringLiteral("minutes")].toInt(), 8 * 60 + 6);
        QCOMPARE(ann[QStringLiteral("hours")].toString(), QStringLiteral("8:06"));
        QCOMPARE(ann[QStringLiteral("hoursDecimal")].toDouble(), 8.1);
        QCOMPARE(ann[QStringLiteral("overnightRecords")].toInt(), 1);
        const QJsonObject totals = root[QStringLiteral("totals")].toObject();
        QCOMPARE(totals[QStringLiteral("unreadableRecords")].toInt(), 1);
        QCOMPARE(totals[QStringLiteral("daysWorked")].toInt(), 2);
        QVERIFY(!totals.contains(QStringLiteral("name")));
    }

    void sheetGetsDurationsAndNumbers() {
        const auto log = std::make_shared<RecordingSpreadsheet::Log>();
        RecordingSpreadsheet sheet(log);
        Hours::fillSheet(sheet, Hours::totals({record(QStringLiteral("007"), QStringLiteral("Ann"), 13,
                                                      QStringLiteral("08:00"), QStringLiteral("16:25"))},
                                              {}));
        QCOMPARE(log->cell(1, 5), QStringLiteral("Hours"));
        // Person numbers are texts: none of the totals goes in "as typed", where 007 would become 7.
        QVERIFY(log->calls.contains(QStringLiteral("setText 2 1 007")));
        QVERIFY(log->calls.filter(QStringLiteral("setCell")).isEmpty());
        QVERIFY(log->calls.contains(QStringLiteral("setDuration 2 5 505")));
        QVERIFY(log->calls.contains(QStringLiteral("setNumber 2 6 8.42 2")));
        QVERIFY(log->calls.contains(QStringLiteral("setNumber 2 4 1 0")));
        QCOMPARE(log->cell(3, 1), QStringLiteral("Total"));
        QVERIFY(log->calls.contains(QStringLiteral("setDuration 3 5 505")));
        QCOMPARE(log->calls.last(), QStringLiteral("autoFitColumns"));
    }

    // A PDF of two persons, one of them over several pages, rendered and read back by poppler.
    void timesheetsRenderAndRead() {
        std::vector<Hours::Record> records;
        // Day shifts of 8:30 and night shifts of 8:15: 23 × 8:30 + 22 × 8:15 = 377:00.
        for (int i = 0; i < 45; ++i)
            records.push_back(record(QStringLiteral("1"), QStringLiteral("Ann Smith"), 1 + i % 30,
                                     i % 2 ? QStringLiteral("22:00") : QStringLiteral("08:00"),
                                     i % 2 ? QStringLiteral("06:15") : QStringLiteral("16:30")));
        records.push_back(
            record(QStringLiteral("2"), QStringLiteral("Bob"), 3, QStringLiteral("09:00"), QString()));
        const Hours::Rules rules;
        const Hours::Report report = Hours::totals(records, rules);
        QTemporaryDir dir;
        const QString pdf =
            qEnvironmentVariable("HOURS_KEEP_PDF", dir.filePath(QStringLiteral("sheets.pdf")));
        Hours::writeTimesheets(pdf, {QDate(2021, 9, 1), QDate(2021, 9, 30)}, records, report, rules);

        const QString text =
            QString::fromUtf8(TestSupport::runTool(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")}));
        QCOMPARE(text.count(QStringLiteral("Signature of the person")), 2);
        QCOMPARE(text.count(QStringLiteral("Signature of the supervisor")), 2);
        QVERIFY(text.contains(DateTexts::shortDate(QDate(2021, 9, 1)) + QStringLiteral(" to ") +
                              DateTexts::shortDate(QDate(2021, 9, 30))));
        QVERIFY(text.contains(QStringLiteral("377:00")));
        QVERIFY(text.contains(QStringLiteral("Overnight")));
        QVERIFY(text.contains(QStringLiteral("Open; not counted")));
        QVERIFY(text.contains(QStringLiteral("Timesheet (continued)")));
        // Every person starts on a page of their own: Bob's page holds none of Ann's records.
        const QStringList pages = text.split(u'\f', Qt::SkipEmptyParts);
        QVERIFY(pages.size() >= 3);
        QVERIFY(pages.last().contains(QStringLiteral("Bob")));
        QVERIFY(!pages.last().contains(QStringLiteral("Ann Smith")));

        TestSupport::runTool(QStringLiteral("pdftoppm"),
                             {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("40"),
                              QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"),
                              QStringLiteral("1"), QStringLiteral("-singlefile"), pdf,
                              dir.filePath(QStringLiteral("page"))});
        const QImage page(dir.filePath(QStringLiteral("page.png")));
        QVERIFY(!page.isNull());
        QVERIFY(page.height() > page.width()); // portrait
        int dark = 0;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x)
                dark += qGray(page.pixel(x, y)) < 128 ? 1 : 0;
        QVERIFY2(dark > page.width() * page.height() / 200, "the page is (almost) blank");
    }

    // A file that cannot be written fails loudly, and a complete earlier file stays as it was.
    void timesheetsFailLoudly() {
        QTemporaryDir dir;
        const Hours::Rules rules;
        const std::vector<Hours::Record> records = {record(QStringLiteral("1"), QStringLiteral("Ann"), 3,
                                                           QStringLiteral("09:00"), QStringLiteral("10:00"))};
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 Hours::writeTimesheets(dir.filePath(QStringLiteral("no/such/folder.pdf")),
                                                        {}, records, Hours::totals(records, rules), rules));
        QVERIFY_THROWS_EXCEPTION(
            std::runtime_error,
            Hours::writeTimesheets(dir.filePath(QStringLiteral("empty.pdf")), {}, {}, {}, rules));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("empty.pdf"))));
    }

    // The window's buttons write what it shows, through its save dialog.
    void windowExportsWhatItShows() {
        ReportsScene scene;
        TestSupport::MessageRecorder boxes;
        scene.addPerson(QStringLiteral("2"), QStringLiteral("Ann"));
        scene.addRecord(QStringLiteral("2"), QDate(2021, 9, 13), QStringLiteral("08:00 AM"),
                        QStringLiteral("04:00 PM"));
        QTemporaryDir dir;
        QStringList asked;
        SaveDialog::setResponder([&](const SaveDialog::Request& request) {
            asked << request.nameFilters.value(0);
            return dir.filePath(QStringLiteral("out%1").arg(asked.size()));
        });
        const auto log = std::make_shared<RecordingSpreadsheet::Log>();
        Spreadsheet::setStarter(RecordingSpreadsheet::starter(log));
        HoursWindow window(scene.main.get());
        window.load();
        window.saveText();
        window.saveCsv();
        window.saveTimesheets();
        window.sendToSpreadsheet();
        SaveDialog::setResponder({});
        Spreadsheet::setStarter({});
        QVERIFY(boxes.errors().empty());
        QCOMPARE(asked, (QStringList{"Text Files (*.txt)", "CSV Files (*.csv)", "PDF Files (*.pdf)"}));
        const auto bytes = [&](int n) {
            QFile file(dir.filePath(QStringLiteral("out%1").arg(n)));
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        // Each names the period its dates say.
        const QByteArray period = window.fromDate->date().toString(Qt::ISODate).toLatin1() + "," +
                                  window.toDate->date().toString(Qt::ISODate).toLatin1();
        QVERIFY(
            bytes(1).startsWith("Hours worked from " + QByteArray(period).replace(',', " to ") + "\r\n\r\n"));
        QVERIFY(bytes(1).contains("2\tAnn\tDept Ann\t1\t8:00\t8.00\t0\t0\t0\t\r\n"));
        QVERIFY(bytes(2).contains(",Long records,From,To\r\n"));
        QVERIFY(bytes(2).contains("2,Ann,Dept Ann,1,8:00,8.00,0,0,0," + period + "\r\n"));
        QVERIFY(bytes(3).startsWith("%PDF"));
        QVERIFY(log->calls.contains(QStringLiteral("setDuration 2 5 480")));
        QCOMPARE(log->calls.last(), QStringLiteral("setVisible"));

        // Nothing shown: nothing to export, and the user is told.
        window.toDate->setDate(QDate(2021, 9, 1));
        window.fromDate->setDate(QDate(2021, 9, 1));
        window.showTotals();
        window.saveCsv();
        QCOMPARE(asked.size(), 3);
        QCOMPARE(boxes.texts().back(), QStringLiteral("There are no hours to export for this period."));
    }
};

TALLYCLOCK_TEST(HoursExportTest)
#include "HoursExportTest.moc"
