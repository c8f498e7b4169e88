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

// Reads a stored time text, whichever locale wrote it: "21:05", "09:05 AM", "9:05 pm",
// "09:05 오전", "下午9:05", "٠٩:٠٥ م". The designator may stand before or after the time and be any
// locale's, in any letter case; seconds are accepted too. Nothing is guessed: a designator that
// means morning in one locale and afternoon in another is read only where `locale` (the reader's)
// uses it, and any other text is no time.
std::optional<QTime> parseClockTime(const QString& text, const QLocale& locale = QLocale());

// The short-date form: the locale's short date with the year widened to four digits.
QString shortDateFormat(const QLocale& locale = QLocale());
QString shortDate(const QDate& date, const QLocale& locale = QLocale());
// Accepts the short-date form (one- or two-digit day and month); an invalid QDate otherwise.
QDate parseShortDate(const QString& text, const QLocale& locale = QLocale());

} // namespace DateTexts
