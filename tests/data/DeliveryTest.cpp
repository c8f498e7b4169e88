#include "TestDatabase.h"
#include "common/TestSupport.h"
#include "data/AttendanceDatabase.h"
#include "data/SchemaUpgrades.h"
#include "hours/HoursTotals.h"

#include <QTest>

namespace {

const QDate kDay(2026, 12, 9);

// One delivery: "A1 in 08:00" is terminal A's punch 1, in, at 08:00 ("badge": a toggle); "+clock" adds a
// reason to correct; "!" delivers as the punch at the terminal does (a refusal keeps nothing but the
// receipt).
struct Step {
    DeliveredPunch punch;
    bool keepRefused = true;
};

Step parse(const QString& text) {
    const QStringList parts = text.split(QLatin1Char(' '));
    Step step;
    step.keepRefused = !parts[0].startsWith(QLatin1Char('!'));
    const QString id = parts[0].mid(step.keepRefused ? 0 : 1);
    step.punch.terminal = id.left(1);
    step.punch.sequence = id.mid(1).toLongLong();
    step.punch.kind = parts[1] == QLatin1String("in") ? PunchKind::In : PunchKind::Out;
    step.punch.toggle = parts[1] == QLatin1String("badge");
    step.punch.number = QStringLiteral("7");
    step.punch.day = kDay;
    step.punch.time = parts[2];
    if (parts.size() > 3)
        step.punch.toCorrect = QStringLiteral("clock off");
    return step;
}

QString outcomeText(DeliveryOutcome outcome) {
    switch (outcome) {
    case DeliveryOutcome::Stored:
        return QStringLiteral("stored");
    case DeliveryOutcome::StoredToCorrect:
        return QStringLiteral("to correct");
    case DeliveryOutcome::Refused:
        return QStringLiteral("refused");
    case DeliveryOutcome::AlreadyStored:
        return QStringLiteral("already");
    }
    return {};
}

} // namespace

class DeliveryTest : public EngineTestCase {
    Q_OBJECT

private slots:
    void deliveries_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("outcomes");
        // Each record as "in-out" with a "*" when it is listed to correct.
        QTest::addColumn<QStringList>("records");
        QTest::newRow("delivered twice, stored once")
            << QStringList{"A1 in 08:00", "A1 in 08:00", "A2 out 17:00", "A2 out 17:00"}
            << QStringList{"stored", "already", "stored", "already"} << QStringList{"08:00-17:00"};
        QTest::newRow("two terminals punched in")
            << QStringList{"A1 in 08:00", "B1 in 08:01", "A2 out 17:00"}
            << QStringList{"stored", "to correct", "stored"} << QStringList{"08:00-17:00", "08:01-*"};
        QTest::newRow("out with nothing open")
            << QStringList{"A1 out 17:00", "A2 in 08:00", "A3 out 12:00"}
            << QStringList{"to correct", "stored", "stored"} << QStringList{"-17:00*", "08:00-12:00"};
        QTest::newRow("out after the record was closed")
            << QStringList{"A1 in 08:00", "A2 out 12:00", "B1 out 12:05"}
            << QStringList{"stored", "stored", "to correct"} << QStringList{"08:00-12:00", "-12:05*"};
        QTest::newRow("refused at the terminal keeps only the receipt")
            << QStringList{"A1 in 08:00", "!B1 in 08:01", "B1 in 08:01"}
            << QStringList{"stored", "refused", "already"} << QStringList{"08:00-"};
        QTest::newRow("clock off: stored, listed, still a punch")
            << QStringList{"A1 in 08:00 clock", "A2 out 17:00"} << QStringList{"to correct", "stored"}
            << QStringList{"08:00-17:00*"};
        QTest::newRow("badge punches toggle on arrival, each once")
            << QStringList{"A1 badge 08:00", "A1 badge 08:00", "B1 badge 17:00", "A2 badge 18:00 clock"}
            << QStringList{"stored", "already", "stored", "to correct"}
            << QStringList{"08:00-17:00", "18:00-*"};
        QTest::newRow("same sequence from another terminal is another punch")
            << QStringList{"A1 in 08:00", "B1 out 17:00"} << QStringList{"stored", "stored"}
            << QStringList{"08:00-17:00"};
    }

    void deliveries() {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, outcomes);
        QFETCH(QStringList, records);
        QStringList got;
        for (const QString& step : steps) {
            const Step s = parse(step);
            got << outcomeText(m_db->deliver(s.punch, s.keepRefused));
        }
        QCOMPARE(got, outcomes);
        QStringList stored;
        for (RecordSet rs = m_db->allLogins(); !rs.eof(); rs.moveNext())
            stored << rs.text(QStringLiteral("TimeIn")) + QLatin1Char('-') +
                          rs.text(QStringLiteral("TimeOut")) +
                          (rs.text(QStringLiteral("ToCorrect")).isEmpty() ? QString() : QStringLiteral("*"));
        QCOMPARE(stored, records);
    }

    // A refused punch is kept with its reason: in the Hours window's records to correct and in the
    // audit trail; an administrator's correction takes it off the list and back into the punches.
    void refusedPunchListedUntilCorrected() {
        QVERIFY(m_db->deliver(parse(QStringLiteral("A1 in 08:00")).punch, true) == DeliveryOutcome::Stored);
        QVERIFY(m_db->deliver(parse(QStringLiteral("B1 in 08:01")).punch, true) ==
                DeliveryOutcome::StoredToCorrect);
        const Hours::Report report =
            Hours::totals(Hours::records(m_db->loginsBetween(kDay, kDay)), Hours::Rules{});
        QCOMPARE(report.toCorrect.size(), size_t(1));
        QVERIFY2(report.toCorrect.front().record.toCorrect.contains(QStringLiteral("while already in")),
                 qPrintable(report.toCorrect.front().record.toCorrect));
        RecordSet audit = m_db->auditEntries(
            {kDay.addYears(-1), QDate::currentDate().addDays(1), std::nullopt, AuditWhat::PunchToCorrect});
        QCOMPARE(audit.rowCount(), 1);
        QVERIFY(audit.text(QStringLiteral("ValuesAfter")).contains(QStringLiteral("while already in")));

        const qint64 flagged = audit.value(QStringLiteral("RecordId")).toLongLong();
        m_db->correctRecord(flagged,
                            {QStringLiteral("7"), kDay, QStringLiteral("08:01"), QStringLiteral("09:00")});
        QVERIFY(m_db->recordById(flagged).text(QStringLiteral("ToCorrect")).isEmpty());
        QCOMPARE(
            Hours::totals(Hours::records(m_db->loginsBetween(kDay, kDay)), Hours::Rules{}).toCorrect.size(),
            size_t(0));
    }

    // A database of every earlier version takes deliveries after its upgrade, its records kept.
    void fileOfEveryEarlierVersion_data() {
        QTest::addColumn<int>("version");
        for (const SchemaUpgrade& step : SchemaUpgrades::steps())
            if (step.version < SchemaUpgrades::latestVersion())
                QTest::addRow("version %d", step.version) << step.version;
    }

    void fileOfEveryEarlierVersion() {
        QFETCH(int, version);
        m_db->close();
        m_data->makeVersion(version);
        m_data->exec(
            "INSERT INTO tblLogins (EmployeeNo, LogDate, TimeIn) VALUES ('7', '2026-12-09', '08:00')",
            R"(INSERT INTO "tblLogins" ("EmployeeNo", "LogDate", "TimeIn") VALUES ('7', '2026-12-09', '08:00'))");
        m_data->open(*m_db);
        QCOMPARE(m_db->deliver(parse(QStringLiteral("A1 in 08:01")).punch, true),
                 DeliveryOutcome::StoredToCorrect);
        QCOMPARE(m_db->deliver(parse(QStringLiteral("A1 in 08:01")).punch, true),
                 DeliveryOutcome::AlreadyStored);
        QCOMPARE(m_db->allLogins().rowCount(), 2);
    }
};

TALLYCLOCK_TEST(DeliveryTest)
#include "DeliveryTest.moc"
