#pragma once

#include <QDate>
#include <QString>
#include <optional>
#include <vector>

class RecordSet;

// Hours worked per person over a set of attendance records, for payroll. Plain functions over
// records: the Hours window and the command line share them.
namespace Hours {

// One attendance record with its person's fields; a record whose person is gone has an empty name.
struct Record {
    QString number;
    QString name;
    QString department;
    QDate day;
    QString timeIn;
    QString timeOut;
    // Why the record was stored to correct (a punch refused or doubtful on arrival); empty: nothing.
    QString toCorrect = {};
};

// Reads every row of a record set of records with their persons' fields.
std::vector<Record> records(RecordSet rows);

struct Rules {
    // A record longer than this is most likely a missed punch out that a later punch closed.
    int longRecordMinutes = 16 * 60;
};

// The rules as this user set them: "LongRecordHours" (whole hours, 16 when absent). Throws
// std::runtime_error when the setting is no whole number of hours from 1 to 168.
Rules rulesFromSettings();

// What one record counts.
struct RecordHours {
    enum class State { Closed, Open, Unreadable };
    State state = State::Closed;
    int minutes = 0;        // closed records only
    bool overnight = false; // closed before the time of day it opened: the shift crossed midnight
    bool isLong = false;
};
// Time out minus time in as times of day, plus 24 hours when time out is the earlier one. An open
// record (no time out) counts 0; a time that cannot be read counts 0 and is Unreadable.
RecordHours hoursOf(const Record& record, const Rules& rules);

struct PersonTotals {
    QString number;
    QString name;
    QString department;
    int daysWorked = 0; // days with at least one closed record (for the totals: the sum of these)
    long long minutes = 0;
    int openRecords = 0;
    int overnightRecords = 0;
    int longRecords = 0;
    int unreadableRecords = 0;
};

// A record the window lists for someone to look at before payroll.
struct RecordToCorrect {
    Record record;
    RecordHours hours;
};

struct Report {
    std::vector<PersonTotals> persons; // by person number, letter case ignored
    PersonTotals totals;
    // Long and unreadable records, those stored to correct, and open records that a record of the person
    // on a later day follows (a forgotten clock-out), in the order given.
    std::vector<RecordToCorrect> toCorrect;
};

// Records belong to the person of their number, letter case ignored, and to the day they carry.
Report totals(const std::vector<Record>& records, const Rules& rules);

// What a record's hours need said beside them: "Open", "Overnight", "Longer than 16 hours",
// "Time cannot be read; not counted"; "" for an ordinary record.
QString note(const RecordHours& hours, const Rules& rules);

// "7:05" for 425 minutes; "123:00" past a day.
QString clockHours(long long minutes);
// Hours in hundredths, rounded to the nearest: 708 for 425 minutes.
long long hundredthsOfHours(long long minutes);
// Two decimal places, rounded to the nearest hundredth: "7.08" for 425 minutes.
QString decimalHours(long long minutes, const QString& decimalPoint = QStringLiteral("."));

} // namespace Hours
