#include "platform/DateTexts.h"

#include <QRegularExpression>

namespace DateTexts {

namespace {
QChar firstSeparator(const QString& format, QChar fallback) {
    // Invisible marks (Arabic writes "d\u200F/M\u200F/yyyy") are no separators.
    for (QChar c : format) {
        if (!c.isLetter() && !c.isSpace() && c != QLatin1Char('\'') && c.category() != QChar::Other_Format)
            return c;
    }
    return fallback;
}

QString twoDigits(int value) {
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}
} // namespace

QChar dateSeparator(const QLocale& locale) {
    return firstSeparator(locale.dateFormat(QLocale::ShortFormat), QLatin1Char('/'));
}

QChar timeSeparator(const QLocale& locale) {
    return firstSeparator(locale.timeFormat(QLocale::ShortFormat), QLatin1Char(':'));
}

QString clockDate(const QDate& date, DateOrder order, const QLocale& locale) {
    const QChar sep = dateSeparator(locale);
    const QString day = twoDigits(date.day());
    const QString month = twoDigits(date.month());
    const QString year = QStringLiteral("%1").arg(date.year(), 4, 10, QLatin1Char('0'));
    return order == DateOrder::MonthFirst ? month + sep + day + sep + year : day + sep + month + sep + year;
}

QString clockTime(const QTime& time, HourCycle cycle, const QLocale& locale) {
    const QChar sep = timeSeparator(locale);
    if (cycle == HourCycle::TwentyFourHour)
        return twoDigits(time.hour()) + sep + twoDigits(time.minute());
    int hour = time.hour() % 12;
    if (hour == 0)
        hour = 12;
    const QString designator = time.hour() < 12 ? locale.amText() : locale.pmText();
    return twoDigits(hour) + sep + twoDigits(time.minute()) + QLatin1Char(' ') + designator;
}

std::optional<QTime> parseClockTime(const QString& text, const QLocale& locale) {
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*(\\d{1,2})[^\\d\\s](\\d{1,2})(?:[^\\d\\s](\\d{1,2}))?\\s*(.*?)\\s*$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    int hour = match.captured(1).toInt();
    const int minute = match.captured(2).toInt();
    const int second = match.captured(3).isEmpty() ? 0 : match.captured(3).toInt();
    const QString designator = match.captured(4);
    if (!designator.isEmpty()) {
        const auto is = [&](const QString& candidate) {
            return !candidate.isEmpty() && designator.compare(candidate, Qt::CaseInsensitive) == 0;
        };
        const bool am = is(locale.amText()) || is(QStringLiteral("AM")) || is(QStringLiteral("A"));
        const bool pm = is(locale.pmText()) || is(QStringLiteral("PM")) || is(QStringLiteral("P"));
        if ((!am && !pm) || hour < 1 || hour > 12)
            return std::nullopt;
        hour = hour % 12 + (pm && !am ? 12 : 0);
    }
    const QTime time(hour, minute, second);
    if (!time.isValid())
        return std::nullopt;
    return time;
}

QString shortDateFormat(const QLocale& locale) {
    QString format = locale.dateFormat(QLocale::ShortFormat);
    static const QRegularExpression years(QStringLiteral("y+"));
    format.replace(years, QStringLiteral("yyyy"));
    return format;
}

QString shortDate(const QDate& date, const QLocale& locale) {
    return locale.toString(date, shortDateFormat(locale));
}

QDate parseShortDate(const QString& text, const QLocale& locale) {
    // Qt's single-letter d and M accept two digits too, so the narrow form reads both.
    QString format = shortDateFormat(locale);
    static const QRegularExpression days(QStringLiteral("d{1,2}"));
    static const QRegularExpression months(QStringLiteral("M{1,2}"));
    if (!format.contains(QStringLiteral("ddd")))
        format.replace(days, QStringLiteral("d"));
    if (!format.contains(QStringLiteral("MMM")))
        format.replace(months, QStringLiteral("M"));
    return locale.toDate(text.trimmed(), format);
}

} // namespace DateTexts
