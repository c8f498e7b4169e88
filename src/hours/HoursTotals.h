#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>
#include <QTimeZone>
#include <optional>
#include <vector>

class AttendanceDatabase;
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

// An unpaid meal break: a day with more than `afterMinutes` worked owes `minutes` of break.
struct MealBreak {
    int afterMinutes = 0;
    int minutes = 0;
    friend bool operator==(const MealBreak&, const MealBreak&) = default;
};

// The workplace's pay rules. The default is no rule at all: paid hours are the hours present.
struct Rules {
    // A record longer than this is most likely a missed punch out that a later punch closed.
    int longRecordMinutes = 16 * 60;
    // Each punch time rounded to the nearest multiple of this (0: not rounded), the midpoint up.
    int roundingMinutes = 0;
    // By afterMinutes, smallest first; the largest threshold a day passes decides its break.
    std::vector<MealBreak> breaks;
    std::optional<int> dailyLimitMinutes;
    std::optional<int> weeklyLimitMinutes;
    Qt::DayOfWeek firstDayOfWeek = QLocale().firstDayOfWeek();
    // The zone whose clock the punch times were read from.
    QTimeZone zone = QTimeZone::systemTimeZone();
    // Times of day subtracted as they read, whatever the clock did between them, and no pay rule:
    // the figures before the rules existed.
    bool wallClock = false;

    bool anyPayRule() const {
        return roundingMinutes > 0 || !breaks.empty() || dailyLimitMinutes || weeklyLimitMinutes;
    }
};

// The rules as this user set them: "LongRecordHours" (whole hours, 16 when absent). Throws
// std::runtime_error when the setting is no whole number of hours from 1 to 168.
Rules rulesFromSettings();

// What one record counts.
struct RecordHours {
    enum class State { Closed, Open, Unreadable };
    State state = State::Closed;
    int minutes = 0;        // closed records only: the time present
    bool overnight = false; // closed before the time of day it opened: the shift crossed midnight
    bool isLong = false;
    // In or out falls on an hour the clock skipped or went through twice.
    bool clockChange = false;
    // The punch times as the rounding rule has them, and the minutes between those (closed records).
    QTime roundedIn;
    QTime roundedOut;
    int roundedMinutes = 0;
};
// The time that passed from in to out in the rules' zone. Out lies on the day the record carries
// (punching out moves the record to that day), in on the same day or, when its time of day is the
// later one, on the day before. An open record (no time out) counts 0; a time that cannot be read
// counts 0 and is Unreadable.
RecordHours hoursOf(const Record& record, const Rules& rules);

struct PersonTotals {
    QString number;
    QString name;
    QString department;
    int daysWorked = 0;    // days with at least one closed record (for the totals: the sum of these)
    long long minutes = 0; // present
    int openRecords = 0;
    int overnightRecords = 0;
    int longRecords = 0;
    int unreadableRecords = 0;
    int clockChangeRecords = 0;
    long long breakMinutes = 0; // unpaid breaks deducted
    long long paidMinutes = 0;  // present, rounded, less the breaks deducted
    long long regularMinutes = 0;
    long long overtimeMinutes = 0; // daily and weekly, each hour counted once
};

// What the rules make of one person's day.
struct DayPay {
    QString number;
    QDate day;
    long long workedMinutes = 0; // the records' rounded minutes
    long long gapMinutes = 0;    // between the day's records: breaks already taken
    long long breakMinutes = 0;  // deducted: what the threshold asks beyond the gaps
    long long paidMinutes = 0;
    long long overtimeMinutes = 0;
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
    std::vector<DayPay> days; // per person (in the order of persons) and day
    bool payRules = false;    // made with a rounding, break or overtime rule
};

// Records belong to the person of their number, letter case ignored, and to the day they carry.
Report totals(const std::vector<Record>& records, const Rules& rules);

// What a record's hours need said beside them: "Open", "Overnight", "Longer than 16 hours",
// "Time cannot be read; not counted", followed by "clock change" where it applies; "" for an
// ordinary record.
QString note(const RecordHours& hours, const Rules& rules);
// What a day's deduction needs said: "break deducted 0:15"; "" when nothing was deducted.
QString note(const DayPay& day);
// For each of `records` (those the report was made of), the deduction of its person's day, noted on
// the last record of that day; "" elsewhere.
std::vector<QString> deductionNotes(const std::vector<Record>& records, const Report& report);

// The workplace's rules as stored in the database. A database that does not hold LongRecordHours
// yet takes this user's setting as its starting value (rulesFromSettings) and keeps it from then on.
// Throws what the database throws, and std::runtime_error for a stored rule that cannot be read.
Rules workplaceRules(AttendanceDatabase& db);
// The same rules without writing anything: a workplace that holds no LongRecordHours yet has this
// user's. For a terminal, whose server login may not change the rules.
Rules readRules(AttendanceDatabase& db);
// The one place that says how long a record may be before it is suspect, in whole hours.
int longRecordHours(AttendanceDatabase& db);

// "7:05" for 425 minutes; "123:00" past a day.
QString clockHours(long long minutes);
// Hours in hundredths, rounded to the nearest: 708 for 425 minutes.
long long hundredthsOfHours(long long minutes);
// Two decimal places, rounded to the nearest hundredth: "7.08" for 425 minutes.
QString decimalHours(long long minutes, const QString& decimalPoint = QStringLiteral("."));

} // namespace Hours
