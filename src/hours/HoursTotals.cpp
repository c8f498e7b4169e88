#include "hours/HoursTotals.h"

#include "data/AttendanceDatabase.h"
#include "data/RecordSet.h"
#include "data/SettingsStore.h"
#include "hours/PayRules.h"
#include "platform/DateTexts.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <unordered_map>

namespace Hours {

namespace {

constexpr int kMinutesPerDay = 24 * 60;
constexpr qint64 kUnixEpochJulianDay = 2440588;

// Minutes since the epoch (UTC) of times of day in one zone. Most days the clock keeps one offset
// from midnight to midnight and a time costs a look-up; only a day the clock changes asks the
// zone for each time.
class ZoneClock {
public:
    explicit ZoneClock(const QTimeZone& zone) : m_zone(zone) {}

    struct Instant {
        qint64 minutes = 0;
        bool clockChange = false; // the time was skipped or passed twice that day
    };

    // `minute` may be 24:00, the next day's midnight (a time rounded up past the day's last).
    Instant at(const QDate& day, int minute) {
        if (minute >= kMinutesPerDay)
            return at(day.addDays(1), minute - kMinutesPerDay);
        const Day& d = dayInfo(day);
        const qint64 local = (day.toJulianDay() - kUnixEpochJulianDay) * kMinutesPerDay + minute;
        if (!d.changes)
            return {local - d.offsetMinutes, false};
        const QTime time(minute / 60, minute % 60);
        const QDateTime moment(day, time, m_zone);
        const qint64 utc = moment.toSecsSinceEpoch() / 60;
        // Skipped: the zone moves the time elsewhere. Passed twice: the same time an offset's
        // difference later or earlier reads the same.
        bool changed = !moment.isValid() || moment.time() != time || moment.date() != day;
        const qint64 shift = d.shiftSeconds;
        for (const qint64 other : {moment.toSecsSinceEpoch() + shift, moment.toSecsSinceEpoch() - shift}) {
            const QDateTime again = QDateTime::fromSecsSinceEpoch(other, m_zone);
            changed = changed || (again.date() == day && again.time() == time);
        }
        return {utc, changed};
    }

private:
    struct Day {
        qint64 offsetMinutes = 0;
        bool changes = false;
        qint64 shiftSeconds = 0;
    };

    const Day& dayInfo(const QDate& day) {
        if (day == m_lastDay)
            return *m_last;
        auto found = m_days.find(day.toJulianDay());
        if (found == m_days.end()) {
            const int start = QDateTime(day, QTime(0, 0), m_zone).offsetFromUtc();
            const int end = QDateTime(day.addDays(1), QTime(0, 0), m_zone).offsetFromUtc();
            found =
                m_days.emplace(day.toJulianDay(), Day{start / 60, start != end, std::abs(end - start)}).first;
        }
        m_lastDay = day;
        m_last = &found->second;
        return *m_last;
    }

    QTimeZone m_zone;
    std::unordered_map<qint64, Day> m_days;
    QDate m_lastDay;
    const Day* m_last = nullptr;
};

// To the nearest multiple of `step`, the midpoint up: to 15, 7 minutes past go down, 8 go up.
int rounded(int minute, int step) {
    if (step <= 0)
        return minute;
    return (2 * minute + step) / (2 * step) * step;
}

// A closed record's stretch on the clock, for the day's breaks and the pay.
struct Stretch {
    QDate day;
    qint64 in = 0;
    qint64 out = 0;
};

std::optional<int> minuteOfDay(const QString& text) {
    const std::optional<QTime> time = DateTexts::parseClockTime(text);
    if (!time)
        return std::nullopt;
    return time->hour() * 60 + time->minute();
}

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Person numbers in the order people read them, whatever the locale: runs of digits by their
// value (2 before 10, e9 before E10), everything else without regard to letter case.
bool readsBefore(const QString& a, const QString& b) {
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            const auto digits = [](const QString& text, qsizetype& at) {
                while (at < text.size() - 1 && text[at] == QLatin1Char('0') && isDigit(text[at + 1]))
                    ++at;
                const qsizetype start = at;
                while (at < text.size() && isDigit(text[at]))
                    ++at;
                return QStringView(text).mid(start, at - start);
            };
            const QStringView x = digits(a, i);
            const QStringView y = digits(b, j);
            if (x.size() != y.size())
                return x.size() < y.size();
            if (const int order = x.compare(y); order != 0)
                return order < 0;
        } else {
            const char32_t x = QChar::toCaseFolded(static_cast<char32_t>(a[i].unicode()));
            const char32_t y = QChar::toCaseFolded(static_cast<char32_t>(b[j].unicode()));
            if (x != y)
                return x < y;
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

} // namespace

std::vector<Record> records(RecordSet rows) {
    std::vector<Record> result;
    result.reserve(static_cast<size_t>(rows.rowCount()));
    const bool withReasons = rows.columnNames().contains(QStringLiteral("ToCorrect"));
    const int number = rows.fieldIndex(QStringLiteral("EmployeeNo"));
    const int name = rows.fieldIndex(QStringLiteral("Name"));
    const int department = rows.fieldIndex(QStringLiteral("Department"));
    const int day = rows.fieldIndex(QStringLiteral("LogDate"));
    const int timeIn = rows.fieldIndex(QStringLiteral("TimeIn"));
    const int timeOut = rows.fieldIndex(QStringLiteral("TimeOut"));
    const int reason = withReasons ? rows.fieldIndex(QStringLiteral("ToCorrect")) : -1;
    for (; !rows.eof(); rows.moveNext()) {
        result.push_back({rows.textAt(number), rows.textAt(name), rows.textAt(department),
                          rows.valueAt(day).toDate(), rows.textAt(timeIn), rows.textAt(timeOut),
                          withReasons ? rows.textAt(reason) : QString()});
    }
    return result;
}

Rules rulesFromSettings() {
    const QString text = SettingsStore::GetSetting(SettingsStore::kApplication, SettingsStore::kSection,
                                                   QStringLiteral("LongRecordHours"), QStringLiteral("16"));
    bool isNumber = false;
    const int hours = text.trimmed().toInt(&isNumber);
    if (!isNumber || hours < 1 || hours > 168)
        throw std::runtime_error(
            QStringLiteral("The setting LongRecordHours is \"%1\"; it must be a whole number "
                           "of hours from 1 to 168.")
                .arg(text)
                .toStdString());
    Rules rules;
    rules.longRecordMinutes = hours * 60;
    return rules;
}

namespace {

RecordHours hoursOf(const Record& record, const Rules& rules, ZoneClock& clock, Stretch* stretch) {
    RecordHours hours;
    const std::optional<int> in = minuteOfDay(record.timeIn);
    if (!in) {
        hours.state = RecordHours::State::Unreadable;
        return hours;
    }
    if (record.timeOut.isEmpty()) {
        hours.state = RecordHours::State::Open;
        return hours;
    }
    const std::optional<int> out = minuteOfDay(record.timeOut);
    if (!out) {
        hours.state = RecordHours::State::Unreadable;
        return hours;
    }
    hours.overnight = *out < *in;
    if (rules.wallClock) {
        hours.minutes = *out - *in + (hours.overnight ? kMinutesPerDay : 0);
        hours.roundedMinutes = hours.minutes;
        hours.roundedIn = QTime(*in / 60, *in % 60);
        hours.roundedOut = QTime(*out / 60, *out % 60);
    } else {
        const QDate inDay = hours.overnight ? record.day.addDays(-1) : record.day;
        const ZoneClock::Instant from = clock.at(inDay, *in);
        const ZoneClock::Instant to = clock.at(record.day, *out);
        hours.minutes = static_cast<int>(std::max<qint64>(0, to.minutes - from.minutes));
        hours.clockChange = from.clockChange || to.clockChange;
        const int roundedIn = rounded(*in, rules.roundingMinutes);
        const int roundedOut = rounded(*out, rules.roundingMinutes);
        hours.roundedIn = QTime(roundedIn % kMinutesPerDay / 60, roundedIn % 60);
        hours.roundedOut = QTime(roundedOut % kMinutesPerDay / 60, roundedOut % 60);
        const ZoneClock::Instant paidFrom = roundedIn == *in ? from : clock.at(inDay, roundedIn);
        const ZoneClock::Instant paidTo = roundedOut == *out ? to : clock.at(record.day, roundedOut);
        hours.roundedMinutes = static_cast<int>(std::max<qint64>(0, paidTo.minutes - paidFrom.minutes));
        if (stretch)
            *stretch = {record.day, paidFrom.minutes, paidFrom.minutes + hours.roundedMinutes};
    }
    hours.isLong = hours.minutes > rules.longRecordMinutes;
    return hours;
}

// The rules over one person's stretches: each day's break and pay, then each week's overtime.
void payOf(PersonTotals& person, std::vector<Stretch>& stretches, const Rules& rules,
           std::vector<DayPay>& days) {
    const auto earlier = [](const Stretch& a, const Stretch& b) {
        return a.day != b.day ? a.day < b.day : a.in < b.in;
    };
    if (!std::is_sorted(stretches.begin(), stretches.end(), earlier))
        std::stable_sort(stretches.begin(), stretches.end(), earlier);
    QDate week;
    long long weekRegular = 0;
    for (size_t i = 0; i < stretches.size();) {
        DayPay day{person.number, stretches[i].day};
        qint64 lastOut = stretches[i].in;
        for (; i < stretches.size() && stretches[i].day == day.day; ++i) {
            day.workedMinutes += stretches[i].out - stretches[i].in;
            day.gapMinutes += std::max<qint64>(0, stretches[i].in - lastOut);
            lastOut = std::max(lastOut, stretches[i].out);
        }
        int owed = 0;
        for (const MealBreak& meal : rules.breaks) {
            if (day.workedMinutes > meal.afterMinutes)
                owed = meal.minutes;
        }
        day.breakMinutes = std::clamp<long long>(owed - day.gapMinutes, 0, day.workedMinutes);
        day.paidMinutes = day.workedMinutes - day.breakMinutes;
        long long regular = day.paidMinutes;
        if (rules.dailyLimitMinutes && regular > *rules.dailyLimitMinutes) {
            day.overtimeMinutes = regular - *rules.dailyLimitMinutes;
            regular = *rules.dailyLimitMinutes;
        }
        const QDate weekStart = day.day.addDays(-((day.day.dayOfWeek() - rules.firstDayOfWeek + 7) % 7));
        if (weekStart != week) {
            week = weekStart;
            weekRegular = 0;
        }
        // Hours already over the day's limit do not count toward the week's.
        if (rules.weeklyLimitMinutes && weekRegular + regular > *rules.weeklyLimitMinutes) {
            const long long over = std::min(regular, weekRegular + regular - *rules.weeklyLimitMinutes);
            day.overtimeMinutes += over;
            regular -= over;
        }
        weekRegular += regular;
        person.breakMinutes += day.breakMinutes;
        person.paidMinutes += day.paidMinutes;
        person.overtimeMinutes += day.overtimeMinutes;
        person.regularMinutes += day.paidMinutes - day.overtimeMinutes;
        days.push_back(day);
    }
}

} // namespace

RecordHours hoursOf(const Record& record, const Rules& rules) {
    ZoneClock clock(rules.zone);
    return hoursOf(record, rules, clock, nullptr);
}

Report totals(const std::vector<Record>& records, const Rules& rules) {
    Report report;
    report.payRules = rules.anyPayRule();
    ZoneClock clock(rules.zone);
    QHash<QString, size_t> personAt; // case-folded number -> index in report.persons
    std::vector<QSet<QDate>> daysOf;
    std::vector<std::vector<Stretch>> stretchesOf;
    // Per person, an open record not yet followed by another: once one of a later day follows, it is a
    // forgotten clock-out that a terminal left open, for someone to correct.
    std::vector<std::optional<RecordToCorrect>> openOf;
    for (const Record& record : records) {
        const QString key = record.number.toCaseFolded();
        auto found = personAt.constFind(key);
        if (found == personAt.cend()) {
            found = personAt.insert(key, report.persons.size());
            report.persons.push_back({record.number, record.name, record.department});
            daysOf.emplace_back();
            stretchesOf.emplace_back();
            openOf.emplace_back();
        }
        PersonTotals& person = report.persons[*found];
        Stretch stretch;
        const RecordHours hours = hoursOf(record, rules, clock, &stretch);
        if (openOf[*found] && record.day > openOf[*found]->record.day) {
            report.toCorrect.push_back(*openOf[*found]);
            openOf[*found].reset();
        }
        bool listed = !record.toCorrect.isEmpty();
        switch (hours.state) {
        case RecordHours::State::Open:
            ++person.openRecords;
            // Already listed with its own reason: not a second time as a forgotten clock-out.
            if (!listed)
                openOf[*found] = RecordToCorrect{record, hours};
            break;
        case RecordHours::State::Unreadable:
            ++person.unreadableRecords;
            listed = true;
            break;
        case RecordHours::State::Closed:
            person.minutes += hours.minutes;
            daysOf[*found].insert(record.day);
            person.overnightRecords += hours.overnight ? 1 : 0;
            person.clockChangeRecords += hours.clockChange ? 1 : 0;
            if (rules.wallClock)
                stretch = {record.day, 0, hours.minutes};
            stretchesOf[*found].push_back(stretch);
            if (hours.isLong) {
                ++person.longRecords;
                listed = true;
            }
            break;
        }
        if (listed)
            report.toCorrect.push_back({record, hours});
    }

    for (size_t i = 0; i < report.persons.size(); ++i)
        report.persons[i].daysWorked = static_cast<int>(daysOf[i].size());
    std::vector<size_t> order(report.persons.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t x, size_t y) {
        return readsBefore(report.persons[x].number, report.persons[y].number);
    });
    std::vector<PersonTotals> persons;
    persons.reserve(order.size());
    for (const size_t i : order) {
        persons.push_back(std::move(report.persons[i]));
        payOf(persons.back(), stretchesOf[i], rules, report.days);
    }
    report.persons = std::move(persons);
    for (const PersonTotals& person : report.persons) {
        PersonTotals& sum = report.totals;
        sum.daysWorked += person.daysWorked;
        sum.minutes += person.minutes;
        sum.openRecords += person.openRecords;
        sum.overnightRecords += person.overnightRecords;
        sum.longRecords += person.longRecords;
        sum.unreadableRecords += person.unreadableRecords;
        sum.clockChangeRecords += person.clockChangeRecords;
        sum.breakMinutes += person.breakMinutes;
        sum.paidMinutes += person.paidMinutes;
        sum.regularMinutes += person.regularMinutes;
        sum.overtimeMinutes += person.overtimeMinutes;
    }
    return report;
}

QString note(const RecordHours& hours, const Rules& rules) {
    switch (hours.state) {
    case RecordHours::State::Open:
        return QStringLiteral("Open");
    case RecordHours::State::Unreadable:
        return QStringLiteral("Time cannot be read; not counted");
    case RecordHours::State::Closed:
        break;
    }
    QString text = hours.isLong ? QStringLiteral("Longer than %1 hours").arg(rules.longRecordMinutes / 60)
                   : hours.overnight ? QStringLiteral("Overnight")
                                     : QString();
    if (hours.clockChange)
        text += text.isEmpty() ? QStringLiteral("clock change") : QStringLiteral("; clock change");
    return text;
}

QString note(const DayPay& day) {
    if (day.breakMinutes == 0)
        return QString();
    return QStringLiteral("break deducted %1").arg(clockHours(day.breakMinutes));
}

QString clockHours(long long minutes) {
    return QStringLiteral("%1:%2").arg(minutes / 60).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

long long hundredthsOfHours(long long minutes) {
    return (minutes * 100 + 30) / 60;
}

QString decimalHours(long long minutes, const QString& decimalPoint) {
    const long long hundredths = hundredthsOfHours(minutes);
    return QString::number(hundredths / 100) + decimalPoint +
           QStringLiteral("%1").arg(hundredths % 100, 2, 10, QLatin1Char('0'));
}

std::vector<QString> deductionNotes(const std::vector<Record>& records, const Report& report) {
    std::vector<QString> notes(records.size());
    if (report.days.empty())
        return notes;
    const auto key = [](const QString& number, const QDate& day) {
        return number.toCaseFolded() + QLatin1Char('/') + QString::number(day.toJulianDay());
    };
    QHash<QString, size_t> lastOfDay;
    for (size_t i = 0; i < records.size(); ++i)
        lastOfDay.insert(key(records[i].number, records[i].day), i);
    for (const DayPay& day : report.days) {
        if (const auto found = lastOfDay.constFind(key(day.number, day.day)); found != lastOfDay.cend())
            notes[*found] = note(day);
    }
    return notes;
}

namespace {

std::vector<std::pair<QString, QString>> storedRows(AttendanceDatabase& db) {
    std::vector<std::pair<QString, QString>> rows;
    for (RecordSet rs = db.payRules(); !rs.eof(); rs.moveNext())
        rows.emplace_back(rs.text(QStringLiteral("Rule")), rs.text(QStringLiteral("Value")));
    return rows;
}

bool holdsLongRecords(const std::vector<std::pair<QString, QString>>& rows) {
    return std::any_of(rows.begin(), rows.end(),
                       [](const auto& row) { return row.first == PayRules::LongRecordHours; });
}

} // namespace

Rules workplaceRules(AttendanceDatabase& db) {
    std::vector<std::pair<QString, QString>> rows = storedRows(db);
    if (!holdsLongRecords(rows)) {
        // Each user's own setting was all there was: the first program that reads the rules gives the
        // workplace its value, and from then on every user reads the workplace's.
        const QString hours = QString::number(rulesFromSettings().longRecordMinutes / 60);
        db.adoptPayRules({{PayRules::LongRecordHours, hours}});
        rows = storedRows(db);
    }
    return PayRules::fromStored(rows, Rules{});
}

Rules readRules(AttendanceDatabase& db) {
    const std::vector<std::pair<QString, QString>> rows = storedRows(db);
    return PayRules::fromStored(rows, holdsLongRecords(rows) ? Rules{} : rulesFromSettings());
}

int longRecordHours(AttendanceDatabase& db) {
    return workplaceRules(db).longRecordMinutes / 60;
}

} // namespace Hours
