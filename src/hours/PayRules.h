#pragma once

#include "hours/HoursTotals.h"

#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

// The pay rules as the database keeps them: one text per rule, under its name.
namespace Hours::PayRules {

inline const QString RoundingMinutes = QStringLiteral("RoundingMinutes");
inline const QString Breaks = QStringLiteral("Breaks");
inline const QString DailyLimit = QStringLiteral("DailyLimit");
inline const QString WeeklyLimit = QStringLiteral("WeeklyLimit");
inline const QString FirstDayOfWeek = QStringLiteral("FirstDayOfWeek");
inline const QString LongRecordHours = QStringLiteral("LongRecordHours");

// The roundings a workplace may choose, in minutes (0: none). None favours either side.
const std::vector<int>& roundings();

// Every rule as stored; a rule that is not set has a null value (its row is removed).
std::vector<std::pair<QString, QString>> stored(const Rules& rules);
// `start` with every stored rule applied (a null value: not set). Throws std::runtime_error naming a rule
// that cannot be read.
Rules fromStored(const std::vector<std::pair<QString, QString>>& rows, Rules start);

// "6:00=30; 9:00=45": more than six hours worked owe 30 minutes, more than nine 45. Empty: none.
QString breaksText(const std::vector<MealBreak>& breaks);
// Throws std::runtime_error for a text that is no such list, or whose breaks do not grow with the
// hours worked.
std::vector<MealBreak> breaksFromText(const QString& text);
// "8:00" or "40" (whole hours) as minutes; throws std::runtime_error for anything else.
int limitFromText(const QString& text);

// The rules as people read them, one line each ("Rounding: to the nearest 15 minutes").
QStringList described(const Rules& rules);

} // namespace Hours::PayRules
