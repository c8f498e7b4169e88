#include "credentials/Login.h"

#include "credentials/PasswordHash.h"
#include "credentials/Throttle.h"
#include "data/AttendanceDatabase.h"
#include "data/SettingsStore.h"
#include "platform/DateTexts.h"

namespace Login {

Result check(AttendanceDatabase& db, const QString& number, const QString& password) {
    return checkWith(db, number, password);
}

namespace {
// The clock shows no seconds: the refusal is announced to the minute after it ends, never before.
QDateTime wholeMinuteFrom(const QDateTime& moment) {
    const qint64 ms = moment.toMSecsSinceEpoch();
    const qint64 minute = 60 * 1000;
    return QDateTime::fromMSecsSinceEpoch((ms + minute - 1) / minute * minute, Qt::UTC);
}
} // namespace

QString untilText(const QDateTime& until) {
    // The clock's 12- or 24-hour form; 12-hour when the choice cannot be read.
    auto cycle = DateTexts::HourCycle::TwelveHour;
    try {
        if (!SettingsStore::readFlag(QStringLiteral("Option3"), 1) &&
            SettingsStore::readFlag(QStringLiteral("Option4"), 0))
            cycle = DateTexts::HourCycle::TwentyFourHour;
    } catch (const std::exception&) {
        cycle = DateTexts::HourCycle::TwelveHour;
    }
    return DateTexts::clockTime(wholeMinuteFrom(until).toLocalTime().time(), cycle);
}

QString refusedMessage(const QDateTime& until) {
    return QStringLiteral("Too many wrong passwords for this person number. It is refused until %1; "
                          "please try again then.")
        .arg(untilText(until));
}

} // namespace Login
