#include "TestDatabase.h"
#include "common/TestSupport.h"
#include "data/AttendanceDatabase.h"

#include <QTest>

namespace {

const QDate kDay(2026, 12, 9);

PersonFields person(const char* number) {
    return {QString::fromLatin1(number),
            QStringLiteral("pw"),
            QStringLiteral("Name ") + QLatin1String(number),
            {},
            {},
            false};
}

// Who holds each of the codes, "-" for nobody.
QStringList holders(AttendanceDatabase& db, const QStringList& codes) {
    QStringList found;
    for (const QString& code : codes) {
        const RecordSet rs = db.personByBadge(code);
        found << (rs.eof() ? QStringLiteral("-") : rs.text(QStringLiteral("EmployeeNo")));
    }
    return found;
}

} // namespace

class BadgeTest : public EngineTestCase {
    Q_OBJECT

private slots:
    void badgesAreExactAndUnique_data() {
        QTest::addColumn<QStringList>("steps");   // number=code; a failure expected where marked with !
        QTest::addColumn<QStringList>("holders"); // of Ab12, ab12, AB12, X9
        QTest::newRow("letter case counts") << QStringList{"07=Ab12"} << QStringList{"07", "-", "-", "-"};
        QTest::newRow("case variants are other badges")
            << QStringList{"07=Ab12", "08=ab12"} << QStringList{"07", "08", "-", "-"};
        QTest::newRow("second holder refused")
            << QStringList{"07=Ab12", "!08=Ab12"} << QStringList{"07", "-", "-", "-"};
        QTest::newRow("taken away, then given again")
            << QStringList{"07=Ab12", "07=", "08=Ab12"} << QStringList{"08", "-", "-", "-"};
        QTest::newRow("replaced") << QStringList{"07=Ab12", "07=X9"} << QStringList{"-", "-", "-", "07"};
        QTest::newRow("a person's number in other letters")
            << QStringList{"ab=X9"} << QStringList{"-", "-", "-", "AB"};
    }

    void badgesAreExactAndUnique() {
        QFETCH(QStringList, steps);
        AttendanceDatabase& db = *m_db;
        db.insertPerson(person("07"));
        db.insertPerson(person("08"));
        db.insertPerson(person("AB"));
        for (QString step : steps) {
            const bool refused = step.startsWith(QLatin1Char('!'));
            step.remove(QLatin1Char('!'));
            const QString number = step.section(QLatin1Char('='), 0, 0);
            const QString code = step.section(QLatin1Char('='), 1);
            const QString failure = failureOf([&] { db.setBadge(number, code); });
            QCOMPARE(failure, refused ? QStringLiteral("This badge is already given to another person.")
                                      : QStringLiteral("<no failure>"));
        }
        QTEST(holders(db, {"Ab12", "ab12", "AB12", "X9"}), "holders");
    }

    void auditNamesNoCode() {
        AttendanceDatabase& db = *m_db;
        db.insertPerson(person("07"));
        const int before = m_data->count("tblAudit");
        db.setBadge(QStringLiteral("07"), QStringLiteral("SECRET42"));
        db.setBadge(QStringLiteral("07"), QStringLiteral("SECRET42")); // unchanged: no row
        QCOMPARE(m_data->count("tblAudit"), before + 1);
        const RecordSet rs =
            db.auditEntries({QDate(2000, 1, 1), QDate(2100, 1, 1), std::nullopt, std::nullopt});
        QCOMPARE(rs.text(QStringLiteral("What")), AuditWhat::PersonUpdated);
        // The server's own row lists the person's fields, which hold no badge; the file's says it changed.
        if (!m_data->isServer())
            QCOMPARE(rs.text(QStringLiteral("ValuesAfter")),
                     QStringLiteral(R"({"BadgeCode":"changed","EmployeeNo":"07"})"));
        for (const QString& row : m_data->rows("tblAudit"))
            QVERIFY2(!row.contains(QStringLiteral("SECRET42")), qPrintable(row));
    }

    // The punch of a terminal: its direction from the latest record; a forgotten open record is left
    // open beside a new one.
    void punchToggle_data() {
        QTest::addColumn<QStringList>("earlier"); // time in|time out of earlier records ("" open)
        QTest::addColumn<bool>("leaveOpen");
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("leftOpen");
        QTest::addColumn<QStringList>("after"); // every record: day|in|out
        QTest::newRow("no record: in")
            << QStringList{} << false << int(PunchKind::In) << false << QStringList{"2026-12-09|05:00 PM|"};
        QTest::newRow("closed: in") << QStringList{"08:00 AM|12:00 PM"} << false << int(PunchKind::In)
                                    << false
                                    << QStringList{"2026-12-08|08:00 AM|12:00 PM", "2026-12-09|05:00 PM|"};
        QTest::newRow("open: out") << QStringList{"08:00 AM|"} << false << int(PunchKind::Out) << false
                                   << QStringList{"2026-12-09|08:00 AM|05:00 PM"};
        QTest::newRow("only the latest open record closes")
            << QStringList{"07:00 AM|", "08:00 AM|"} << false << int(PunchKind::Out) << false
            << QStringList{"2026-12-08|07:00 AM|", "2026-12-09|08:00 AM|05:00 PM"};
        QTest::newRow("forgotten: left open, a new one opened")
            << QStringList{"08:00 AM|"} << true << int(PunchKind::In) << true
            << QStringList{"2026-12-08|08:00 AM|", "2026-12-09|05:00 PM|"};
    }

    void punchToggle() {
        QFETCH(QStringList, earlier);
        QFETCH(bool, leaveOpen);
        AttendanceDatabase& db = *m_db;
        db.insertPerson(person("07"));
        for (const QString& r : earlier) {
            const QString out = r.section(QLatin1Char('|'), 1);
            db.addRecord({QStringLiteral("07"), kDay.addDays(-1), r.section(QLatin1Char('|'), 0, 0),
                          out.isEmpty() ? std::nullopt : std::optional<QString>(out)});
        }
        const int auditBefore = m_data->count("tblAudit");
        const TogglePunch done = db.punchToggle(QStringLiteral("07"), kDay, QStringLiteral("05:00 PM"),
                                                [&](const RecordSet&) { return leaveOpen; });
        QTEST(int(done.kind), "kind");
        QTEST(done.leftOpenSince.has_value(), "leftOpen");
        if (done.leftOpenSince)
            QCOMPARE(*done.leftOpenSince, kDay.addDays(-1));
        QStringList after;
        for (RecordSet rs = db.recordsOfPerson(QStringLiteral("07")); !rs.eof(); rs.moveNext())
            after << rs.value(QStringLiteral("LogDate")).toDate().toString(Qt::ISODate) + QLatin1Char('|') +
                         rs.text(QStringLiteral("TimeIn")) + QLatin1Char('|') +
                         rs.text(QStringLiteral("TimeOut"));
        QTEST(after, "after");
        QCOMPARE(m_data->count("tblAudit"), auditBefore + 1);
    }

    // A database of the version before badges gets the column, and its persons keep their rows.
    void upgradeFromTheVersionBefore() {
        AttendanceDatabase& db = *m_db;
        db.close();
        m_data->makeVersion(4);
        m_data->exec("INSERT INTO tblEmployees (EmployeeNo, Name) VALUES ('07', 'Name 07')",
                     "INSERT INTO \"tblEmployees\" (\"EmployeeNo\", \"Name\") VALUES ('07', 'Name 07')");
        m_data->open(db);
        db.setBadge(QStringLiteral("07"), QStringLiteral("B1"));
        QCOMPARE(holders(db, {"B1"}), QStringList{"07"});
        QCOMPARE(db.personByNumber(QStringLiteral("07")).text(QStringLiteral("Name")),
                 QStringLiteral("Name 07"));
    }
};

TALLYCLOCK_TEST(BadgeTest)
#include "BadgeTest.moc"
