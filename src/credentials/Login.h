#pragma once

#include "credentials/PasswordHash.h"
#include "credentials/Throttle.h"
#include "data/RecordSet.h"
#include "platform/SystemClock.h"

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

// The same check against any keeper of persons and counts with the catalogue's look-ups
// (personByNumber, loginFailures, countingMoment, recordLoginFailure, clearLoginFailures): the server's
// database, or a terminal's local copy while the server is away.
template <typename Persons>
Result checkWith(Persons& persons, const QString& number, const QString& password) {
    const QDateTime now = persons.countingMoment();
    const Throttle::State failures = persons.loginFailures(number);
    if (const std::optional<QDateTime> until = Throttle::refusedUntil(failures, now))
        return {Outcome::Refused, RecordSet(), *until};

    RecordSet people = persons.personByNumber(number);
    if (people.eof())
        PasswordHash::verifyAgainstNobody(password);
    // Old files may hold a number twice; any person with it whose password matches will do.
    for (; !people.eof(); people.moveNext()) {
        if (PasswordHash::verify(people.text(QStringLiteral("Password")), password)) {
            if (failures.failures > 0)
                persons.clearLoginFailures(number);
            return {Outcome::Match, people, QDateTime()};
        }
    }
    persons.recordLoginFailure(number, now);
    return {Outcome::NoMatch, RecordSet(), QDateTime()};
}

// The end of a refusal as the clock shows time (to the minute, never before it ends).
QString untilText(const QDateTime& until);
// What the terminal says to a refused number.
QString refusedMessage(const QDateTime& until);

} // namespace Login
