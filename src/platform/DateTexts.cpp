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
    // Hours, a separator, minutes, optionally a separator and seconds, then the designator if any.
    // Read by hand: today's list reads two of these per row.
    const QStringView view = QStringView(text).trimmed();
    qsizetype at = 0;
    const auto number = [&](int& value) {
        int count = 0;
        value = 0;
        while (at < view.size() && count < 2 && view[at].isDigit() && view[at].unicode() < 0x80) {
            value = value * 10 + (view[at].unicode() - '0');
            ++at;
            ++count;
        }
        return count > 0;
    };
    const auto separator = [&] {
        if (at < view.size() && !view[at].isDigit() && !view[at].isSpace()) {
            ++at;
            return true;
        }
        return false;
    };
    int hour = 0;
    int minute = 0;
    int second = 0;
    if (!number(hour) || !separator() || !number(minute))
        return std::nullopt;
    const qsizetype afterMinutes = at;
    if (!(separator() && number(second))) {
        at = afterMinutes;
        second = 0;
    }
    const QStringView designator = view.mid(at).trimmed();
    if (!designator.isEmpty()) {
        const auto is = [&](const QString& candidate) {
            return !candidate.isEmpty() &&
                   designator.compare(QStringView(candidate), Qt::CaseInsensitive) == 0;
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
