#include "hours/HoursTotals.h"
#include "common/TestSupport.h"
#include "data/SettingsStore.h"
#include "hours/Periods.h"

#include <QTest>
#include <stdexcept>

using Hours::RecordHours;
Q_DECLARE_METATYPE(RecordHours::State)
Q_DECLARE_METATYPE(Hours::Preset)

namespace {

const QDate kDay(2026, 3, 5);

Hours::Record record(const QString& number, const QDate& day, const QString& in, const QString& out,
                     const QString& name = QStringLiteral("Ann")) {
    return {number, name, QStringLiteral("Works"), day, in, out};
}

} // namespace

class HoursTotalsTest : public QObject {
    Q_OBJECT
private slots:
    void oneRecord_data() {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::addColumn<RecordHours::State>("state");
        QTest::addColumn<int>("minutes");
        QTest::addColumn<bool>("overnight");
        QTest::addColumn<bool>("isLong");
        using S = RecordHours::State;
        QTest::newRow("same minute") << "09:05 AM"
                                     << "09:05 AM" << S::Closed << 0 << false << false;
        QTest::newRow("150 minutes") << "09:05 AM"
                                     << "11:35 AM" << S::Closed << 150 << false << false;
        QTest::newRow("seconds ignored") << "09:05:50"
                                         << "09:06:10" << S::Closed << 1 << false << false;
        QTest::newRow("overnight") << "10:00 PM"
                                   << "06:00 AM" << S::Closed << 480 << true << false;
        QTest::newRow("24-hour overnight") << "22:00"
                                           << "06:15" << S::Closed << 495 << true << false;
        QTest::newRow("cycle changed") << "09:05 AM"
                                       << "17:45" << S::Closed << 520 << false << false;
        QTest::newRow("Korean") << "09:05 오전"
                                << "오후 06:00" << S::Closed << 535 << false << false;
        QTest::newRow("Spanish") << "09:05 a. m."
                                 << "06:00 P. M." << S::Closed << 535 << false << false;
        QTest::newRow("exactly the limit") << "06:00"
                                           << "22:00" << S::Closed << 960 << false << false;
        QTest::newRow("past the limit") << "06:00"
                                        << "22:01" << S::Closed << 961 << false << true;
        QTest::newRow("missed punch out") << "08:00 AM"
                                          << "07:59 AM" << S::Closed << 1439 << true << true;
        QTest::newRow("open") << "09:05 AM"
                              << "" << S::Open << 0 << false << false;
        QTest::newRow("unreadable in") << "soon"
                                       << "09:05 AM" << S::Unreadable << 0 << false << false;
        QTest::newRow("unreadable out") << "09:05 AM"
                                        << "13:05 PM" << S::Unreadable << 0 << false << false;
        QTest::newRow("open, unreadable in") << ""
                                             << "" << S::Unreadable << 0 << false << false;
    }
    void oneRecord() {
        QFETCH(QString, in);
        QFETCH(QString, out);
        const RecordHours hours = Hours::hoursOf(record(QStringLiteral("1"), kDay, in, out), Hours::Rules{});
        QTEST(hours.state, "state");
        QTEST(hours.minutes, "minutes");
        QTEST(hours.overnight, "overnight");
        QTEST(hours.isLong, "isLong");
    }

    void totalsPerPerson() {
        const QDate next = kDay.addDays(1);
        const std::vector<Hours::Record> records{
            record("10", kDay, "08:00 AM", "04:30 PM", "Bob"),
            record("2", kDay, "09:00", "12:00"),
            record("2", kDay, "01:00 PM", "05:15 PM"),
            record("2", next, "10:00 PM", "06:00 AM"),
            record("E2", next, "08:00", "08:30", "Eve"),
            record("e2", next, "09:00 오전", "", "Eve"),       // same person, other letter case, still open
            record("10", next, "08:00 AM", "07:00 AM", "Bob"), // missed punch out
            record("10", next, "half past", "05:00 PM", "Bob"),
            record("77", next, "08:00", "09:00", ""), // person deleted
        };
        const Hours::Report report = Hours::totals(records, Hours::Rules{});

        QCOMPARE(report.persons.size(), size_t(4));
        const Hours::PersonTotals& two = report.persons[0];
        QCOMPARE(two.number, QStringLiteral("2"));
        QCOMPARE(two.daysWorked, 2);
        QCOMPARE(two.minutes, 180LL + 255 + 480);
        QCOMPARE(two.overnightRecords, 1);
        QCOMPARE(two.longRecords, 0);
        const Hours::PersonTotals& ten = report.persons[1];
        QCOMPARE(ten.number, QStringLiteral("10"));
        QCOMPARE(ten.name, QStringLiteral("Bob"));
        QCOMPARE(ten.daysWorked, 2);
        QCOMPARE(ten.minutes, 510LL + 1380);
        QCOMPARE(ten.longRecords, 1);
        QCOMPARE(ten.overnightRecords, 1);
        QCOMPARE(ten.unreadableRecords, 1);
        QCOMPARE(report.persons[2].number, QStringLiteral("77"));
        QCOMPARE(report.persons[2].name, QString());
        const Hours::PersonTotals& eve = report.persons[3];
        QCOMPARE(eve.daysWorked, 1);
        QCOMPARE(eve.minutes, 30LL);
        QCOMPARE(eve.openRecords, 1);

        QCOMPARE(report.totals.minutes, 915LL + 1890 + 60 + 30);
        QCOMPARE(report.totals.daysWorked, 2 + 2 + 1 + 1);
        QCOMPARE(report.totals.openRecords, 1);
        QCOMPARE(report.totals.longRecords, 1);
        QCOMPARE(report.totals.unreadableRecords, 1);

        QCOMPARE(report.toCorrect.size(), size_t(2));
        QCOMPARE(report.toCorrect[0].record.timeOut, QStringLiteral("07:00 AM"));
        QVERIFY(report.toCorrect[0].hours.isLong);
        QCOMPARE(report.toCorrect[1].record.timeIn, QStringLiteral("half past"));
        QCOMPARE(report.toCorrect[1].hours.state, RecordHours::State::Unreadable);

        QVERIFY(Hours::totals({}, Hours::Rules{}).persons.empty());
    }

    // Numbers as people read them, whatever the locale's collation.
    void personsInNumberOrder() {
        std::vector<Hours::Record> records;
        for (const char* number : {"E10", "b", "10", "e9", "2", "A", "a1"})
            records.push_back(record(QString::fromLatin1(number), kDay, "08:00", "09:00"));
        QStringList order;
        for (const Hours::PersonTotals& person : Hours::totals(records, Hours::Rules{}).persons)
            order << person.number;
        QCOMPARE(order, (QStringList{"2", "10", "A", "a1", "b", "e9", "E10"}));
    }

    // An open record that a record of a later day follows is a forgotten clock-out, listed to correct.
    void forgottenClockOutsListed_data() {
        QTest::addColumn<QStringList>("records"); // number|day offset|out ("" open)
        QTest::addColumn<QStringList>("listed");  // number|day offset of the records to correct
        QTest::newRow("open, then the next day") << QStringList{"1|0|", "1|1|"} << QStringList{"1|0"};
        QTest::newRow("open, then the same day") << QStringList{"1|0|", "1|0|"} << QStringList{};
        QTest::newRow("someone else's later record") << QStringList{"1|0|", "2|1|"} << QStringList{};
        QTest::newRow("closed, then the next day") << QStringList{"1|0|05:00 PM", "1|1|"} << QStringList{};
        QTest::newRow("open and the latest") << QStringList{"1|0|"} << QStringList{};
    }

    void forgottenClockOutsListed() {
        QFETCH(QStringList, records);
        std::vector<Hours::Record> all;
        for (const QString& r : records)
            all.push_back(record(r.section(QLatin1Char('|'), 0, 0),
                                 kDay.addDays(r.section(QLatin1Char('|'), 1, 1).toInt()),
                                 QStringLiteral("08:00 AM"), r.section(QLatin1Char('|'), 2)));
        QStringList listed;
        for (const Hours::RecordToCorrect& c : Hours::totals(all, Hours::Rules{}).toCorrect)
            listed << c.record.number + QLatin1Char('|') + QString::number(kDay.daysTo(c.record.day));
        QTEST(listed, "listed");
    }

    void hoursTexts_data() {
        QTest::addColumn<int>("minutes");
        QTest::addColumn<QString>("clock");
        QTest::addColumn<QString>("decimal");
        QTest::newRow("none") << 0 << "0:00"
                              << "0.00";
        QTest::newRow("one minute") << 1 << "0:01"
                                    << "0.02";
        QTest::newRow("rounds down") << 425 << "7:05"
                                     << "7.08";
        QTest::newRow("rounds up") << 59 << "0:59"
                                   << "0.98";
        QTest::newRow("half hour") << 150 << "2:30"
                                   << "2.50";
        QTest::newRow("past a day") << 7385 << "123:05"
                                    << "123.08";
    }
    void hoursTexts() {
        QFETCH(int, minutes);
        QTEST(Hours::clockHours(minutes), "clock");
        QTEST(Hours::decimalHours(minutes), "decimal");
    }

    void longRecordSetting() {
        const auto save = [](const QString& value) {
            SettingsStore::SaveSetting(SettingsStore::kApplication, SettingsStore::kSection,
                                       QStringLiteral("LongRecordHours"), value);
        };
        QCOMPARE(Hours::rulesFromSettings().longRecordMinutes, 16 * 60);
        save(QStringLiteral("12"));
        QCOMPARE(Hours::rulesFromSettings().longRecordMinutes, 12 * 60);
        for (const char* wrong : {"twelve", "0", "12.5", ""}) {
            save(QString::fromLatin1(wrong));
            QVERIFY_THROWS_EXCEPTION(std::runtime_error, Hours::rulesFromSettings());
        }
        save(QStringLiteral("16"));
    }

    // Around month and year ends, on a week's first and last day, in a Sunday-first and a
    // Monday-first locale.
    void presets_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QDate>("today");
        QTest::addColumn<Hours::Preset>("preset");
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        using P = Hours::Preset;
        const QDate newYear(2026, 1, 1); // a Thursday
        QTest::newRow("US this week")
            << "en_US" << newYear << P::ThisWeek << QDate(2025, 12, 28) << QDate(2026, 1, 3);
        QTest::newRow("DE this week")
            << "de_DE" << newYear << P::ThisWeek << QDate(2025, 12, 29) << QDate(2026, 1, 4);
        QTest::newRow("US last week")
            << "en_US" << newYear << P::LastWeek << QDate(2025, 12, 21) << QDate(2025, 12, 27);
        QTest::newRow("DE last week")
            << "de_DE" << newYear << P::LastWeek << QDate(2025, 12, 22) << QDate(2025, 12, 28);
        QTest::newRow("this month") << "de_DE" << newYear << P::ThisMonth << newYear << QDate(2026, 1, 31);
        QTest::newRow("last month") << "en_US" << newYear << P::LastMonth << QDate(2025, 12, 1)
                                    << QDate(2025, 12, 31);
        const QDate sunday(2026, 3, 1);
        QTest::newRow("US Sunday") << "en_US" << sunday << P::ThisWeek << sunday << QDate(2026, 3, 7);
        QTest::newRow("DE Sunday") << "de_DE" << sunday << P::ThisWeek << QDate(2026, 2, 23) << sunday;
        QTest::newRow("DE Monday") << "de_DE" << sunday.addDays(1) << P::LastWeek << QDate(2026, 2, 23)
                                   << sunday;
        QTest::newRow("February") << "en_US" << sunday << P::LastMonth << QDate(2026, 2, 1)
                                  << QDate(2026, 2, 28);
        QTest::newRow("leap February")
            << "en_US" << QDate(2028, 3, 31) << P::LastMonth << QDate(2028, 2, 1) << QDate(2028, 2, 29);
        QTest::newRow("December") << "en_US" << QDate(2026, 12, 31) << P::ThisMonth << QDate(2026, 12, 1)
                                  << QDate(2026, 12, 31);
    }
    void presets() {
        QFETCH(QString, locale);
        QFETCH(QDate, today);
        QFETCH(Hours::Preset, preset);
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QCOMPARE(Hours::presetPeriod(preset, today, QLocale(locale)), (Hours::Period{from, to}));
    }
};

TALLYCLOCK_TEST(HoursTotalsTest)
#include "HoursTotalsTest.moc"
