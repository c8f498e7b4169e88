#pragma once

#include "data/RecordSet.h"

#include <QDateTime>
#include <QString>

class AttendanceDatabase;

// The check behind the punch and the administrator gate: the person is found by number, then the
// typed password is verified against the stored hash. Wrong passwords are counted per typed number
// (whether or not a person has it) and a number with too many of them is refused for a while. An
// unknown number costs the same work and gives the same answer as a wrong password, so the
// terminal does not tell which numbers exist.
namespace Login {

enum class Outcome { Match, NoMatch, Refused };

struct Result {
    Outcome outcome = Outcome::NoMatch;
    RecordSet person;       // on a match: the person's row, current
    QDateTime refusedUntil; // when refused
};

// Throws DatabaseError (and std::runtime_error from hashing) like any catalogue statement.
Result check(AttendanceDatabase& db, const QString& number, const QString& password);

// The end of a refusal as the clock shows time (to the minute, never before it ends).
QString untilText(const QDateTime& until);
// What the terminal says to a refused number.
QString refusedMessage(const QDateTime& until);

} // namespace Login
