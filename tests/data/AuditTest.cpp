#include "TestDatabase.h"
#include "common/TestSupport.h"
#include "data/AttendanceDatabase.h"
#include "hours/HoursTotals.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QUrlQuery>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <functional>

namespace {

const QDate kDay(2026, 12, 9);

// The number of audit rows, counted by a connection of its own, and the newest row as the audit
// window reads it: ChangedAt, Terminal, Who, What, RecordId, EmployeeNo, ValuesBefore, ValuesAfter.
struct AuditRows {
    int count = 0;
    QStringList newest;
};

AuditRows auditRows(const TestDatabase& data, AttendanceDatabase& db) {
    AuditRows rows;
    rows.count = data.count("tblAudit");
    const RecordSet rs = db.auditEntries({QDate(2000, 1, 1), QDate(2100, 1, 1), std::nullopt, std::nullopt});
    if (!rs.eof()) {
        for (const char* field : {"ChangedAt", "Terminal", "Who", "What", "RecordId", "EmployeeNo",
                                  "ValuesBefore", "ValuesAfter"})
            rows.newest.append(rs.text(QString::fromLatin1(field)));
    }
    return rows;
}

QString record(int id, const QString& number, const QString& day, const QString& in, const QString& out) {
    return QStringLiteral(R"({"EmployeeNo":"%1","LogDate":"%2","RecordId":%3,"TimeIn":"%4","TimeOut":%5})")
        .arg(number, day)
        .arg(id)
        .arg(in, out.isEmpty() ? QStringLiteral("null") : QLatin1Char('"') + out + QLatin1Char('"'));
}

struct Case {
    const char* name;
    std::function<void(AttendanceDatabase&)> setUp;
    std::function<void(AttendanceDatabase&)> change;
    QString what;
    QString who;
    QString recordId;
    QString number;
    QString before;
    QString after;
};

const QString kAnn =
    QStringLiteral(R"({"Department":"Dept","EmployeeNo":"07","IsAdmin":0,"Name":"Ann","Position":"Pos"})");

PersonFields ann() {
    return {QStringLiteral("07"),   QStringLiteral("secret"), QStringLiteral("Ann"),
            QStringLiteral("Dept"), QStringLiteral("Pos"),    false};
}

void annWithRecords(AttendanceDatabase& db) {
    db.insertPerson(ann());
    db.punchIn(QStringLiteral("07"), kDay.addDays(-1), QStringLiteral("10:00 PM")); // record 1, open
    db.punchIn(QStringLiteral("07"), kDay, QStringLiteral("08:00 AM"));             // record 2, open
}

const std::vector<Case>& cases() {
    static const std::vector<Case> all = {
        {"punch in", [](AttendanceDatabase& db) { db.insertPerson(ann()); },
         [](AttendanceDatabase& db) {
             db.punch(PunchKind::In, QStringLiteral("07"), kDay, QStringLiteral("08:00 AM"));
         },
         AuditWhat::PunchIn, QStringLiteral("07"), QStringLiteral("1"), QStringLiteral("07"), QString(),
         record(1, "07", "2026-12-09", "08:00 AM", "")},
        // One punch out closes both open records: one row, with both.
        {"punch out", annWithRecords,
         [](AttendanceDatabase& db) {
             db.punch(PunchKind::Out, QStringLiteral("07"), kDay, QStringLiteral("05:00 PM"));
         },
         AuditWhat::PunchOut, QStringLiteral("07"), QStringLiteral("1"), QStringLiteral("07"),
         QLatin1Char('[') + record(1, "07", "2026-12-08", "10:00 PM", "") + QLatin1Char(',') +
             record(2, "07", "2026-12-09", "08:00 AM", "") + QLatin1Char(']'),
         QLatin1Char('[') + record(1, "07", "2026-12-09", "10:00 PM", "05:00 PM") + QLatin1Char(',') +
             record(2, "07", "2026-12-09", "08:00 AM", "05:00 PM") + QLatin1Char(']')},
        {"record corrected", annWithRecords,
         [](AttendanceDatabase& db) {
             db.correctRecord(1, {QStringLiteral("07"), kDay.addDays(-1), QStringLiteral("09:00 PM"),
                                  QStringLiteral("06:00 AM")});
         },
         AuditWhat::RecordCorrected, QStringLiteral("admin"), QStringLiteral("1"), QStringLiteral("07"),
         record(1, "07", "2026-12-08", "10:00 PM", ""),
         record(1, "07", "2026-12-08", "09:00 PM", "06:00 AM")},
        {"record added", [](AttendanceDatabase& db) { db.insertPerson(ann()); },
         [](AttendanceDatabase& db) {
             db.addRecord(
                 {QStringLiteral("07"), kDay, QStringLiteral("08:00 AM"), QStringLiteral("04:00 PM")});
         },
         AuditWhat::RecordAdded, QStringLiteral("admin"), QStringLiteral("1"), QStringLiteral("07"),
         QString(), record(1, "07", "2026-12-09", "08:00 AM", "04:00 PM")},
        {"record deleted", annWithRecords,
         [](AttendanceDatabase& db) {
             db.deleteRecord(QStringLiteral("07"), kDay, QStringLiteral("08:00 am"));
         },
         AuditWhat::RecordDeleted, QStringLiteral("admin"), QStringLiteral("2"), QStringLiteral("07"),
         record(2, "07", "2026-12-09", "08:00 AM", ""), QString()},
        // The password never reaches the audit trail.
        {"person added", [](AttendanceDatabase&) {}, [](AttendanceDatabase& db) { db.insertPerson(ann()); },
         AuditWhat::PersonAdded, QStringLiteral("admin"), QString(), QStringLiteral("07"), QString(), kAnn},
        {"person updated", [](AttendanceDatabase& db) { db.insertPerson(ann()); },
         [](AttendanceDatabase& db) {
             PersonFields changed = ann();
             changed.number = QStringLiteral("08");
             changed.isAdmin = true;
             db.updatePerson(QStringLiteral("07"), changed);
         },
         AuditWhat::PersonUpdated, QStringLiteral("admin"), QString(), QStringLiteral("07"), kAnn,
         QString(kAnn)
             .replace(QStringLiteral("\"07\""), QStringLiteral("\"08\""))
             .replace(QStringLiteral("\"IsAdmin\":0"), QStringLiteral("\"IsAdmin\":1"))},
        {"person deleted", annWithRecords,
         [](AttendanceDatabase& db) { db.deletePersonWithRecords(QStringLiteral("07")); },
         AuditWhat::PersonDeleted, QStringLiteral("admin"), QString(), QStringLiteral("07"),
         QStringLiteral(R"({"person":%1,"records":[%2,%3]})")
             .arg(kAnn, record(1, "07", "2026-12-08", "10:00 PM", ""),
                  record(2, "07", "2026-12-09", "08:00 AM", "")),
         QString()},
        // Each rule changed: its value before and after.
        {"pay rules changed",
         [](AttendanceDatabase& db) {
             db.changePayRules({{QStringLiteral("RoundingMinutes"), QStringLiteral("15")},
                                {QStringLiteral("Breaks"), QStringLiteral("6:00=30")}});
         },
         [](AttendanceDatabase& db) {
             db.changePayRules({{QStringLiteral("RoundingMinutes"), QStringLiteral("5")},
                                {QStringLiteral("Breaks"), QStringLiteral("6:00=30")}});
         },
         AuditWhat::PayRulesChanged, QStringLiteral("admin"), QString(), QString(),
         QStringLiteral(R"({"RoundingMinutes":"15"})"), QStringLiteral(R"({"RoundingMinutes":"5"})")},
    };
    return all;
}

} // namespace

// Every test runs on each engine: they must agree.
class AuditTest : public EngineTestCase {
    Q_OBJECT

private slots:

    void everyChangeLeavesOneRow_data() {
        QTest::addColumn<int>("index");
        for (size_t i = 0; i < cases().size(); ++i)
            QTest::newRow(cases()[i].name) << static_cast<int>(i);
    }

    void everyChangeLeavesOneRow() {
        QFETCH(int, index);
        const Case& c = cases()[static_cast<size_t>(index)];
        AttendanceDatabase& db = *m_db;
        c.setUp(db);
        const int before = auditRows(*m_data, db).count;
        db.setActor(QStringLiteral("admin"));
        c.change(db);
        const AuditRows rows = auditRows(*m_data, db);
        QCOMPARE(rows.count, before + 1);
        QVERIFY2(QRegularExpression(QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ$)"))
                     .match(rows.newest.at(0))
                     .hasMatch(),
                 qPrintable(rows.newest.at(0)));
        QVERIFY(!rows.newest.at(1).isEmpty()); // the terminal
        QCOMPARE(rows.newest.mid(2), (QStringList{c.who, c.what, c.recordId, c.number, c.before, c.after}));
    }

    // What an administrator corrects or adds is what the hours count: the missed punch out closed
    // (an overnight shift), a forgotten day added, a record moved out of the period.
    void correctionsCountInTheHours() {
        AttendanceDatabase& db = *m_db;
        annWithRecords(db);
        const auto totals = [&] {
            return Hours::totals(Hours::records(db.loginsBetween(kDay.addDays(-1), kDay.addDays(1))),
                                 Hours::Rules{})
                .totals;
        };
        const auto at = [](const Hours::PersonTotals& t) {
            return QList<long long>{t.minutes, t.daysWorked, t.openRecords, t.overnightRecords};
        };
        QCOMPARE(at(totals()), (QList<long long>{0, 0, 2, 0}));
        db.setActor(QStringLiteral("admin"));
        db.correctRecord(1, {QStringLiteral("07"), kDay.addDays(-1), QStringLiteral("10:00 PM"),
                             QStringLiteral("06:00 AM")});
        QCOMPARE(at(totals()), (QList<long long>{8 * 60, 1, 1, 1}));
        db.addRecord(
            {QStringLiteral("07"), kDay.addDays(1), QStringLiteral("09:00 AM"), QStringLiteral("05:30 PM")});
        QCOMPARE(at(totals()), (QList<long long>{16 * 60 + 30, 2, 1, 1}));
        db.correctRecord(2, {QStringLiteral("07"), kDay.addDays(5), QStringLiteral("08:00 AM"),
                             QStringLiteral("04:00 PM")});
        QCOMPARE(at(totals()), (QList<long long>{16 * 60 + 30, 2, 0, 1}));
        db.correctRecord(
            2, {QStringLiteral("07"), kDay, QStringLiteral("08:00 AM"), QStringLiteral("04:00 PM")});
        QCOMPARE(at(totals()), (QList<long long>{24 * 60 + 30, 3, 0, 1}));
    }

    // A change that finds nothing to change leaves no row; a refused one neither.
    void noChangeNoRow() {
        AttendanceDatabase& db = *m_db;
        db.insertPerson(ann());
        db.punch(PunchKind::In, QStringLiteral("07"), kDay, QStringLiteral("08:00 AM"));
        db.punch(PunchKind::Out, QStringLiteral("07"), kDay, QStringLiteral("05:00 PM"));
        db.changePayRules({{QStringLiteral("LongRecordHours"), QStringLiteral("12")}});
        const int rows = auditRows(*m_data, db).count;
        QCOMPARE(db.punch(PunchKind::Out, QStringLiteral("07"), kDay, QStringLiteral("06:00 PM")),
                 PunchOutcome::Written);
        db.deleteRecord(QStringLiteral("07"), kDay, QStringLiteral("09:00 AM"));
        db.updatePerson(QStringLiteral("99"), ann());
        db.changePayRules({});
        db.adoptPayRules({{QStringLiteral("LongRecordHours"), QStringLiteral("12")}});
        db.adoptPayRules({{QStringLiteral("LongRecordHours"), QStringLiteral("14")}});
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, db.insertPerson(ann()));
        QVERIFY_THROWS_EXCEPTION(
            std::runtime_error,
            db.correctRecord(42, {QStringLiteral("07"), kDay, QStringLiteral("1:00 PM"), {}}));
        QCOMPARE(auditRows(*m_data, db).count, rows);
    }

    void auditCannotBeRewritten_data() {
        QTest::addColumn<QString>("sqlite");
        QTest::addColumn<QString>("postgres");
        QTest::newRow("update") << QStringLiteral("UPDATE tblAudit SET Who = 'nobody'")
                                << QStringLiteral(R"(UPDATE "tblAudit" SET "Who" = 'nobody')");
        QTest::newRow("delete") << QStringLiteral("DELETE FROM tblAudit")
                                << QStringLiteral(R"(DELETE FROM "tblAudit")");
        QTest::newRow("truncate") << QStringLiteral("DELETE FROM tblAudit WHERE AuditId > 0")
                                  << QStringLiteral(R"(TRUNCATE "tblAudit")");
    }

    // Not even the owner of the database rewrites the trail.
    void auditCannotBeRewritten() {
        QFETCH(QString, sqlite);
        QFETCH(QString, postgres);
        m_db->insertPerson(ann());
        const QStringList before = m_data->rows("tblAudit");
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 m_data->exec(sqlite.toStdString(), postgres.toStdString()));
        QCOMPARE(m_data->rows("tblAudit"), before);
    }

    // The terminals' role of the README's set-up punches, corrects and reads the trail, but the
    // server refuses it an UPDATE or DELETE of the trail for lack of the right, trigger or not.
    void terminalRoleOnlyAddsToTheAudit() {
        if (!m_data->isServer())
            QSKIP("roles belong to the server");
        m_data->exec({}, R"(DO $$BEGIN
                IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'tallyclock_terminal') THEN
                    CREATE ROLE tallyclock_terminal LOGIN;
                END IF;
            END$$;
            GRANT USAGE ON SCHEMA public TO tallyclock_terminal; -- the test's schema is made anew
            GRANT SELECT ON "tblSchemaVersion" TO tallyclock_terminal;
            GRANT SELECT, INSERT, UPDATE, DELETE ON "tblEmployees", "tblLogins", "tblLoginFailures"
                TO tallyclock_terminal;
            GRANT SELECT, INSERT ON "tblAudit" TO tallyclock_terminal;)");
        QUrl url(m_data->url());
        QUrlQuery query(url);
        query.removeAllQueryItems(QStringLiteral("user"));
        query.addQueryItem(QStringLiteral("user"), QStringLiteral("tallyclock_terminal"));
        url.setQuery(query);
        AttendanceDatabase terminal;
        terminal.openServer(url.toString());
        terminal.insertPerson(ann());
        // A wrong password is counted and a right one forgets the count, as at the clock.
        terminal.recordLoginFailure(QStringLiteral("07"), QDateTime(kDay, QTime(8, 0)));
        QCOMPARE(terminal.loginFailures(QStringLiteral("07")).failures, 1);
        terminal.clearLoginFailures(QStringLiteral("07"));
        terminal.punch(PunchKind::In, QStringLiteral("07"), kDay, QStringLiteral("08:00 AM"));
        terminal.setActor(QStringLiteral("A1"));
        terminal.correctRecord(
            1, {QStringLiteral("07"), kDay, QStringLiteral("07:00 AM"), QStringLiteral("03:00 PM")});
        QCOMPARE(m_data->count("tblAudit"), 3);
        for (const char* change : {R"(UPDATE "tblAudit" SET "Who" = 'x')", R"(DELETE FROM "tblAudit")"}) {
            const std::string sql = std::string(R"(SET ROLE tallyclock_terminal; )") + change;
            try {
                m_data->exec({}, sql);
                QFAIL(change);
            } catch (const std::runtime_error& e) {
                QVERIFY2(QString::fromUtf8(e.what()).contains(QStringLiteral("permission denied")), e.what());
            }
        }
        QCOMPARE(m_data->count("tblAudit"), 3);
    }

    // A file of the first program keeps its records, each with its old rowid as its identity.
    void upgradeKeepsRecordsAndTheirOrder() {
        if (m_data->isServer())
            QSKIP("the first program's files are SQLite files");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("first.mdb"));
        TestSupport::makeFirstProgramFile(path);
        {
            SQLite::Database raw(path.toStdString(), SQLite::OPEN_READWRITE);
            raw.exec("INSERT INTO tblLogins (EmployeeNo, LogDate, TimeIn, TimeOut) VALUES "
                     "('7', '2026-12-01', '08:00 AM', '04:00 PM'), ('7', '2026-12-02', '08:00 AM', NULL), "
                     "('8', '2026-12-02', '09:00 AM', NULL)");
            raw.exec("DELETE FROM tblLogins WHERE rowid = 1");
            QCOMPARE(raw.execAndGet("PRAGMA user_version").getInt(), 0);
        }
        AttendanceDatabase db;
        db.open(path);
        RecordSet rs = db.allLogins();
        QStringList ids;
        for (; !rs.eof(); rs.moveNext())
            ids << rs.text(QStringLiteral("RecordId")) + QLatin1Char('/') +
                       rs.text(QStringLiteral("EmployeeNo"));
        QCOMPARE(ids, (QStringList{"2/7", "3/8"}));
        // New records never take an identity an old one had.
        QCOMPARE(db.addRecord({QStringLiteral("7"), kDay, QStringLiteral("08:00 AM"), {}}), qint64(4));
        QCOMPARE(db.latestRecordOfPerson(QStringLiteral("7")).text(QStringLiteral("RecordId")),
                 QStringLiteral("4"));
    }

    void auditFilters_data() {
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("what");
        QTest::addColumn<QStringList>("found");
        const QDate today = QDateTime::currentDateTimeUtc().date();
        QTest::newRow("all, newest first")
            << today << today << QString() << QString()
            << QStringList{"punch in", "punch in", "person added", "person added"};
        QTest::newRow("person, case ignored")
            << today << today << QStringLiteral("ab") << QString() << QStringList{"punch in", "person added"};
        QTest::newRow("by the actor too") << today << today << QStringLiteral("boss") << QString()
                                          << QStringList{"person added", "person added"};
        QTest::newRow("kind") << today << today << QString() << QStringLiteral("person added")
                              << QStringList{"person added", "person added"};
        QTest::newRow("other days") << today.addDays(-3) << today.addDays(-1) << QString() << QString()
                                    << QStringList{};
    }

    void auditFilters() {
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(QString, number);
        QFETCH(QString, what);
        AttendanceDatabase& db = *m_db;
        db.setActor(QStringLiteral("BOSS"));
        db.insertPerson({QStringLiteral("AB"), QStringLiteral("x"), QStringLiteral("Ab"), {}, {}, false});
        db.insertPerson({QStringLiteral("CD"), QStringLiteral("x"), QStringLiteral("Cd"), {}, {}, false});
        db.punch(PunchKind::In, QStringLiteral("AB"), kDay, QStringLiteral("08:00 AM"));
        db.punch(PunchKind::In, QStringLiteral("CD"), kDay, QStringLiteral("08:00 AM"));
        AuditFilter filter{from, to, std::nullopt, std::nullopt};
        if (!number.isEmpty())
            filter.number = number;
        if (!what.isEmpty())
            filter.what = what;
        RecordSet rs = db.auditEntries(filter);
        QStringList found;
        for (; !rs.eof(); rs.moveNext())
            found << rs.text(QStringLiteral("What"));
        QTEST(found, "found");
    }
};

TALLYCLOCK_TEST(AuditTest)
#include "AuditTest.moc"
