#include "hours/PayRules.h"
#include "common/TestSupport.h"
#include "hours/HoursTotals.h"

#include <QRandomGenerator>
#include <QTest>
#include <cmath>
#include <stdexcept>

namespace {

// "2026-03-02 08:07-16:00, 2026-03-03 22:00-06:00": records of one person, each on the day it
// carries (an overnight record's out day).
std::vector<Hours::Record> recordsOf(const QString& text, const QString& name) {
    std::vector<Hours::Record> records;
    for (const QString& part : text.split(u',', Qt::SkipEmptyParts)) {
        const QStringList fields = part.trimmed().split(u' ');
        const QStringList times = fields.at(1).split(u'-');
        records.push_back({QStringLiteral("7"), name, QStringLiteral("Works"),
                           QDate::fromString(fields.at(0), Qt::ISODate), times.at(0), times.at(1)});
    }
    return records;
}

std::optional<int> limit(const QString& text) {
    return text.isEmpty() ? std::nullopt : std::optional<int>(Hours::PayRules::limitFromText(text));
}

} // namespace

class PayRulesTest : public QObject {
    Q_OBJECT
private slots:
    void ruleCases_data() {
        QTest::addColumn<int>("rounding");
        QTest::addColumn<QString>("breaks");
        QTest::addColumn<QString>("daily");
        QTest::addColumn<QString>("weekly");
        QTest::addColumn<int>("firstDay");
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("records");
        // present, breaks deducted, paid, regular, overtime (minutes); records flagged "clock change"
        QTest::addColumn<QList<int>>("expected");
        const QByteArray berlin("Europe/Berlin");
        const QByteArray newYork("America/New_York");
        const QString meals = QStringLiteral("6:00=30; 9:00=45");
        using L = QList<int>;
        // Rounding: to 15, 7 minutes past go down and 8 go up; the exact midpoint goes up.
        QTest::newRow("15: in 7 past down") << 15 << ""
                                            << ""
                                            << "" << 1 << berlin << "Ann"
                                            << "2026-03-02 08:07-16:00" << L{473, 0, 480, 480, 0, 0};
        QTest::newRow("15: in 8 past up") << 15 << ""
                                          << ""
                                          << "" << 1 << berlin << "Ann"
                                          << "2026-03-02 08:08-16:00" << L{472, 0, 465, 465, 0, 0};
        QTest::newRow("15: out 7 past down, 8 up")
            << 15 << ""
            << ""
            << "" << 1 << berlin << "Ann"
            << "2026-03-02 08:00-16:07, 2026-03-03 08:00-16:08" << L{975, 0, 975, 975, 0, 0};
        QTest::newRow("10: midpoint up") << 10 << ""
                                         << ""
                                         << "" << 1 << berlin << "Ann"
                                         << "2026-03-02 08:05-16:00" << L{475, 0, 470, 470, 0, 0};
        QTest::newRow("6: midpoint up") << 6 << ""
                                        << ""
                                        << "" << 1 << berlin << "Ann"
                                        << "2026-03-02 08:03-16:00" << L{477, 0, 474, 474, 0, 0};
        QTest::newRow("15: out up to midnight") << 15 << ""
                                                << ""
                                                << "" << 1 << berlin << "Ann"
                                                << "2026-03-02 16:00-23:53" << L{473, 0, 480, 480, 0, 0};
        // Breaks: on the time worked; gaps between the day's records already count.
        QTest::newRow("break already taken")
            << 0 << meals << ""
            << "" << 1 << berlin << "Ann"
            << "2026-03-02 08:00-12:00, 2026-03-02 12:30-17:00" << L{510, 0, 510, 510, 0, 0};
        QTest::newRow("6:00 worked") << 0 << meals << ""
                                     << "" << 1 << berlin << "Ann"
                                     << "2026-03-02 08:00-14:00" << L{360, 0, 360, 360, 0, 0};
        QTest::newRow("6:01 worked") << 0 << meals << ""
                                     << "" << 1 << berlin << "Ann"
                                     << "2026-03-02 08:00-14:01" << L{361, 30, 331, 331, 0, 0};
        QTest::newRow("present 9:01, 30-minute gap")
            << 0 << meals << ""
            << "" << 1 << berlin << "Ann"
            << "2026-03-02 08:00-12:00, 2026-03-02 12:30-17:01" << L{511, 0, 511, 511, 0, 0};
        QTest::newRow("short gap, the rest deducted")
            << 0 << meals << ""
            << "" << 1 << berlin << "Ann"
            << "2026-03-02 08:00-12:00, 2026-03-02 12:10-18:00" << L{590, 35, 555, 555, 0, 0};
        // Overtime: an hour over the day's limit is not counted again toward the week's.
        const QString week = QStringLiteral("2026-03-02 08:00-17:00, 2026-03-03 08:00-17:00, "
                                            "2026-03-04 08:00-17:00, 2026-03-05 08:00-17:00, "
                                            "2026-03-06 08:00-17:00, 2026-03-07 08:00-12:00");
        QTest::newRow("daily only") << 0 << ""
                                    << "8:00"
                                    << "" << 1 << berlin << "Ann" << week << L{2940, 0, 2940, 2640, 300, 0};
        QTest::newRow("weekly only") << 0 << ""
                                     << ""
                                     << "40:00" << 1 << berlin << "Ann" << week
                                     << L{2940, 0, 2940, 2400, 540, 0};
        QTest::newRow("daily and weekly")
            << 0 << ""
            << "8:00"
            << "40" << 1 << berlin << "Ann" << week << L{2940, 0, 2940, 2400, 540, 0};
        QTest::newRow("daily and weekly, Saturday off")
            << 0 << ""
            << "8:00"
            << "40" << 1 << berlin << "Ann" << week.left(week.lastIndexOf(u','))
            << L{2700, 0, 2700, 2400, 300, 0};
        // Sunday 1 March, then Monday to Thursday.
        const QString sundayFirst = QStringLiteral("2026-03-01 08:00-18:00, 2026-03-02 08:00-16:00, "
                                                   "2026-03-03 08:00-16:00, 2026-03-04 08:00-16:00, "
                                                   "2026-03-05 08:00-16:00");
        QTest::newRow("week starts Monday")
            << 0 << ""
            << ""
            << "40:00" << 1 << berlin << "Ann" << sundayFirst << L{2520, 0, 2520, 2520, 0, 0};
        QTest::newRow("week starts Sunday")
            << 0 << ""
            << ""
            << "40:00" << 7 << berlin << "Ann" << sundayFirst << L{2520, 0, 2520, 2400, 120, 0};
        // Real elapsed time: the clock's changes in spring and autumn.
        QTest::newRow("night over midnight") << 0 << ""
                                             << ""
                                             << "" << 1 << berlin << "Ann"
                                             << "2026-03-05 22:00-06:00" << L{480, 0, 480, 480, 0, 0};
        QTest::newRow("Berlin spring") << 0 << ""
                                       << ""
                                       << "" << 1 << berlin << "Ann"
                                       << "2026-03-29 22:00-06:00" << L{420, 0, 420, 420, 0, 0};
        QTest::newRow("Berlin autumn") << 0 << ""
                                       << ""
                                       << "" << 1 << berlin << "Ann"
                                       << "2026-10-25 22:00-06:00" << L{540, 0, 540, 540, 0, 0};
        QTest::newRow("New York spring") << 0 << ""
                                         << ""
                                         << "" << 1 << newYork << "Ann"
                                         << "2026-03-08 22:00-06:00" << L{420, 0, 420, 420, 0, 0};
        QTest::newRow("New York autumn") << 0 << ""
                                         << ""
                                         << "" << 1 << newYork << "Ann"
                                         << "2026-11-01 22:00-06:00" << L{540, 0, 540, 540, 0, 0};
        QTest::newRow("Berlin autumn, rounded, daily")
            << 15 << ""
            << "8:00"
            << "" << 1 << berlin << "Ann"
            << "2026-10-25 21:53-06:07" << L{554, 0, 540, 480, 60, 0};
        // 02:30 does not exist that night: the same moment as 03:30 summer time.
        QTest::newRow("in on the skipped hour") << 0 << ""
                                                << ""
                                                << "" << 1 << berlin << "Ann"
                                                << "2026-03-29 02:30-08:00" << L{270, 0, 270, 270, 0, 1};
        // 02:30 happens twice: the zone takes the second, in standard time.
        QTest::newRow("out on the doubled hour") << 0 << ""
                                                 << ""
                                                 << "" << 1 << berlin << "Ann"
                                                 << "2026-10-25 00:00-02:30" << L{210, 0, 210, 210, 0, 1};
        QTest::newRow("New York doubled hour") << 0 << ""
                                               << ""
                                               << "" << 1 << newYork << "Ann"
                                               << "2026-11-01 01:30-03:00" << L{90, 0, 90, 90, 0, 1};
        // A person deleted since: the records still count, by every rule.
        QTest::newRow("person no longer exists") << 15 << meals << "8:00"
                                                 << "" << 1 << berlin << ""
                                                 << "2026-03-02 07:52-17:08" << L{556, 45, 525, 480, 45, 0};
    }
    void ruleCases() {
        QFETCH(int, rounding);
        QFETCH(QString, breaks);
        QFETCH(QString, daily);
        QFETCH(QString, weekly);
        QFETCH(int, firstDay);
        QFETCH(QByteArray, zone);
        QFETCH(QString, name);
        QFETCH(QString, records);
        QFETCH(QList<int>, expected);
        Hours::Rules rules;
        rules.roundingMinutes = rounding;
        rules.breaks = Hours::PayRules::breaksFromText(breaks);
        rules.dailyLimitMinutes = limit(daily);
        rules.weeklyLimitMinutes = limit(weekly);
        rules.firstDayOfWeek = static_cast<Qt::DayOfWeek>(firstDay);
        rules.zone = QTimeZone(zone);
        QVERIFY(rules.zone.isValid());
        const Hours::Report report = Hours::totals(recordsOf(records, name), rules);
        QCOMPARE(report.persons.size(), size_t(1));
        const Hours::PersonTotals& p = report.persons.front();
        const QList<int> figures = {static_cast<int>(p.minutes),         static_cast<int>(p.breakMinutes),
                                    static_cast<int>(p.paidMinutes),     static_cast<int>(p.regularMinutes),
                                    static_cast<int>(p.overtimeMinutes), p.clockChangeRecords};
        QCOMPARE(figures, expected);
        // The days add up to the person, and the person to the total.
        long long paid = 0;
        for (const Hours::DayPay& day : report.days)
            paid += day.paidMinutes;
        QCOMPARE(paid, p.paidMinutes);
        QCOMPARE(report.totals.overtimeMinutes, p.overtimeMinutes);
    }

    // Without rules the figures are those of the times of day subtracted; --raw keeps them so even
    // over a clock change.
    void wallClockIgnoresRulesAndClockChanges() {
        Hours::Rules rules;
        rules.zone = QTimeZone("Europe/Berlin");
        rules.wallClock = true;
        const Hours::Report report =
            Hours::totals(recordsOf(QStringLiteral("2026-03-29 22:00-06:00"), QStringLiteral("Ann")), rules);
        QCOMPARE(report.persons.front().minutes, 480LL);
        QCOMPARE(report.persons.front().paidMinutes, 480LL);
        QCOMPARE(report.persons.front().clockChangeRecords, 0);
    }

    // Neutral rounding: over many random punches the total moves by less than 0.5 % and favours
    // neither side.
    void roundingHasNoBias_data() {
        QTest::addColumn<int>("rounding");
        for (const int minutes : {5, 6, 10, 15})
            QTest::addRow("%d minutes", minutes) << minutes;
    }
    void roundingHasNoBias() {
        QFETCH(int, rounding);
        QRandomGenerator random(static_cast<quint32>(rounding) * 7919U);
        std::vector<Hours::Record> records;
        for (int i = 0; i < 5000; ++i) { // 10,000 punch times
            const int in = 5 * 60 + random.bounded(5 * 60);
            const int out = in + 3 * 60 + random.bounded(8 * 60);
            const auto time = [](int minute) { return QTime(minute / 60, minute % 60).toString(u"HH:mm"); };
            records.push_back({QString::number(i), QString(), QString(), QDate(2026, 3, 2).addDays(i % 20),
                               time(in), time(out)});
        }
        Hours::Rules rules;
        rules.zone = QTimeZone("Europe/Berlin");
        rules.roundingMinutes = rounding;
        const Hours::Report report = Hours::totals(records, rules);
        const double present = static_cast<double>(report.totals.minutes);
        const double change = static_cast<double>(report.totals.paidMinutes) - present;
        QVERIFY2(std::abs(change) / present < 0.005, qPrintable(QString::number(change / present)));
        int gains = 0;
        int losses = 0;
        for (const Hours::PersonTotals& p : report.persons) {
            gains += p.paidMinutes > p.minutes ? 1 : 0;
            losses += p.paidMinutes < p.minutes ? 1 : 0;
        }
        // A fair coin over n records strays from n/2 by more than 3 standard deviations rarely.
        const int n = gains + losses;
        QVERIFY2(std::abs(gains - losses) < 3 * std::sqrt(n),
                 qPrintable(QStringLiteral("%1 up, %2 down").arg(gains).arg(losses)));
    }

    void storedRulesRead_data() {
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("readable");
        QTest::newRow("rounding 15") << "RoundingMinutes"
                                     << "15" << true;
        QTest::newRow("rounding 7") << "RoundingMinutes"
                                    << "7" << false;
        QTest::newRow("breaks") << "Breaks"
                                << "6:00=30; 9:00=45" << true;
        QTest::newRow("breaks shrinking") << "Breaks"
                                          << "6:00=45; 9:00=30" << false;
        QTest::newRow("break longer than its day") << "Breaks"
                                                   << "0:20=30" << false;
        QTest::newRow("breaks no list") << "Breaks"
                                        << "after six" << false;
        QTest::newRow("weekly 40") << "WeeklyLimit"
                                   << "40" << true;
        QTest::newRow("daily 8:60") << "DailyLimit"
                                    << "8:60" << false;
        QTest::newRow("Sunday") << "FirstDayOfWeek"
                                << "7" << true;
        QTest::newRow("day 8") << "FirstDayOfWeek"
                               << "8" << false;
        QTest::newRow("long 0") << "LongRecordHours"
                                << "0" << false;
    }
    void storedRulesRead() {
        QFETCH(QString, rule);
        QFETCH(QString, value);
        QFETCH(bool, readable);
        bool read = true;
        Hours::Rules rules;
        try {
            rules = Hours::PayRules::fromStored({{rule, value}}, Hours::Rules{});
        } catch (const std::runtime_error&) {
            read = false;
        }
        QCOMPARE(read, readable);
        if (readable) {
            // What is read is stored back as it was.
            const auto again = Hours::PayRules::fromStored(Hours::PayRules::stored(rules), Hours::Rules{});
            QCOMPARE(Hours::PayRules::stored(again), Hours::PayRules::stored(rules));
        }
    }
};

TALLYCLOCK_TEST(PayRulesTest)
#include "PayRulesTest.moc"
