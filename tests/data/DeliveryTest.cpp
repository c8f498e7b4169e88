#include "TestDatabase.h"
#include "common/TestSupport.h"
#include "data/AttendanceDatabase.h"
#include "data/SchemaUpgrades.h"
#include "hours/HoursTotals.h"

#include <QTest>
#include <thread>

namespace {

const QDate kDay(2026, 12, 9);

// One delivery: "A1 in 08:00" is terminal A's punch 1, in, at 08:00 ("badge": a toggle), of person 7
// unless "#8" names another; "clock" adds a reason to correct; "!" delivers as the punch at the
// terminal does (a refusal keeps nothing but the receipt).
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
    for (const QString& extra : parts.mid(3)) {
        if (extra.startsWith(QLatin1Char('#')))
            step.punch.number = extra.mid(1);
        else
            step.punch.toCorrect = QStringLiteral("clock off");
    }
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

    // Several punches in one transaction: each as it would be alone, the audit naming each one's person.
    void batches_data() {
        QTest::addColumn<QStringList>("before"); // delivered one at a time first
        QTest::addColumn<QStringList>("batch");
        QTest::addColumn<QStringList>("outcomes");
        QTest::addColumn<QStringList>("records");
        QTest::newRow("a punch delivered before is not stored again")
            << QStringList{"A1 in 08:00"} << QStringList{"A1 in 08:00", "A2 out 17:00"}
            << QStringList{"already", "stored"} << QStringList{"7 08:00-17:00"};
        QTest::newRow("the same punch twice in one batch")
            << QStringList{} << QStringList{"A1 in 08:00", "A1 in 08:00", "A2 out 17:00"}
            << QStringList{"stored", "already", "stored"} << QStringList{"7 08:00-17:00"};
        QTest::newRow("a refused punch in the middle, the rest goes on")
            << QStringList{} << QStringList{"A1 in 08:00", "A2 in 08:05", "A3 out 17:00"}
            << QStringList{"stored", "to correct", "stored"} << QStringList{"7 08:00-17:00", "7 08:05-*"};
        QTest::newRow("two persons in turn")
            << QStringList{"B1 in 07:00 #8"}
            << QStringList{"A1 in 08:00", "A2 out 12:00 #8", "A3 out 12:01", "A4 in 13:00 #8"}
            << QStringList{"stored", "stored", "stored", "stored"}
            << QStringList{"8 07:00-12:00", "7 08:00-12:01", "8 13:00-"};
        QTest::newRow("badges and a clock off")
            << QStringList{} << QStringList{"A1 badge 08:00", "A2 badge 17:00 clock", "A3 badge 18:00 #8"}
            << QStringList{"stored", "to correct", "stored"} << QStringList{"7 08:00-17:00*", "8 18:00-"};
    }

    void batches() {
        QFETCH(QStringList, before);
        QFETCH(QStringList, batch);
        QFETCH(QStringList, outcomes);
        QFETCH(QStringList, records);
        for (const QString& step : before)
            m_db->deliver(parse(step).punch, true);
        std::vector<DeliveredPunch> punches;
        for (const QString& step : batch)
            punches.push_back(parse(step).punch);
        QStringList got;
        for (const DeliveryOutcome outcome : m_db->deliverAll(punches, {}))
            got << outcomeText(outcome);
        QCOMPARE(got, outcomes);
        QCOMPARE(TestSupport::recordsOn(*m_db), records);
        RecordSet audit = m_db->auditEntries(
            {kDay.addYears(-1), QDate::currentDate().addDays(1), std::nullopt, std::nullopt});
        for (; !audit.eof(); audit.moveNext())
            if (audit.value(QStringLiteral("RecordId")).isValid())
                QCOMPARE(audit.text(QStringLiteral("Who")), audit.text(QStringLiteral("EmployeeNo")));
    }

    // Two terminals delivering the same persons at once, their journals in opposite orders: both
    // wait rather than deadlock, and every punch is stored once. A third connection holds one
    // person meanwhile, so that both deliveries are under way before either can finish.
    void twoTerminalsAtOnce() {
        if (!m_data->isServer())
            QSKIP("one writer at a time on the file");
        QStringList numbers;
        for (int p = 1; p <= 9; ++p) {
            numbers << QString::number(p);
            m_db->insertPerson({numbers.last(), QStringLiteral("pw"), QStringLiteral("P"), {}, {}, false});
        }
        const auto journal = [&](const QString& terminal, PunchKind kind, bool reversed) {
            std::vector<DeliveredPunch> punches;
            for (qsizetype i = 0; i < numbers.size(); ++i)
                punches.push_back({terminal,
                                   i + 1,
                                   kind,
                                   numbers.at(reversed ? numbers.size() - 1 - i : i),
                                   kDay,
                                   kind == PunchKind::In ? QStringLiteral("08:00") : QStringLiteral("17:00"),
                                   {},
                                   false});
            return punches;
        };
        const auto waiting = [&](int sessions) {
            const std::string waits =
                "DO $$BEGIN IF (SELECT count(*) FROM pg_stat_activity WHERE datname = current_database() AND "
                "wait_event_type = 'Lock') < " +
                std::to_string(sessions) + " THEN RAISE EXCEPTION 'not yet'; END IF; END$$";
            QTRY_VERIFY(failureOf([&] { m_data->exec({}, waits); }) == QLatin1String("<no failure>"));
        };
        const auto deliver = [&](std::vector<DeliveredPunch> punches, QString& failure) {
            return std::thread([this, punches, &failure] {
                AttendanceDatabase db;
                m_data->open(db);
                failure = failureOf([&] { db.deliverAll(punches, {}); });
            });
        };
        const std::unique_ptr<TestDatabase::Raw> holder = m_data->connect();
        holder->exec({}, R"(BEGIN; SELECT "tallyclock_lock_person"('5'))");
        QString ins;
        QString outs;
        std::thread first = deliver(journal(QStringLiteral("A"), PunchKind::In, false), ins);
        waiting(1);
        std::thread second = deliver(journal(QStringLiteral("B"), PunchKind::Out, true), outs);
        waiting(2);
        holder->exec({}, "COMMIT");
        first.join();
        second.join();
        QCOMPARE(ins, QStringLiteral("<no failure>"));
        QCOMPARE(outs, QStringLiteral("<no failure>"));
        QStringList expected;
        for (const QString& number : numbers)
            expected << number + QStringLiteral(" 08:00-17:00");
        QStringList stored = TestSupport::recordsOn(*m_db);
        stored.sort();
        QCOMPARE(stored, expected);
        QCOMPARE(m_data->count("tblDeliveries"), 2 * int(numbers.size()));
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
