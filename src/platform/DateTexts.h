#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>
#include <optional>

// The regional date and time texts: separators and AM/PM texts follow the default QLocale.
namespace DateTexts {

enum class DateOrder { MonthFirst, DayFirst };
enum class HourCycle { TwelveHour, TwentyFourHour };

QChar dateSeparator(const QLocale& locale = QLocale());
QChar timeSeparator(const QLocale& locale = QLocale());

// The clock's texts: "mm/dd/yyyy" or "dd/mm/yyyy"; "hh:nn AMPM" or "HH:nn".
QString clockDate(const QDate& date, DateOrder order, const QLocale& locale = QLocale());
QString clockTime(const QTime& time, HourCycle cycle, const QLocale& locale = QLocale());

// Reads back a time text the clock wrote, in either cycle: "09:05 AM", "9:05 pm", "21:05",
// with the locale's or the English designators in any letter case. Seconds are accepted too.
std::optional<QTime> parseClockTime(const QString& text, const QLocale& locale = QLocale());

// The short-date form: the locale's short date with the year widened to four digits.
QString shortDateFormat(const QLocale& locale = QLocale());
QString shortDate(const QDate& date, const QLocale& locale = QLocale());
// Accepts the short-date form (one- or two-digit day and month); an invalid QDate otherwise.
QDate parseShortDate(const QString& text, const QLocale& locale = QLocale());

} // namespace DateTexts
