#include "platform/DateTexts.h"

#include <QHash>
#include <QRegularExpression>
#include <algorithm>
#include <optional>

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

char32_t codePointAt(QStringView text, qsizetype at) {
    const QChar c = text[at];
    if (c.isHighSurrogate() && at + 1 < text.size() && text[at + 1].isLowSurrogate())
        return QChar::surrogateToUcs4(c, text[at + 1]);
    return c.unicode();
}

// A decimal digit of any script (the clock writes ASCII, other programs may write the locale's);
// value -1 where there is none.
struct Digit {
    int value = -1;
    qsizetype length = 0;
};
Digit digitAt(QStringView text, qsizetype at) {
    if (at >= text.size())
        return {};
    if (const char16_t plain = text[at].unicode(); plain < 0x80)
        return plain >= u'0' && plain <= u'9' ? Digit{plain - u'0', 1} : Digit{};
    const char32_t c = codePointAt(text, at);
    if (QChar::category(c) != QChar::Number_DecimalDigit)
        return {};
    return {QChar::digitValue(c), QChar::requiresSurrogates(c) ? 2 : 1};
}

// Bidirectional and other invisible marks say nothing about the time; `buffer` holds the text
// without them when there are any.
QStringView withoutFormatMarks(const QString& text, QString& buffer) {
    const auto isMark = [](QChar c) { return c.unicode() >= 0x80 && c.category() == QChar::Other_Format; };
    if (std::none_of(text.begin(), text.end(), isMark))
        return text;
    buffer = text;
    buffer.removeIf(isMark);
    return buffer;
}

enum class Half { Morning, Afternoon, Either };

// Designators compare without letter case, inner blanks and invisible marks, so "p. m." with a
// no-break space, "P.M." and "p.m." are one.
QString designatorKey(QStringView text) {
    QString key;
    key.reserve(text.size());
    for (QChar c : text) {
        // Plain letters and dots, as nearly every stored time has them, need no look-up.
        if (c.unicode() < 0x80 ? c.unicode() > 0x20 : !c.isSpace() && c.category() != QChar::Other_Format)
            key.append(c);
    }
    return key.toCaseFolded();
}

// Every locale's designators and time separators, gathered once. A designator that means
// morning in one locale and afternoon in another ("ip.": Finnish afternoon, Inari Sami morning)
// is marked Either.
struct KnownTexts {
    QHash<QString, Half> designators;
    QString separators;
};
const KnownTexts& knownTexts() {
    static const KnownTexts known = [] {
        KnownTexts all;
        const auto add = [&](const QString& text, Half half) {
            const QString key = designatorKey(text);
            if (key.isEmpty())
                return;
            const auto found = all.designators.constFind(key);
            if (found == all.designators.cend())
                all.designators.insert(key, half);
            else if (*found != half)
                all.designators.insert(key, Half::Either);
        };
        add(QStringLiteral("AM"), Half::Morning);
        add(QStringLiteral("PM"), Half::Afternoon);
        add(QStringLiteral("A"), Half::Morning);
        add(QStringLiteral("P"), Half::Afternoon);
        all.separators = QStringLiteral(":.");
        for (const QLocale& locale :
             QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory)) {
            add(locale.amText(), Half::Morning);
            add(locale.pmText(), Half::Afternoon);
            if (!all.separators.contains(timeSeparator(locale)))
                all.separators.append(timeSeparator(locale));
        }
        return all;
    }();
    return known;
}

// The reader's own locale settles a designator that other locales use the other way round;
// otherwise such a designator is not read at all rather than read as one of the two.
// The locale's own designators as keys, kept for the locale asked last: a list reads two times per row.
struct LocaleKeys {
    QLocale locale;
    QString morning;
    QString afternoon;
};
const LocaleKeys& localeKeys(const QLocale& locale) {
    thread_local std::optional<LocaleKeys> last;
    if (!last || !(last->locale == locale))
        last = LocaleKeys{locale, designatorKey(locale.amText()), designatorKey(locale.pmText())};
    return *last;
}

std::optional<Half> designatorHalf(QStringView designator, const QLocale& locale) {
    const QString key = designatorKey(designator);
    const LocaleKeys& own = localeKeys(locale);
    const bool morning = key == own.morning;
    const bool afternoon = key == own.afternoon;
    if (morning != afternoon)
        return morning ? Half::Morning : Half::Afternoon;
    const Half half = knownTexts().designators.value(key, Half::Either);
    if (half == Half::Either)
        return std::nullopt;
    return half;
}
} // namespace

QChar dateSeparator(const QLocale& locale) {
    return firstSeparator(locale.dateFormat(QLocale::ShortFormat), QLatin1Char('/'));
}

QChar timeSeparator(const QLocale& locale) {
    // The one mark between the hour and the minute fields. Words around or between them are
    // none: Bodo writes "AP \u0928\u093F h:mm", Canadian French "HH 'h' mm", Dzongkha Tibetan
    // words with their own syllable marks.
    const QString format = locale.timeFormat(QLocale::ShortFormat);
    bool quoted = false;
    qsizetype hourEnd = -1;
    for (qsizetype at = 0; at < format.size(); ++at) {
        const QChar c = format[at];
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        else if (!quoted && (c == QLatin1Char('h') || c == QLatin1Char('H')))
            hourEnd = at + 1;
        else if (!quoted && c == QLatin1Char('m') && hourEnd >= 0) {
            QString between = format.mid(hourEnd, at - hourEnd);
            between.removeIf([](QChar b) { return b.isSpace() || b.category() == QChar::Other_Format; });
            if (between.size() == 1 && (between[0].isPunct() || between[0].isSymbol()))
                return between[0];
            break;
        }
    }
    return QLatin1Char(':');
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
    // Hours, a separator, minutes, optionally a separator and seconds; the designator, if any,
    // before or after. Read by hand: today's list reads two of these per row.
    QString withoutMarks;
    const QStringView view = withoutFormatMarks(text, withoutMarks).trimmed();
    qsizetype at = 0;
    while (at < view.size() && digitAt(view, at).value < 0)
        ++at;
    const QStringView before = view.left(at).trimmed();
    const auto number = [&](int& value) {
        int count = 0;
        value = 0;
        for (Digit digit = digitAt(view, at); count < 2 && digit.value >= 0; digit = digitAt(view, at)) {
            value = value * 10 + digit.value;
            at += digit.length;
            ++count;
        }
        return count > 0;
    };
    // Only the marks that some locale writes between hours and minutes: "9/22" is no time.
    // Seconds follow the same mark as the minutes.
    QChar mark;
    const auto separator = [&] {
        if (at >= view.size())
            return false;
        const QChar c = view[at];
        const bool known = c == QLatin1Char(':') || knownTexts().separators.contains(c);
        if (mark.isNull() ? !known : c != mark)
            return false;
        mark = view[at++];
        return true;
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
    const QStringView after = view.mid(at).trimmed();
    if (!before.isEmpty() && !after.isEmpty())
        return std::nullopt;
    const QStringView designator = before.isEmpty() ? after : before;
    if (!designator.isEmpty()) {
        const std::optional<Half> half = designatorHalf(designator, locale);
        if (!half || hour < 1 || hour > 12)
            return std::nullopt;
        hour = hour % 12 + (*half == Half::Afternoon ? 12 : 0);
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
