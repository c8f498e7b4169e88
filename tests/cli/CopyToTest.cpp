#include "common/TestSupport.h"
#include "data/AttendanceDatabase.h"

#include <QTemporaryDir>
#include <QTest>
#include <SQLiteCpp/Database.h>

namespace {

TestSupport::CommandLineRun copyTo(const QStringList& arguments) {
    return TestSupport::runCommandLine(QStringList{QStringLiteral("copy-to")} + arguments);
}

// Every row of a record set as one text per row, the fields joined; Null shown apart from "".
QStringList rowsOf(RecordSet rs) {
    QStringList rows;
    for (; !rs.eof(); rs.moveNext()) {
        QStringList fields;
        for (const QString& column : rs.columnNames())
            fields << (rs.isNull(column) ? QStringLiteral("<null>") : rs.text(column));
        rows << fields.join(QLatin1Char('|'));
    }
    return rows;
}

QStringList sorted(QStringList rows) {
    rows.sort();
    return rows;
}

} // namespace

class CopyToTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    // A database file of the first program's kind, written with the sqlite3 statements another tool
    // would use: Nulls, quotes, tabs, letter case, a record without its person.
    QString seededFile(const char* name, const char* statements) {
        const QString path = m_dir.filePath(QString::fromLatin1(name));
        TestSupport::makeFirstProgramFile(path);
        SQLite::Database(path.toStdString(), SQLite::OPEN_READWRITE).exec(statements);
        return path;
    }

    QString workplaceFile() {
        return seededFile("workplace.mdb", R"SQL(
            INSERT INTO tblEmployees VALUES ('P1', 'pw', 'O''Brien', NULL, '', 1);
            INSERT INTO tblEmployees VALUES ('Ärzte-7', 'ß', 'Tab	Name', 'Kitchen', 'Cook', 0);
            INSERT INTO tblEmployees VALUES ('P3', NULL, 'Back\slash', 'Office', 'Clerk', 0);
            INSERT INTO tblLogins VALUES ('P1', '2026-03-05', '09:00 AM', '05:00 PM');
            INSERT INTO tblLogins VALUES ('P1', '2026-03-01', '08:00 AM', '12:00 PM');
            INSERT INTO tblLogins VALUES ('p1', '2026-03-06', '07:00 AM', NULL);
            INSERT INTO tblLogins VALUES ('ärzte-7', '2026-03-06', '10:00', '');
            INSERT INTO tblLogins VALUES ('gone', NULL, NULL, NULL);
        )SQL");
    }

private slots:
    // Everything arrives as it was: the same persons and records through every read of the
    // catalogue, the records in the order they were written (the punch's latest record).
    void copiesEverything() {
        const QString file = workplaceFile();
        const QString server = TestSupport::freshServerDatabase();
        const auto run = copyTo({server, QStringLiteral("--from"), file});
        QCOMPARE(run.code, 0);
        QVERIFY2(run.out.startsWith(
                     QStringLiteral(
                         "Copied 3 persons, 5 records, 0 audit rows and 0 login failure counts from %1 to ")
                         .arg(file)),
                 qPrintable(run.out));
        QVERIFY(run.err.isEmpty());

        AttendanceDatabase source;
        source.open(file);
        AttendanceDatabase copy;
        copy.openServer(server);
        QCOMPARE(sorted(rowsOf(copy.personsByName())), sorted(rowsOf(source.personsByName())));
        QCOMPARE(rowsOf(copy.allLogins()), rowsOf(source.allLogins()));
        QCOMPARE(rowsOf(copy.recordsOfPerson(QStringLiteral("P1"))),
                 rowsOf(source.recordsOfPerson(QStringLiteral("P1"))));
        // The latest by insert, not by day.
        QCOMPARE(copy.latestRecordOfPerson(QStringLiteral("P1")).text(QStringLiteral("TimeIn")),
                 QStringLiteral("07:00 AM"));
        // A person number still finds its person across letter case on the server.
        QCOMPARE(copy.personByNumber(QStringLiteral("ÄRZTE-7")).rowCount(), 1);
    }

    // The audit trail, the corrected marks, the login failure counts, badges and pay rules come along: the trail row by
    // row, naming the same records, and no identity it names is given to a new record.
    void copiesTheTrail() {
        const QString file = m_dir.filePath(QStringLiteral("trail.mdb"));
        TestSupport::copyTemplateTo(file);
        const QDate day(2026, 3, 5);
        {
            AttendanceDatabase db;
            db.open(file);
            db.setActor(QStringLiteral("A1"));
            db.insertPerson(
                {QStringLiteral("P1"), QStringLiteral("pw"), QStringLiteral("Ann"), {}, {}, true});
            db.punch(PunchKind::In, QStringLiteral("P1"), day, QStringLiteral("08:00 AM"));
            db.punch(PunchKind::Out, QStringLiteral("P1"), day, QStringLiteral("04:00 PM"));
            db.correctRecord(
                1, {QStringLiteral("P1"), day, QStringLiteral("07:30 AM"), QStringLiteral("04:00 PM")});
            db.addRecord({QStringLiteral("P1"), day.addDays(1), QStringLiteral("09:00 AM"),
                          QStringLiteral("05:00 PM")});
            db.addRecord({QStringLiteral("P1"), day.addDays(2), QStringLiteral("09:00 AM"), {}});
            db.deleteRecord(QStringLiteral("P1"), day.addDays(2),
                            QStringLiteral("09:00 AM")); // the newest, 3
            db.recordLoginFailure(QStringLiteral("P9"), QDateTime(day, QTime(9, 0), Qt::UTC));
            db.setBadge(QStringLiteral("P1"), QStringLiteral("b-77"));
            db.changePayRules({{QStringLiteral("RoundingMinutes"), QStringLiteral("15")}});
        }
        const QString server = TestSupport::freshServerDatabase();
        const auto run = copyTo({server, QStringLiteral("--from"), file});
        QCOMPARE(run.code, 0);
        QVERIFY2(
            run.out.contains(QStringLiteral("1 persons, 2 records, 9 audit rows and 1 login failure counts")),
            qPrintable(run.out));

        AttendanceDatabase source;
        source.open(file);
        AttendanceDatabase copy;
        copy.openServer(server);
        const AuditFilter all{QDate(2000, 1, 1), QDate(2100, 1, 1), std::nullopt, std::nullopt};
        const QStringList trail = rowsOf(source.auditEntries(all));
        QCOMPARE(trail.size(), 9);
        QCOMPARE(rowsOf(copy.auditEntries(all)), trail);
        QCOMPARE(rowsOf(copy.allLogins()), rowsOf(source.allLogins()));
        QCOMPARE(copy.allLogins().text(QStringLiteral("Corrected")), QStringLiteral("1"));
        QCOMPARE(copy.loginFailures(QStringLiteral("p9")).failures, 1);
        QCOMPARE(copy.personByBadge(QStringLiteral("b-77")).text(QStringLiteral("EmployeeNo")),
                 QStringLiteral("P1"));
        QCOMPARE(rowsOf(copy.payRules()), rowsOf(source.payRules()));
        QCOMPARE(copy.loginFailures(QStringLiteral("p9")).since,
                 source.loginFailures(QStringLiteral("P9")).since);
        copy.punch(PunchKind::In, QStringLiteral("P1"), day.addDays(3), QStringLiteral("08:00 AM"));
        QCOMPARE(copy.latestRecordOfPerson(QStringLiteral("P1")).text(QStringLiteral("RecordId")),
                 QStringLiteral("4"));
    }

    void refusals_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("server");
        QTest::addColumn<bool>("serverHoldsOne");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("err");

        const QString workplace = workplaceFile();
        QTest::newRow("server database holds a person")
            << workplace << TestSupport::freshServerDatabase() << true << 1
            << "already holds 1 persons and 0 records";
        QTest::newRow("numbers the server takes for one")
            << seededFile("twins.mdb", "INSERT INTO tblEmployees VALUES ('Ä1', 'a', 'A', '', '', 0);"
                                       "INSERT INTO tblEmployees VALUES ('ä1', 'b', 'B', '', '', 0);"
                                       "INSERT INTO tblLogins VALUES ('Ä1', '2026-03-05', '09:00', NULL);")
            << TestSupport::freshServerDatabase() << false << 1 << "differ only in letter case";
        QTest::newRow("an accent typed two ways")
            << seededFile("accents.mdb",
                          "INSERT INTO tblEmployees VALUES ('é', 'a', 'A', '', '', 0);"
                          "INSERT INTO tblEmployees VALUES ('e' || char(769), 'b', 'B', '', '', 0);")
            << TestSupport::freshServerDatabase() << false << 1 << "differ only in letter case";
        QTest::newRow("a day that is no date")
            << seededFile("baddate.mdb", "INSERT INTO tblLogins VALUES ('P1', 'yesterday', '09:00', NULL);")
            << TestSupport::freshServerDatabase() << false << 1 << "whose day \"yesterday\" is no date";
        QTest::newRow("server database missing")
            << workplace << TestSupport::freshServerDatabase() + QStringLiteral("_missing") << false << 1
            << "cannot be reached";
        QTest::newRow("not a PostgreSQL URI")
            << workplace << QStringLiteral("mysql://localhost/tally") << false << 2
            << "copy-to: URI must be a PostgreSQL connection URI";
        QTest::newRow("no such file")
            << m_dir.filePath(QStringLiteral("none.mdb")) << TestSupport::freshServerDatabase() << false << 2
            << "no database file at";
    }

    // Refused as a whole: the server database is left as it was, and the message says why.
    void refusals() {
        QFETCH(QString, file);
        QFETCH(QString, server);
        QFETCH(bool, serverHoldsOne);
        QFETCH(int, code);
        QFETCH(QString, err);
        if (serverHoldsOne) {
            AttendanceDatabase db;
            db.openServer(server);
            db.insertPerson({QStringLiteral("X"), QStringLiteral("x"), QStringLiteral("X"), {}, {}, false});
        }
        const auto run = copyTo({server, QStringLiteral("--from"), file});
        QCOMPARE(run.code, code);
        QVERIFY2(run.err.contains(err), qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
        if (code == 1 && !err.contains(QLatin1String("reached"))) {
            AttendanceDatabase db;
            db.openServer(server);
            QCOMPARE(db.personsByName().rowCount(), serverHoldsOne ? 1 : 0);
            QCOMPARE(db.allLogins().rowCount(), 0);
        }
    }
};

TALLYCLOCK_TEST(CopyToTest)
#include "CopyToTest.moc"
