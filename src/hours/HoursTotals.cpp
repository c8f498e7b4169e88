#include "hours/HoursTotals.h"

#include "data/RecordSet.h"
#include "data/SettingsStore.h"
#include "platform/DateTexts.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <stdexcept>

namespace Hours {

namespace {

constexpr int kMinutesPerDay = 24 * 60;

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
    for (; !rows.eof(); rows.moveNext()) {
        result.push_back({rows.text(QStringLiteral("EmployeeNo")), rows.text(QStringLiteral("Name")),
                          rows.text(QStringLiteral("Department")),
                          rows.value(QStringLiteral("LogDate")).toDate(), rows.text(QStringLiteral("TimeIn")),
                          rows.text(QStringLiteral("TimeOut")),
                          withReasons ? rows.text(QStringLiteral("ToCorrect")) : QString()});
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
    return Rules{hours * 60};
}

RecordHours hoursOf(const Record& record, const Rules& rules) {
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
    hours.minutes = *out - *in + (hours.overnight ? kMinutesPerDay : 0);
    hours.isLong = hours.minutes > rules.longRecordMinutes;
    return hours;
}

Report totals(const std::vector<Record>& records, const Rules& rules) {
    Report report;
    QHash<QString, size_t> personAt; // case-folded number -> index in report.persons
    std::vector<QSet<QDate>> daysOf;
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
            openOf.emplace_back();
        }
        PersonTotals& person = report.persons[*found];
        const RecordHours hours = hoursOf(record, rules);
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
    std::stable_sort(
        report.persons.begin(), report.persons.end(),
        [](const PersonTotals& x, const PersonTotals& y) { return readsBefore(x.number, y.number); });
    for (const PersonTotals& person : report.persons) {
        PersonTotals& sum = report.totals;
        sum.daysWorked += person.daysWorked;
        sum.minutes += person.minutes;
        sum.openRecords += person.openRecords;
        sum.overnightRecords += person.overnightRecords;
        sum.longRecords += person.longRecords;
        sum.unreadableRecords += person.unreadableRecords;
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
    if (hours.isLong)
        return QStringLiteral("Longer than %1 hours").arg(rules.longRecordMinutes / 60);
    return hours.overnight ? QStringLiteral("Overnight") : QString();
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

} // namespace Hours
