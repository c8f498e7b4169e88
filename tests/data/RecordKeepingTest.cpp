#include "TestDatabase.h"
#include "common/TestSupport.h"
#include "data/AttendanceDatabase.h"
#include "data/SchemaUpgrades.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <QUrl>
#include <QUrlQuery>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <functional>
#include <map>

namespace {

const QDate kDay(2026, 12, 9);

PersonFields person(const QString& number, bool isAdmin = false) {
    return {number, QStringLiteral("secret"), QStringLiteral("Name ") + number, {}, {}, isAdmin};
}

// The newest audit row as the audit window reads it.
QStringList newestAudit(AttendanceDatabase& db) {
    const RecordSet rs = db.auditEntries({QDate(2000, 1, 1), QDate(2100, 1, 1), std::nullopt, std::nullopt});
    QStringList fields;
    if (!rs.eof()) {
        for (const char* field : {"Who", "What", "RecordId", "ServerRole", "Claimed"})
            fields << rs.text(QString::fromLatin1(field));
    }
    return fields;
}

// The test server's address with another login role.
QString asRole(const QString& url, const QString& role) {
    QUrl address(url);
    QUrlQuery query(address);
    query.removeAllQueryItems(QStringLiteral("user"));
    query.addQueryItem(QStringLiteral("user"), role);
    address.setQuery(query);
    return address.toString();
}

// The roles of the README's set-up, with the rights its script gives them on this database.
void setUpRoles(const TestDatabase& data) {
    data.exec({}, R"(DO $$BEGIN
            IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'tallyclock_terminal') THEN
                CREATE ROLE tallyclock_terminal LOGIN;
            END IF;
            IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'tallyclock_office') THEN
                CREATE ROLE tallyclock_office LOGIN;
            END IF;
        END$$)");
    QFile script(QStringLiteral(TALLYCLOCK_ROLES_SQL));
    QVERIFY(script.open(QIODevice::ReadOnly));
    data.exec({}, script.readAll().toStdString());
}

} // namespace

// Who may change the record, and that the trail keeps what happened; each test on both engines.
class RecordKeepingTest : public EngineTestCase {
    Q_OBJECT

private slots:
    // A deleted record's identity is never given to the next one: the trail would name two records
    // by one number, and a correction could land on the wrong person's record.
    void identityNeverReused() {
        AttendanceDatabase& db = *m_db;
        db.insertPerson(person(QStringLiteral("1")));
        const qint64 first =
            db.addRecord({QStringLiteral("1"), kDay, QStringLiteral("08:00 AM"), QStringLiteral("09:00 AM")});
        const qint64 newest = db.addRecord({QStringLiteral("1"), kDay, QStringLiteral("09:00 AM"), {}});
        db.deleteRecord(QStringLiteral("1"), kDay, QStringLiteral("09:00 AM"));
        db.punch(PunchKind::In, QStringLiteral("1"), kDay.addDays(1), QStringLiteral("08:00 AM"));
        const qint64 punched =
            db.latestRecordOfPerson(QStringLiteral("1")).value(QStringLiteral("RecordId")).toLongLong();
        QCOMPARE(first + 1, newest);
        QVERIFY2(punched > newest, qPrintable(QString::number(punched)));
    }

    void upgradeFromEveryVersion_data() {
        QTest::addColumn<int>("version");
        QTest::addColumn<qint64>("nextId");
        // Before version 2 nothing named a deleted record; from it on the trail does.
        QTest::newRow("version 1") << 1 << qint64(3);
        QTest::newRow("version 2") << 2 << qint64(4);
        QTest::newRow("version 3") << 3 << qint64(4);
    }

    // A database of every earlier version keeps its records and their identities; the newest one's,
    // deleted before the upgrade and named by the trail, is not given again; the trail then refuses a
    // row that takes another's place, and names who changed it.
    void upgradeFromEveryVersion() {
        QFETCH(int, version);
        QFETCH(qint64, nextId);
        m_db->close();
        m_data->makeVersion(version);
        m_data->exec(
            "INSERT INTO tblLogins (EmployeeNo, LogDate, TimeIn) VALUES ('1', '2026-12-07', '08:00 AM'), "
            "('2', '2026-12-08', '08:00 AM'), ('1', '2026-12-09', '08:00 AM'); "
            "DELETE FROM tblLogins WHERE rowid = 3",
            R"(INSERT INTO "tblLogins" ("EmployeeNo", "LogDate", "TimeIn") VALUES ('1', '2026-12-07', '08:00 AM'),
                        ('2', '2026-12-08', '08:00 AM'), ('1', '2026-12-09', '08:00 AM');
                        DELETE FROM "tblLogins" WHERE "RecordId" = 3)");
        if (version >= 2)
            m_data->exec(
                R"(INSERT INTO tblAudit (ChangedAt, Terminal, Who, What, RecordId, EmployeeNo, ValuesBefore,
                            ValuesAfter) VALUES ('2026-12-09T08:00:00Z', 't', 'A1', 'person deleted, with its records',
                            NULL, '1', '{"person":null,"records":[{"RecordId":3}]}', ''))",
                R"(INSERT INTO "tblAudit" ("ChangedAt", "Terminal", "Who", "What", "RecordId", "EmployeeNo",
                            "ValuesBefore", "ValuesAfter") VALUES ('2026-12-09T08:00:00Z', 't', 'A1',
                            'person deleted, with its records', NULL, '1', '{"person":null,"records":[{"RecordId":3}]}', ''))");
        m_data->open(*m_db);
        RecordSet rs = m_db->allLogins();
        QStringList kept;
        for (; !rs.eof(); rs.moveNext())
            kept << rs.text(QStringLiteral("RecordId")) + QLatin1Char('/') +
                        rs.text(QStringLiteral("EmployeeNo"));
        QCOMPARE(kept, (QStringList{"1/1", "2/2"}));
        m_db->setActor(QStringLiteral("A1"));
        QCOMPARE(m_db->addRecord({QStringLiteral("2"), kDay, QStringLiteral("09:00 AM"), {}}),
                 m_data->isServer() ? qint64(4) : nextId);
        QCOMPARE(
            newestAudit(*m_db).mid(0, 3),
            (QStringList{"A1", AuditWhat::RecordAdded, QString::number(m_data->isServer() ? 4 : nextId)}));
        QVERIFY_THROWS_EXCEPTION(
            std::runtime_error,
            m_data->exec("INSERT OR REPLACE INTO tblAudit (AuditId, ChangedAt, Terminal, Who, What) "
                         "SELECT max(AuditId), 'x', 'x', 'x', 'x' FROM tblAudit",
                         R"(INSERT INTO "tblAudit" ("AuditId", "ChangedAt", "Terminal", "Who", "What")
                            OVERRIDING SYSTEM VALUE SELECT max("AuditId"), 'x', 'x', 'x', 'x' FROM "tblAudit")"));
    }

    void trailRefusesTakingARowsPlace_data() {
        QTest::addColumn<QString>("sqlite");
        QTest::addColumn<QString>("postgres");
        QTest::newRow("insert or replace")
            << QStringLiteral("INSERT OR REPLACE INTO tblAudit (AuditId, ChangedAt, Terminal, Who, What) "
                              "VALUES (1, 'x', 'x', 'x', 'x')")
            << QStringLiteral(R"(INSERT INTO "tblAudit" ("AuditId", "ChangedAt", "Terminal", "Who", "What")
                                 OVERRIDING SYSTEM VALUE VALUES (1, 'x', 'x', 'x', 'x'))");
        QTest::newRow("replace")
            << QStringLiteral("REPLACE INTO tblAudit (AuditId, ChangedAt, Terminal, Who, What) "
                              "VALUES (1, 'x', 'x', 'x', 'x')")
            << QStringLiteral(R"(INSERT INTO "tblAudit" ("AuditId", "ChangedAt", "Terminal", "Who", "What")
                                 OVERRIDING SYSTEM VALUE VALUES (1, 'x', 'x', 'x', 'x')
                                 ON CONFLICT ("AuditId") DO UPDATE SET "Who" = 'x')");
        QTest::newRow("upsert")
            << QStringLiteral("INSERT INTO tblAudit (AuditId, ChangedAt, Terminal, Who, What) "
                              "VALUES (1, 'x', 'x', 'x', 'x') ON CONFLICT (AuditId) DO UPDATE SET Who = 'x'")
            << QStringLiteral(R"(INSERT INTO "tblAudit" ("AuditId", "ChangedAt", "Terminal", "Who", "What")
                                 OVERRIDING SYSTEM VALUE VALUES (1, 'x', 'x', 'x', 'x')
                                 ON CONFLICT ("AuditId") DO NOTHING)");
    }

    // Not even the owner puts another row in the place of one the trail holds.
    void trailRefusesTakingARowsPlace() {
        QFETCH(QString, sqlite);
        QFETCH(QString, postgres);
        m_db->insertPerson(person(QStringLiteral("1")));
        const QStringList before = m_data->rows("tblAudit");
        QCOMPARE(before.size(), 1);
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 m_data->exec(sqlite.toStdString(), postgres.toStdString()));
        QCOMPARE(m_data->rows("tblAudit"), before);
    }

    void triggersPutBack_data() {
        QTest::addColumn<QString>("tampering");
        QTest::addColumn<QString>("found");
        QTest::newRow("one dropped")
            << QStringLiteral("DROP TRIGGER trgAuditNotDeleted")
            << QStringLiteral(R"({"altered":[],"missing":["trgAuditNotDeleted"],"removed":[]})");
        QTest::newRow("all dropped")
            << QStringLiteral("DROP TRIGGER trgAuditKept; DROP TRIGGER trgAuditNotDeleted; "
                              "DROP TRIGGER trgAuditNotReplaced")
            << QStringLiteral(
                   R"({"altered":[],"missing":["trgAuditKept","trgAuditNotDeleted","trgAuditNotReplaced"],"removed":[]})");
        QTest::newRow("one made harmless")
            << QStringLiteral(
                   "DROP TRIGGER trgAuditKept; CREATE TRIGGER trgAuditKept BEFORE UPDATE ON tblAudit "
                   "BEGIN SELECT 1; END")
            << QStringLiteral(R"({"altered":["trgAuditKept"],"missing":[],"removed":[]})");
        QTest::newRow("one that drops new rows")
            << QStringLiteral(
                   "CREATE TRIGGER quiet BEFORE INSERT ON tblAudit BEGIN SELECT RAISE(IGNORE); END")
            << QStringLiteral(R"({"altered":[],"missing":[],"removed":["quiet"]})");
    }

    // Whoever may write the file may drop the trail's triggers; the program puts them back at open
    // and says in the trail that it did.
    void triggersPutBack() {
        if (m_data->isServer())
            QSKIP("the server's triggers belong to the schema's owner");
        QFETCH(QString, tampering);
        QFETCH(QString, found);
        m_db->insertPerson(person(QStringLiteral("1")));
        m_db->close();
        m_data->exec(tampering.toStdString(), {});
        m_data->open(*m_db);
        RecordSet rs = m_db->auditEntries({QDate(2000, 1, 1), QDate(2100, 1, 1), std::nullopt, std::nullopt});
        QCOMPARE(rs.text(QStringLiteral("What")), AuditWhat::TriggersRestored);
        QCOMPARE(rs.text(QStringLiteral("ValuesBefore")), found);
        QCOMPARE(rs.rowCount(), 2);
        const QStringList trail = m_data->rows("tblAudit");
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, m_data->exec("DELETE FROM tblAudit", {}));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, m_data->exec("UPDATE tblAudit SET Who = 'x'", {}));
        m_db->insertPerson(person(QStringLiteral("2")));
        QCOMPARE(m_data->count("tblAudit"), static_cast<int>(trail.size()) + 1);
        // Opened again, nothing is missing: no further row.
        m_data->open(*m_db);
        QCOMPARE(m_data->count("tblAudit"), static_cast<int>(trail.size()) + 1);
    }

    // On the server, the server writes the trail: a change made past the program shows with the role
    // that made it and no program's word for who acted; one made by the program with both.
    void serverWritesTheTrail() {
        if (!m_data->isServer())
            QSKIP("the file's trail is written by the program");
        AttendanceDatabase& db = *m_db;
        db.setActor(QStringLiteral("A1"));
        db.insertPerson(person(QStringLiteral("7")));
        db.punch(PunchKind::In, QStringLiteral("7"), kDay, QStringLiteral("08:00 AM"));
        QCOMPARE(newestAudit(db), (QStringList{"7", AuditWhat::PunchIn, "1", "postgres", "1"}));
        m_data->exec({}, R"(UPDATE "tblLogins" SET "TimeOut" = '11:00 PM', "Corrected" = 1)");
        QCOMPARE(newestAudit(db), (QStringList{"", AuditWhat::RecordCorrected, "1", "postgres", "0"}));
        m_data->exec({}, R"(UPDATE "tblEmployees" SET "Password" = 'x', "IsAdmin" = 1)");
        const RecordSet rs =
            db.auditEntries({QDate(2000, 1, 1), QDate(2100, 1, 1), std::nullopt, std::nullopt});
        QCOMPARE(rs.text(QStringLiteral("What")), AuditWhat::PersonUpdated);
        QVERIFY(!rs.text(QStringLiteral("ValuesAfter")).contains(QStringLiteral("Password")));
        QCOMPARE(QJsonDocument::fromJson(rs.text(QStringLiteral("ValuesAfter")).toUtf8())
                     .object()
                     .value(QStringLiteral("IsAdmin"))
                     .toInt(),
                 1);
        QCOMPARE(rs.text(QStringLiteral("ClientAddress")), QStringLiteral("local"));
    }

    void rolesHaveTheirRights_data() {
        QTest::addColumn<QString>("role");
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("allowed");
        const QStringList roles = {QStringLiteral("tallyclock_terminal"),
                                   QStringLiteral("tallyclock_office")};
        for (const QString& role : roles) {
            const bool office = role == roles.last();
            for (const auto& [change, allowed] : std::vector<std::pair<const char*, bool>>{
                     {"punch", true},
                     {"count a wrong password", true},
                     {"close an open record", true},
                     {"make an administrator", office},
                     {"correct a record", office},
                     {"delete a record", office},
                     {"add a person", office},
                     {"psql: make an administrator", office},
                     {"psql: change a closed record's times", office},
                     {"psql: give a record a time out at once", office},
                     {"psql: write the trail", false},
                     {"deliver a punch twice", true},
                     {"deliver a refused punch, kept to correct", true},
                     {"deliver a punch taken with the clock off", true},
                     {"note a terminal's clock off", true},
                     {"psql: mark a record to correct", false},
                     {"psql: keep a punch never delivered", false},
                     {"psql: clear a mark to correct", office},
                     {"psql: forget a receipt", false},
                 })
                QTest::addRow("%s, %s", qPrintable(role), change)
                    << role << QString::fromLatin1(change) << allowed;
        }
    }

    // The README's roles: the terminals punch and nothing else, the office does the rest, and only
    // the owner writes the trail. The program says so plainly instead of quoting the server.
    void rolesHaveTheirRights() {
        if (!m_data->isServer())
            QSKIP("roles belong to the server");
        QFETCH(QString, role);
        QFETCH(QString, change);
        QFETCH(bool, allowed);
        m_db->insertPerson(person(QStringLiteral("7")));
        m_db->addRecord(
            {QStringLiteral("7"), kDay, QStringLiteral("07:00 AM"), QStringLiteral("03:00 PM")}); // 1
        m_db->addRecord({QStringLiteral("7"), kDay, QStringLiteral("04:00 PM"), {}});             // 2
        setUpRoles(*m_data);
        const QString url = asRole(m_data->url(), role);
        AttendanceDatabase as;
        as.openServer(url);
        const auto psql = [&](const char* sql) { TestDatabase::connectTo(url)->exec({}, sql); };
        const std::map<QString, std::function<void()>> changes = {
            {"punch",
             [&] {
                 as.punch(PunchKind::Out, QStringLiteral("7"), kDay, QStringLiteral("05:00 PM"));
                 as.punch(PunchKind::In, QStringLiteral("7"), kDay.addDays(1), QStringLiteral("08:00 AM"));
             }},
            {"count a wrong password",
             [&] {
                 as.recordLoginFailure(QStringLiteral("7"), QDateTime::currentDateTimeUtc());
                 as.clearLoginFailures(QStringLiteral("7"));
             }},
            {"close an open record",
             [&] { as.punchOut(QStringLiteral("7"), kDay, QStringLiteral("05:00 PM")); }},
            {"make an administrator",
             [&] { as.updatePerson(QStringLiteral("7"), person(QStringLiteral("7"), true)); }},
            {"correct a record",
             [&] {
                 as.correctRecord(
                     1, {QStringLiteral("7"), kDay, QStringLiteral("06:00 AM"), QStringLiteral("11:00 PM")});
             }},
            {"delete a record",
             [&] { as.deleteRecord(QStringLiteral("7"), kDay, QStringLiteral("07:00 AM")); }},
            {"add a person", [&] { as.insertPerson(person(QStringLiteral("8"))); }},
            {"psql: make an administrator", [&] { psql(R"(UPDATE "tblEmployees" SET "IsAdmin" = 1)"); }},
            {"psql: change a closed record's times",
             [&] {
                 psql(
                     R"(UPDATE "tblLogins" SET "TimeOut" = '11:00 PM', "LogDate" = "LogDate" + 1 WHERE "RecordId" = 1)");
             }},
            {"psql: give a record a time out at once",
             [&] {
                 psql(
                     R"(INSERT INTO "tblLogins" ("EmployeeNo", "LogDate", "TimeIn", "TimeOut") VALUES ('7', '2026-12-10', '08:00 AM', '11:00 PM'))");
             }},
            {"psql: write the trail",
             [&] {
                 psql(
                     R"(INSERT INTO "tblAudit" ("ChangedAt", "Terminal", "Who", "What") VALUES ('x', 'x', 'x', 'x'))");
             }},
            // The journal's deliveries: what they store is checked beside the trail's newest row.
            {"deliver a punch twice",
             [&] {
                 const DeliveredPunch out{
                     QStringLiteral("T"),        1, PunchKind::Out, QStringLiteral("7"), kDay,
                     QStringLiteral("05:00 PM"), {}};
                 QCOMPARE(as.deliver(out, true), DeliveryOutcome::Stored);
                 QCOMPARE(as.deliver(out, true), DeliveryOutcome::AlreadyStored);
                 QCOMPARE(newestAudit(*m_db).mid(1, 2), (QStringList{AuditWhat::PunchOut, "2"}));
             }},
            {"deliver a refused punch, kept to correct",
             [&] {
                 QCOMPARE(as.deliver({QStringLiteral("T"),
                                      1,
                                      PunchKind::In,
                                      QStringLiteral("7"),
                                      kDay,
                                      QStringLiteral("05:00 PM"),
                                      {}},
                                     true),
                          DeliveryOutcome::StoredToCorrect);
                 QCOMPARE(newestAudit(*m_db).mid(1, 2), (QStringList{AuditWhat::PunchToCorrect, "3"}));
             }},
            {"deliver a punch taken with the clock off",
             [&] {
                 QCOMPARE(as.deliver({QStringLiteral("T"), 1, PunchKind::Out, QStringLiteral("7"), kDay,
                                      QStringLiteral("05:00 PM"), QStringLiteral("clock off")},
                                     true),
                          DeliveryOutcome::StoredToCorrect);
                 QCOMPARE(as.recordById(2).text(QStringLiteral("ToCorrect")), QStringLiteral("clock off"));
                 QCOMPARE(newestAudit(*m_db).mid(1, 2), (QStringList{AuditWhat::PunchToCorrect, "2"}));
             }},
            {"note a terminal's clock off",
             [&] {
                 as.recordClockOff(QStringLiteral("T"), 600);
                 QCOMPARE(newestAudit(*m_db).at(1), AuditWhat::ClockOff);
             }},
            {"psql: mark a record to correct",
             [&] { psql(R"(SELECT "tallyclock_mark_to_correct"('T', 1, 1, 'x'))"); }},
            {"psql: keep a punch never delivered",
             [&] {
                 psql(
                     R"(SELECT "tallyclock_keep_refused"('T', 9, '7', '2026-12-09', '08:00 AM', NULL, 'x'))");
             }},
            {"psql: clear a mark to correct", [&] { psql(R"(UPDATE "tblLogins" SET "ToCorrect" = NULL)"); }},
            {"psql: forget a receipt", [&] { psql(R"(DELETE FROM "tblDeliveries")"); }},
        };
        const QStringList before =
            m_data->rows("tblLogins") + m_data->rows("tblEmployees") + m_data->rows("tblAudit");
        const QString outcome = failureOf(changes.at(change));
        if (allowed) {
            QCOMPARE(outcome, QStringLiteral("<no failure>"));
            return;
        }
        if (change.startsWith(QLatin1String("psql")))
            QVERIFY2(outcome.contains(QStringLiteral("permission denied")), qPrintable(outcome));
        else
            QCOMPARE(outcome,
                     QStringLiteral("This terminal may only punch; manage persons and records at the office "
                                    "computer."));
        QCOMPARE(m_data->rows("tblLogins") + m_data->rows("tblEmployees") + m_data->rows("tblAudit"), before);
    }
};

TALLYCLOCK_TEST(RecordKeepingTest)
#include "RecordKeepingTest.moc"
