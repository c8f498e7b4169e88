#include "common/TestSupport.h"
#include "data/AttendanceDatabase.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <functional>

namespace {

const QDate kDay(2026, 12, 9);

// The newest audit row and the number of rows, read through a connection of their own.
struct AuditRows {
    int count = 0;
    QStringList newest; // ChangedAt, Terminal, Who, What, RecordId, EmployeeNo, ValuesBefore, ValuesAfter
};

AuditRows auditRows(const QString& path) {
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READONLY);
    AuditRows rows;
    rows.count = db.execAndGet("SELECT count(*) FROM tblAudit").getInt();
    SQLite::Statement newest(db, "SELECT ChangedAt, Terminal, Who, What, coalesce(RecordId, ''), EmployeeNo, "
                                 "ValuesBefore, ValuesAfter FROM tblAudit ORDER BY AuditId DESC LIMIT 1");
    if (newest.executeStep()) {
        for (int c = 0; c < 8; ++c)
            rows.newest.append(QString::fromStdString(newest.getColumn(c).getString()));
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
    };
    return all;
}

} // namespace

class AuditTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_file = 0;

    QString freshDatabase() {
        const QString path = m_dir.filePath(QStringLiteral("db%1.mdb").arg(++m_file));
        TestSupport::copyTemplateTo(path);
        return path;
    }

private slots:
    void everyChangeLeavesOneRow_data() {
        QTest::addColumn<int>("index");
        for (size_t i = 0; i < cases().size(); ++i)
            QTest::newRow(cases()[i].name) << static_cast<int>(i);
    }

    void everyChangeLeavesOneRow() {
        QFETCH(int, index);
        const Case& c = cases()[static_cast<size_t>(index)];
        const QString path = freshDatabase();
        AttendanceDatabase db;
        db.open(path);
        c.setUp(db);
        const int before = auditRows(path).count;
        db.setActor(QStringLiteral("admin"));
        c.change(db);
        const AuditRows rows = auditRows(path);
        QCOMPARE(rows.count, before + 1);
        QVERIFY2(QRegularExpression(QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ$)"))
                     .match(rows.newest.at(0))
                     .hasMatch(),
                 qPrintable(rows.newest.at(0)));
        QVERIFY(!rows.newest.at(1).isEmpty()); // the terminal
        QCOMPARE(rows.newest.mid(2), (QStringList{c.who, c.what, c.recordId, c.number, c.before, c.after}));
    }

    // A change that finds nothing to change leaves no row; a refused one neither.
    void noChangeNoRow() {
        const QString path = freshDatabase();
        AttendanceDatabase db;
        db.open(path);
        db.insertPerson(ann());
        db.punch(PunchKind::In, QStringLiteral("07"), kDay, QStringLiteral("08:00 AM"));
        db.punch(PunchKind::Out, QStringLiteral("07"), kDay, QStringLiteral("05:00 PM"));
        const int rows = auditRows(path).count;
        QCOMPARE(db.punch(PunchKind::Out, QStringLiteral("07"), kDay, QStringLiteral("06:00 PM")),
                 PunchOutcome::Written);
        db.deleteRecord(QStringLiteral("07"), kDay, QStringLiteral("09:00 AM"));
        db.updatePerson(QStringLiteral("99"), ann());
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, db.insertPerson(ann()));
        QVERIFY_THROWS_EXCEPTION(
            std::runtime_error,
            db.correctRecord(42, {QStringLiteral("07"), kDay, QStringLiteral("1:00 PM"), {}}));
        QCOMPARE(auditRows(path).count, rows);
    }

    void auditCannotBeRewritten_data() {
        QTest::addColumn<QString>("sql");
        QTest::newRow("update") << QStringLiteral("UPDATE tblAudit SET Who = 'nobody'");
        QTest::newRow("delete") << QStringLiteral("DELETE FROM tblAudit");
    }

    void auditCannotBeRewritten() {
        QFETCH(QString, sql);
        const QString path = freshDatabase();
        {
            AttendanceDatabase db;
            db.open(path);
            db.insertPerson(ann());
        }
        SQLite::Database raw(path.toStdString(), SQLite::OPEN_READWRITE);
        QVERIFY_THROWS_EXCEPTION(SQLite::Exception, raw.exec(sql.toStdString()));
        QCOMPARE(auditRows(path).count, 1);
    }

    // A file of the first program keeps its records, each with its old rowid as its identity.
    void upgradeKeepsRecordsAndTheirOrder() {
        const QString path = freshDatabase();
        {
            SQLite::Database raw(path.toStdString(), SQLite::OPEN_READWRITE);
            raw.exec("INSERT INTO tblLogins (EmployeeNo, LogDate, TimeIn, TimeOut) VALUES "
                     "('7', '2026-12-01', '08:00 AM', '04:00 PM'), ('7', '2026-12-02', '08:00 AM', NULL), "
                     "('8', '2026-12-02', '09:00 AM', NULL)");
            raw.exec("DELETE FROM tblLogins WHERE rowid = 1");
            QCOMPARE(raw.execAndGet("PRAGMA user_version").getInt(), 1); // the template: the first version
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
        const QString path = freshDatabase();
        AttendanceDatabase db;
        db.open(path);
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
