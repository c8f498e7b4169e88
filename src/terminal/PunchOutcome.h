#pragma once

#include "data/DatabaseEngine.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <optional>

class AttendanceDatabase;
class RecordSet;

// What a terminal says about a punch, and what it remembers to keep one badge read from punching twice.
namespace TerminalPunch {

// The punches this terminal made lately, by person (letter case ignored, as numbers compare).
class RecentPunches {
public:
    struct Earlier {
        PunchKind kind;
        QString time; // as stored
    };
    // The person's punch at most `seconds` before `now`, if any.
    std::optional<Earlier> within(const QString& number, const QDateTime& now, int seconds) const;
    void remember(const QString& number, PunchKind kind, const QString& time, const QDateTime& now);

private:
    struct Entry {
        Earlier punch;
        QDateTime at;
    };
    QHash<QString, Entry> m_last;
};

// "Already clocked in at 09:05 AM", "Already clocked out at 05:00 PM".
QString alreadyText(const RecentPunches::Earlier& earlier);

// Whether an open record (LogDate, TimeIn) began more than `hours` before `now`. A time in that
// cannot be read counts from the start of its day.
bool openLongerThan(const RecordSet& record, const QDateTime& now, int hours);

// "You did not clock out on <day>; an administrator will correct it."
QString forgottenText(const QDate& day);

// The banner's lines for a written punch: the name, the time stored, the hours worked today.
QString doneText(const QString& name, const QString& time, const QString& hoursToday);

// The person's hours from today's closed records, "7:05".
QString hoursToday(AttendanceDatabase& db, const QString& number, const QDate& today);

} // namespace TerminalPunch
