#include "terminal/PunchOutcome.h"

#include "data/AttendanceDatabase.h"
#include "hours/HoursTotals.h"
#include "platform/DateTexts.h"

#include <QLocale>
#include <QTimeZone>

namespace TerminalPunch {

std::optional<RecentPunches::Earlier> RecentPunches::within(const QString& number, const QDateTime& now,
                                                            int seconds) const {
    const auto found = m_last.constFind(number.toCaseFolded());
    if (found == m_last.cend())
        return std::nullopt;
    const qint64 since = found->at.msecsTo(now);
    if (since < 0 || since >= qint64(seconds) * 1000)
        return std::nullopt;
    return found->punch;
}

void RecentPunches::remember(const QString& number, PunchKind kind, const QString& time,
                             const QDateTime& now) {
    m_last.insert(number.toCaseFolded(), {{kind, time}, now});
}

QString alreadyText(const RecentPunches::Earlier& earlier) {
    return (earlier.kind == PunchKind::In ? QStringLiteral("Already clocked in at %1")
                                          : QStringLiteral("Already clocked out at %1"))
        .arg(earlier.time);
}

bool openLongerThan(const RecordSet& record, const QDateTime& now, int hours) {
    const QDate day = record.value(QStringLiteral("LogDate")).toDate();
    if (!day.isValid())
        return false;
    const std::optional<QTime> in = DateTexts::parseClockTime(record.text(QStringLiteral("TimeIn")));
    const QDateTime began(day, in.value_or(QTime(0, 0)), now.timeZone());
    return began.secsTo(now) > qint64(hours) * 3600;
}

QString forgottenText(const QDate& day) {
    return QStringLiteral("You did not clock out on %1; an administrator will correct it.")
        .arg(QLocale().toString(day, QLocale::LongFormat));
}

QString doneText(const QString& name, const QString& time, const QString& hoursToday) {
    // No hours when the server went away right after storing the punch.
    if (hoursToday.isEmpty())
        return QStringLiteral("%1\nTime stored: %2").arg(name, time);
    return QStringLiteral("%1\nTime stored: %2\nHours worked today: %3").arg(name, time, hoursToday);
}

QString hoursToday(AttendanceDatabase& db, const QString& number, const QDate& today) {
    long long minutes = 0;
    const Hours::Rules rules;
    for (const Hours::Record& record : Hours::records(db.loginsOn(today))) {
        if (record.number.toCaseFolded() != number.toCaseFolded())
            continue;
        const Hours::RecordHours hours = Hours::hoursOf(record, rules);
        if (hours.state == Hours::RecordHours::State::Closed)
            minutes += hours.minutes;
    }
    return Hours::clockHours(minutes);
}

} // namespace TerminalPunch
