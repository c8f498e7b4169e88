#include "common/TestSupport.h"
#include "core/MainWindow.h"
#include "data/AttendanceDatabase.h"
#include "platform/SystemClock.h"

#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Tuesday 14 September 2021 (en_US: the week runs from the 12th to the 18th).
QDate day(int d) {
    return QDate(2021, 9, d);
}

} // namespace

class HoursVerbsTest : public QObject {
    Q_OBJECT

    TestSupport::CommonFolder* m_common = nullptr;

private slots:
    void init() {
        m_common = new TestSupport::CommonFolder;
        SystemClock::setFixed(QDateTime(day(14), QTime(9, 30)));
        TestSupport::copyTemplateTo(MainWindow::liveDatabasePath());
        AttendanceDatabase db;
        db.open(MainWindow::liveDatabasePath());
        addWeek(db);
    }
    void cleanup() {
        SystemClock::clearFixed();
        delete m_common;
    }

    static void addWeek(AttendanceDatabase& db) {
        db.insertPerson({"2", "pw", "Ann", "Works", "Clerk", false});
        db.insertPerson({"10", "pw", "Bob, Jr.", "=Sales", "Clerk", false});
        db.punchIn("2", day(11), "08:00 AM");
        db.punchOut("2", day(11), "04:00 PM");
        db.punchIn("2", day(13), "09:05 오전");
        db.punchOut("2", day(13), "05:00 PM");
        db.punchIn("10", day(13), "22:00");
        db.punchOut("10", day(14), "21:30");
        db.punchIn("10", day(15), "soon");
    }

    void verbs_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::newRow("this week")
            << QStringList{"hours"} << 0
            << "Hours worked from 2021-09-12 to 2021-09-18\n\n"
               "Person Number  Name      Department  Days worked  Hours  Hours (decimal)  "
               "Open records  Overnight records  Long records\n"
               "2              Ann       Works                 1   7:55             7.92  "
               "           0                  0             0\n"
               "10             Bob, Jr.  =Sales                1  23:30            23.50  "
               "           0                  1             1\n"
               "Total                                          2  31:25            31.42  "
               "           0                  1             1\n\n"
               "Records to correct:\n"
               "  2021-09-14  10  Bob, Jr.  22:00  21:30  Longer than 16 hours\n"
               "  2021-09-15  10  Bob, Jr.  soon    Time cannot be read; not counted\n"
            << "";
        QTest::newRow("csv")
            << QStringList{"hours", "--from", "2021-09-01", "--to=2021-09-13", "--csv"} << 0
            << "Person Number,Name,Department,Days worked,Hours,Hours (decimal),Open records,"
               "Overnight records,Long records,From,To\r\n"
               "2,Ann,Works,2,15:55,15.92,0,0,0,2021-09-01,2021-09-13\r\n"
               "Total,,,2,15:55,15.92,0,0,0,2021-09-01,2021-09-13\r\n"
            << "";
        QTest::newRow("csv, formula kept a text")
            << QStringList{"hours", "--period", "this-week", "--person", "10", "--csv"} << 0
            << "10,\"Bob, Jr.\",'=Sales,1,23:30,23.50,0,1,1,"
            << "Records to correct:\n";
        QTest::newRow("records of one person")
            << QStringList{"records", "--person", "2", "--period", "last-week"} << 0
            << "Date        Person Number  Name  Login     Logout    Hours  Note\n"
               "2021-09-11  2              Ann   08:00 AM  04:00 PM   8:00\n"
            << "";
        QTest::newRow("tsv keeps every column")
            << QStringList{"hours", "--from", "2021-09-01", "--to", "2021-09-13", "--format", "tsv"} << 0
            << "Person Number\tName\tDepartment\tDays worked\tHours\tHours (decimal)\tOpen records\t"
               "Overnight records\tLong records\tFrom\tTo\n"
               "2\tAnn\tWorks\t2\t15:55\t15.92\t0\t0\t0\t2021-09-01\t2021-09-13\n"
               "Total\t\t\t2\t15:55\t15.92\t0\t0\t0\t2021-09-01\t2021-09-13\n"
            << "";
        QTest::newRow("unknown format") << QStringList{"records", "--format", "xml"} << 2 << ""
                                        << "records: unknown --format 'xml' (csv, tsv, json or xlsx)";
        QTest::newRow("csv switch against format")
            << QStringList{"hours", "--csv", "--format=json"} << 2 << ""
            << "hours: --csv and --format json exclude each other";
        QTest::newRow("from without to") << QStringList{"hours", "--from", "2021-09-01"} << 2 << ""
                                         << "hours: --from and --to go together";
        QTest::newRow("period and dates")
            << QStringList{"records", "--period", "last-week", "--from", "2021-09-01", "--to", "2021-09-02"}
            << 2 << ""
            << "records: --period and --from/--to exclude each other";
        QTest::newRow("unknown period") << QStringList{"hours", "--period", "fortnight"} << 2 << ""
                                        << "hours: unknown --period 'fortnight'";
        QTest::newRow("no date") << QStringList{"hours", "--from", "9/1/2021", "--to", "2021-09-02"} << 2
                                 << ""
                                 << "hours: --from '9/1/2021' is no date of the form yyyy-mm-dd";
        QTest::newRow("backwards") << QStringList{"hours", "--from", "2021-09-02", "--to", "2021-09-01"} << 2
                                   << ""
                                   << "hours: --from is after --to";
    }
    void verbs() {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QFETCH(QString, out);
        QFETCH(QString, err);
        const TestSupport::CommandLineRun result = TestSupport::runCommandLine(arguments);
        QCOMPARE(result.code, code);
        QVERIFY2(result.out.contains(out), qPrintable(result.out));
        QVERIFY2(result.err.contains(err), qPrintable(result.err));
        if (code != 0)
            QVERIFY(result.out.isEmpty());
    }

    // A payroll script reads the same numbers out of every format with Python's standard modules.
    void programsReadTheFormats_data() {
        QTest::addColumn<QString>("verb");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("pairs"); // [person number, hours] per row, as Python read them
        const QString totals = QStringLiteral(R"([["2", "7:55"], ["10", "23:30"], ["Total", "31:25"]])");
        const QString records = QStringLiteral(R"([["2", "7:55"], ["10", "23:30"], ["10", "0:00"]])");
        for (const char* format : {"csv", "tsv", "json"}) {
            QTest::addRow("hours %s", format) << "hours" << format << totals;
            QTest::addRow("records %s", format) << "records" << format << records;
        }
    }
    void programsReadTheFormats() {
        QFETCH(QString, verb);
        QFETCH(QString, format);
        QFETCH(QString, pairs);
        const TestSupport::CommandLineRun result =
            TestSupport::runCommandLine({verb, QStringLiteral("--format"), format});
        QCOMPARE(result.code, 0);
        const QByteArray read =
            TestSupport::runTool(QStringLiteral("python3"),
                                 {QStringLiteral("-c"), QStringLiteral(R"(import csv, io, json, sys
verb, form = sys.argv[1:]
text = sys.stdin.read()
if form == 'json':
    data = json.loads(text)
    if verb == 'hours':
        pairs = [[p['number'], p['hours']] for p in data['persons']] + [['Total', data['totals']['hours']]]
    else:
        pairs = [[r['number'], r['hours']] for r in data['records']]
else:
    rows = list(csv.reader(io.StringIO(text, newline=''), delimiter=',' if form == 'csv' else '	',
                           quoting=csv.QUOTE_MINIMAL if form == 'csv' else csv.QUOTE_NONE, strict=True))
    assert all(len(row) == len(rows[0]) for row in rows), rows
    number, hours = rows[0].index('Person Number'), rows[0].index('Hours')
    pairs = [[row[number], row[hours]] for row in rows[1:]]
print(json.dumps(pairs))
)"),
                                  verb, format},
                                 result.out.toUtf8());
        QCOMPARE(QString::fromUtf8(read).trimmed(), pairs);
    }

    // A payroll script gets the same lines from a PostgreSQL server as from the file.
    void serverGivesTheSameOutput() {
        const QString url = TestSupport::freshServerDatabase();
        {
            AttendanceDatabase server;
            server.openServer(url);
            addWeek(server);
        }
        const QList<QStringList> calls = {{"hours", "--format", "csv"}, {"records", "--format", "tsv"}};
        QList<TestSupport::CommandLineRun> file;
        for (const QStringList& call : calls)
            file << TestSupport::runCommandLine(call);
        qputenv("TALLYCLOCK_DATABASE_URL", url.toUtf8());
        const auto unset = qScopeGuard([] { qunsetenv("TALLYCLOCK_DATABASE_URL"); });
        for (qsizetype i = 0; i < calls.size(); ++i) {
            const TestSupport::CommandLineRun server = TestSupport::runCommandLine(calls[i]);
            QCOMPARE(server.code, 0);
            QCOMPARE(server.out, file[i].out);
            QCOMPARE(server.err, file[i].err);
        }
    }

    // The README's worked example as the command line prints it, from the file and from a server; the
    // rules as `rules` prints them; --raw without them; the workbook to a file.
    void workedExampleOfTheReadme() {
        const auto fill = [](AttendanceDatabase& db) {
            db.insertPerson({"007", "pw", "Ann", "Works", "Clerk", false});
            const QDate monday(2026, 3, 2);
            const std::vector<std::tuple<int, const char*, const char*>> week = {
                {0, "07:53", "16:38"}, {1, "08:07", "12:00"}, {1, "12:30", "16:36"}, {2, "08:00", "18:22"},
                {3, "07:45", "15:50"}, {4, "08:00", "17:00"}, {5, "09:00", "13:00"}};
            for (const auto& [day, in, out] : week)
                db.addRecord({"007", monday.addDays(day), QString::fromLatin1(in), QString::fromLatin1(out)});
            db.changePayRules({{"RoundingMinutes", "15"},
                               {"Breaks", "6:00=30"},
                               {"DailyLimit", "8:00"},
                               {"WeeklyLimit", "40:00"},
                               {"FirstDayOfWeek", "1"}});
        };
        QFile readme(QStringLiteral(TALLYCLOCK_README));
        QVERIFY(readme.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(readme.readAll());
        const qsizetype marker = text.indexOf(QStringLiteral("<!-- worked example"));
        QVERIFY(marker > 0);
        const qsizetype start = text.indexOf(QStringLiteral("```\n"), marker) + 4;
        const QString expected = text.mid(start, text.indexOf(QStringLiteral("```"), start) - start);
        QVERIFY(expected.contains(QStringLiteral("Overtime")));

        AttendanceDatabase file;
        file.open(MainWindow::liveDatabasePath());
        fill(file);
        const QStringList week = {"hours", "--from", "2026-03-02", "--to", "2026-03-08"};
        const TestSupport::CommandLineRun fromFile = TestSupport::runCommandLine(week);
        QCOMPARE(fromFile.code, 0);
        QCOMPARE(fromFile.out, expected);

        const TestSupport::CommandLineRun raw = TestSupport::runCommandLine(week + QStringList{"--raw"});
        QVERIFY2(raw.out.contains(QStringLiteral("007            Ann   Works                 6  48:11")),
                 qPrintable(raw.out));
        QVERIFY(!raw.out.contains(QStringLiteral("Paid")));
        const TestSupport::CommandLineRun rules = TestSupport::runCommandLine({"rules"});
        QVERIFY2(
            rules.out.contains(QStringLiteral("Rounding: each punch to the nearest 15 minutes\n"
                                              "Unpaid breaks: more than 6:00 worked: 30 minutes\n"
                                              "Daily overtime: past 8:00\nWeekly overtime: past 40:00\n")),
            qPrintable(rules.out));
        QTemporaryDir dir;
        const QString book = dir.filePath(QStringLiteral("week.xlsx"));
        QCOMPARE(TestSupport::runCommandLine(week + QStringList{"--format", "xlsx", "--output", book}).code,
                 0);
        QFile workbook(book);
        QVERIFY(workbook.open(QIODevice::ReadOnly) && workbook.read(2) == "PK");
        QCOMPARE(TestSupport::runCommandLine(week + QStringList{"--format", "xlsx"}).code, 2);

        const QString url = TestSupport::freshServerDatabase();
        {
            AttendanceDatabase server;
            server.openServer(url);
            fill(server);
        }
        qputenv("TALLYCLOCK_DATABASE_URL", url.toUtf8());
        const auto unset = qScopeGuard([] { qunsetenv("TALLYCLOCK_DATABASE_URL"); });
        const TestSupport::CommandLineRun fromServer = TestSupport::runCommandLine(week);
        QCOMPARE(fromServer.code, 0);
        QCOMPARE(fromServer.out, expected);
    }

    void missingDatabaseFailsWithOne() {
        QFile::remove(MainWindow::liveDatabasePath());
        const TestSupport::CommandLineRun result = TestSupport::runCommandLine({QStringLiteral("hours")});
        QCOMPARE(result.code, 1);
        QVERIFY2(result.err.contains(QStringLiteral("does not exist")), qPrintable(result.err));
    }
};

TALLYCLOCK_TEST(HoursVerbsTest)
#include "HoursVerbsTest.moc"
