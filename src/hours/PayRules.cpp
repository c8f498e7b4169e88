#include "hours/PayRules.h"

#include <QLocale>
#include <QRegularExpression>
#include <algorithm>
#include <stdexcept>

namespace Hours::PayRules {

namespace {

[[noreturn]] void unreadable(const QString& rule, const QString& value, const QString& expected) {
    throw std::runtime_error(
        QStringLiteral("The pay rule %1 is \"%2\"; %3.").arg(rule, value, expected).toStdString());
}

std::optional<int> minutesOf(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^\\s*(\\d{1,3})(?::([0-5]\\d))?\\s*$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1).toInt() * 60 + (match.captured(2).isEmpty() ? 0 : match.captured(2).toInt());
}

QString limitText(int minutes) {
    return clockHours(minutes);
}

} // namespace

const std::vector<int>& roundings() {
    static const std::vector<int> all = {0, 5, 6, 10, 15};
    return all;
}

std::vector<std::pair<QString, QString>> stored(const Rules& rules) {
    const auto optionalLimit = [](const std::optional<int>& limit) {
        return limit ? limitText(*limit) : QString();
    };
    return {
        {RoundingMinutes, rules.roundingMinutes > 0 ? QString::number(rules.roundingMinutes) : QString()},
        {Breaks, rules.breaks.empty() ? QString() : breaksText(rules.breaks)},
        {DailyLimit, optionalLimit(rules.dailyLimitMinutes)},
        {WeeklyLimit, optionalLimit(rules.weeklyLimitMinutes)},
        {FirstDayOfWeek, QString::number(rules.firstDayOfWeek)},
        {LongRecordHours, QString::number(rules.longRecordMinutes / 60)},
    };
}

Rules fromStored(const std::vector<std::pair<QString, QString>>& rows, Rules start) {
    Rules rules = std::move(start);
    for (const auto& [rule, value] : rows) {
        if (value.isNull())
            continue; // not set
        if (rule == RoundingMinutes) {
            bool isNumber = false;
            const int minutes = value.toInt(&isNumber);
            const auto& allowed = roundings();
            if (!isNumber || std::find(allowed.begin(), allowed.end(), minutes) == allowed.end())
                unreadable(rule, value, QStringLiteral("it must be 0, 5, 6, 10 or 15 minutes"));
            rules.roundingMinutes = minutes;
        } else if (rule == Breaks) {
            rules.breaks = breaksFromText(value);
        } else if (rule == DailyLimit) {
            rules.dailyLimitMinutes = limitFromText(value);
        } else if (rule == WeeklyLimit) {
            rules.weeklyLimitMinutes = limitFromText(value);
        } else if (rule == FirstDayOfWeek) {
            bool isNumber = false;
            const int day = value.toInt(&isNumber);
            if (!isNumber || day < Qt::Monday || day > Qt::Sunday)
                unreadable(rule, value, QStringLiteral("it must be a day from 1 (Monday) to 7 (Sunday)"));
            rules.firstDayOfWeek = static_cast<Qt::DayOfWeek>(day);
        } else if (rule == LongRecordHours) {
            bool isNumber = false;
            const int hours = value.toInt(&isNumber);
            if (!isNumber || hours < 1 || hours > 168)
                unreadable(rule, value, QStringLiteral("it must be a whole number of hours from 1 to 168"));
            rules.longRecordMinutes = hours * 60;
        }
        // A rule this program does not know is one a newer program added: it is left alone.
    }
    return rules;
}

QString breaksText(const std::vector<MealBreak>& breaks) {
    QStringList parts;
    for (const MealBreak& meal : breaks)
        parts << QStringLiteral("%1=%2").arg(clockHours(meal.afterMinutes)).arg(meal.minutes);
    return parts.join(QStringLiteral("; "));
}

std::vector<MealBreak> breaksFromText(const QString& text) {
    std::vector<MealBreak> breaks;
    const QString expected =
        QStringLiteral("it must read like \"6:00=30; 9:00=45\": hours worked, then the minutes of break");
    for (const QString& part : text.split(u';', Qt::SkipEmptyParts)) {
        const QStringList sides = part.split(u'=');
        bool isNumber = false;
        const int minutes = sides.size() == 2 ? sides[1].trimmed().toInt(&isNumber) : 0;
        const std::optional<int> after = sides.size() == 2 ? minutesOf(sides[0]) : std::nullopt;
        if (!after || !isNumber || minutes <= 0 || minutes >= *after)
            unreadable(Breaks, text, expected);
        // A longer day owes a longer break; otherwise the list means nothing clear.
        if (!breaks.empty() && (*after <= breaks.back().afterMinutes || minutes <= breaks.back().minutes))
            unreadable(Breaks, text, QStringLiteral("each break must follow more hours and be longer"));
        breaks.push_back({*after, minutes});
    }
    return breaks;
}

int limitFromText(const QString& text) {
    const std::optional<int> minutes = minutesOf(text);
    if (!minutes || *minutes <= 0)
        throw std::runtime_error(
            QStringLiteral("\"%1\" is no number of hours like 8:00 or 40.").arg(text).toStdString());
    return *minutes;
}

QStringList described(const Rules& rules) {
    QStringList lines;
    lines
        << (rules.roundingMinutes > 0
                ? QStringLiteral("Rounding: each punch to the nearest %1 minutes").arg(rules.roundingMinutes)
                : QStringLiteral("Rounding: none"));
    if (rules.breaks.empty()) {
        lines << QStringLiteral("Unpaid breaks: none");
    } else {
        QStringList parts;
        for (const MealBreak& meal : rules.breaks)
            parts << QStringLiteral("more than %1 worked: %2 minutes")
                         .arg(clockHours(meal.afterMinutes))
                         .arg(meal.minutes);
        lines << QStringLiteral("Unpaid breaks: ") + parts.join(QStringLiteral("; "));
    }
    lines << (rules.dailyLimitMinutes
                  ? QStringLiteral("Daily overtime: past %1").arg(clockHours(*rules.dailyLimitMinutes))
                  : QStringLiteral("Daily overtime: none"));
    lines << (rules.weeklyLimitMinutes
                  ? QStringLiteral("Weekly overtime: past %1").arg(clockHours(*rules.weeklyLimitMinutes))
                  : QStringLiteral("Weekly overtime: none"));
    lines << QStringLiteral("First day of the week: %1")
                 .arg(QLocale(QLocale::English).dayName(rules.firstDayOfWeek));
    lines << QStringLiteral("Long records: longer than %1 hours").arg(rules.longRecordMinutes / 60);
    return lines;
}

} // namespace Hours::PayRules
