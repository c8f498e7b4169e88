#include "corrections/RecordChecks.h"

#include "data/SettingsStore.h"

namespace RecordChecks {

namespace {

QString timeExample(DateTexts::HourCycle cycle, const QLocale& locale) {
    return DateTexts::clockTime(QTime(9, 5), cycle, locale);
}

QString notATime(const QString& box, DateTexts::HourCycle cycle, const QLocale& locale) {
    return QStringLiteral("The %1 box does not hold a time. Type it as the clock shows it, for example %2.")
        .arg(box, timeExample(cycle, locale));
}

} // namespace

Result check(const Typed& typed, DateTexts::HourCycle cycle, const QDate& today, const QLocale& locale) {
    Result result;
    const QDate day = DateTexts::parseShortDate(typed.date.trimmed(), locale);
    if (!day.isValid()) {
        result.box = Box::Date;
        result.message = QStringLiteral("The Date box does not hold a date in the form %1.")
                             .arg(DateTexts::shortDateFormat(locale));
        return result;
    }
    const std::optional<QTime> in = DateTexts::parseClockTime(typed.timeIn.trimmed(), locale);
    if (!in) {
        result.box = Box::TimeIn;
        result.message = notATime(QStringLiteral("Time In"), cycle, locale);
        return result;
    }
    std::optional<QTime> out;
    if (!typed.timeOut.trimmed().isEmpty()) {
        out = DateTexts::parseClockTime(typed.timeOut.trimmed(), locale);
        if (!out) {
            result.box = Box::TimeOut;
            result.message = notATime(QStringLiteral("Time Out"), cycle, locale);
            return result;
        }
    } else if (day != today) {
        result.box = Box::TimeOut;
        result.message =
            QStringLiteral("The Time Out box does not hold a time, and only a record of today can "
                           "be left open. Type the time out, for example %1.")
                .arg(timeExample(cycle, locale));
        return result;
    }
    // Stored as the clock writes them, so that the lists and the hours read them like punched ones.
    result.ok = true;
    result.fields.day = day;
    result.fields.timeIn = DateTexts::clockTime(*in, cycle, locale);
    if (out) {
        result.fields.timeOut = DateTexts::clockTime(*out, cycle, locale);
        result.overnight = *out < *in;
    }
    return result;
}

QString overnightQuestion(const QString& timeIn, const QString& timeOut) {
    return QStringLiteral("The time out %1 is earlier than the time in %2. Is this an overnight shift "
                          "that ended on the next day?")
        .arg(timeOut, timeIn);
}

DateTexts::HourCycle clockCycle() {
    // The same choice the clock reads every second; with neither set it shows no time, and the
    // 12-hour form is its default.
    if (!SettingsStore::readFlag(QStringLiteral("Option3"), 1) &&
        SettingsStore::readFlag(QStringLiteral("Option4"), 0))
        return DateTexts::HourCycle::TwentyFourHour;
    return DateTexts::HourCycle::TwelveHour;
}

} // namespace RecordChecks
