#pragma once

#include "data/CredentialRules.h"
#include "data/RecordSet.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <set>
#include <stdexcept>
#include <vector>

// The fields the person editor writes. An update without a password keeps the stored one.
struct PersonFields {
    QString number;
    std::optional<QString> password;
    QString name;
    QString department;
    QString position;
    bool isAdmin = false;
};

// A whole workplace as stored, for moving it from one database into another. A null QString stands
// for Null (apart from the empty text), an invalid day for a Null day; records keep the order in
// which they were written, which decides a person's latest record.
struct StoredPerson {
    QString number;
    QString password;
    QString name;
    QString department;
    QString position;
    qint64 isAdmin = 0;
    QString badge; // null: no badge
};
struct StoredRecord {
    QString number;
    QDate day;
    QString timeIn;
    QString timeOut;
    qint64 id = 0; // kept in the copy, so that the audit trail still names the same records
    qint64 corrected = 0;
};
// One audit row as stored; a null QString stands for Null.
struct StoredAudit {
    qint64 id = 0;
    QString changedAt;
    QString terminal;
    QString who;
    QString what;
    std::optional<qint64> recordId;
    QString number;
    QString before;
    QString after;
    QString serverRole;
    QString clientAddress;
    qint64 claimed = 1;
};
struct StoredLoginFailures {
    QString number;
    qint64 failures = 0;
    QString since; // UTC, ISO 8601 with milliseconds
};
struct Workplace {
    std::vector<StoredPerson> persons;
    std::vector<StoredRecord> records;
    std::vector<StoredAudit> audit; // in the order written
    std::vector<StoredLoginFailures> loginFailures;
    std::vector<std::pair<QString, QString>> payRules; // rule and value
};

enum class PunchKind { In, Out };

// The fields of one attendance record as an administrator writes them. No time out: still open.
struct RecordFields {
    QString number;
    QDate day;
    QString timeIn;
    std::optional<QString> timeOut;
};

// How a record came to be what it is; the reports list marks the records an administrator touched.
enum class RecordMark { Punched = 0, Corrected = 1, Added = 2 };

// Who makes a change, from where and when: the first three fields of its audit row.
struct AuditStamp {
    QString changedAt; // UTC, ISO 8601
    QString terminal;  // the computer's host name
    QString who;       // the person number of the administrator, or of the person punching
};

// One row of the audit trail. The values are compact JSON texts of the fields (never a password);
// empty where there was nothing before or is nothing after.
struct AuditEntry {
    AuditStamp stamp;
    QString what;
    std::optional<qint64> recordId;
    QString number; // the person the change concerns
    QString before;
    QString after;
};

// What the audit window asks for: changes made from day `from` to day `to` (UTC days, both
// included), only those concerning or made by the person `number`, only of the kind `what`.
struct AuditFilter {
    QDate from;
    QDate to;
    std::optional<QString> number;
    std::optional<QString> what;
};

// A stamp for a change made now on this computer by `who`.
AuditStamp stampNow(const QString& who);

// The kinds of change the audit trail names.
namespace AuditWhat {
inline const QString PunchIn = QStringLiteral("punch in");
inline const QString PunchOut = QStringLiteral("punch out");
inline const QString RecordCorrected = QStringLiteral("record corrected");
inline const QString RecordAdded = QStringLiteral("record added");
inline const QString RecordDeleted = QStringLiteral("record deleted");
inline const QString PersonAdded = QStringLiteral("person added");
inline const QString PersonUpdated = QStringLiteral("person updated");
inline const QString PersonDeleted = QStringLiteral("person deleted, with its records");
inline const QString PunchToCorrect = QStringLiteral("punch to correct");
inline const QString ClockOff = QStringLiteral("terminal clock off");
// The file's triggers that keep the trail were missing or altered when the program opened it.
inline const QString TriggersRestored = QStringLiteral("audit triggers missing, put back");
inline const QString PayRulesChanged = QStringLiteral("pay rules changed");
const QStringList& all();
} // namespace AuditWhat

// What a punch that takes its direction from the person's latest record wrote.
struct TogglePunch {
    PunchKind kind = PunchKind::In;
    // The day of an open record the punch left open rather than closed (a forgotten clock-out).
    std::optional<QDate> leftOpenSince;
};

enum class PunchOutcome {
    Written,   // the record was opened or the open records closed
    AlreadyIn, // punch in refused: the person's latest record is still open
    NotYetIn,  // punch out refused: the person has no record at all
};

// A punch a terminal took and delivers afterwards: the terminal's id and its sequence number there
// name it once and for all. `toCorrect`, when not empty, says why the record is listed to correct
// even if the rules accept it (the terminal's clock was off).
struct DeliveredPunch {
    QString terminal;
    qint64 sequence = 0;
    PunchKind kind = PunchKind::In;
    QString number;
    QDate day;
    QString time;
    QString toCorrect;
    bool toggle = false; // a badge's punch: its direction comes from the person's records on arrival
};

enum class DeliveryOutcome {
    Stored,          // written as a punch is
    StoredToCorrect, // written, and listed to correct with the reason
    Refused,         // the rules refused it and nothing but the receipt was stored (see deliver)
    AlreadyStored,   // delivered before: nothing changed
};

// A failure of the database layer. The text is the description the error box shows; the kind lets
// callers tell the failures apart without reading the text.
class DatabaseError : public std::runtime_error {
public:
    enum class Kind { Other, NotOpen, Busy, Duplicate, Interrupted, Unreachable, NotPermitted };

    DatabaseError(Kind kind, const QString& description);
    Kind kind() const { return m_kind; }

private:
    Kind m_kind;
};

// One database engine behind the statement catalogue. Each engine owns its connection, its SQL
// and its way of ignoring letter case across Unicode; callers see the same results from every
// engine. Reads return a complete record set; every function throws DatabaseError.
class DatabaseEngine {
public:
    virtual ~DatabaseEngine() = default;

    // How long a statement waits for another program that holds the database.
    virtual void setBusyTimeout(int milliseconds) = 0;
    // How long one statement may run before it is stopped.
    virtual void setStatementTimeout(int milliseconds) = 0;

    virtual RecordSet administrators() = 0;
    virtual RecordSet personsByName() = 0;
    virtual RecordSet personByNumber(const QString& number) = 0;
    virtual void insertPerson(const PersonFields& person) = 0;
    virtual void updatePerson(const QString& current, const PersonFields& person) = 0;
    virtual void deletePerson(const QString& number) = 0;
    virtual void deleteRecordsOfPerson(const QString& number) = 0;
    // The record with this identity (RecordId, EmployeeNo, LogDate, TimeIn, TimeOut, Corrected).
    virtual RecordSet recordById(qint64 id) = 0;
    // A new record with its mark; returns its identity.
    virtual qint64 insertRecord(const RecordFields& record, RecordMark mark) = 0;
    virtual void updateRecord(qint64 id, const RecordFields& record, RecordMark mark) = 0;
    virtual void appendAudit(const AuditEntry& entry) = 0;
    // Audit rows (AuditId, ChangedAt, Terminal, Who, What, RecordId, EmployeeNo, ValuesBefore,
    // ValuesAfter, ServerRole, ClientAddress, Claimed), newest first.
    virtual RecordSet auditEntries(const AuditFilter& filter) = 0;
    virtual RecordSet recordsOfPerson(const QString& number) = 0;
    virtual RecordSet latestRecordOfPerson(const QString& number) = 0;
    // Opens a record; returns its identity.
    virtual qint64 punchIn(const QString& number, const QDate& day, const QString& timeIn) = 0;
    // Closes every open record of the person; returns their identities, none when nothing was open.
    virtual std::vector<qint64> punchOut(const QString& number, const QDate& day, const QString& timeOut) = 0;
    virtual void deleteRecord(const QString& number, const QDate& day, const QString& timeIn) = 0;
    virtual RecordSet loginsOn(const QDate& day) = 0;
    virtual RecordSet loginsOfPerson(const QString& number) = 0;
    virtual RecordSet allLogins() = 0;
    virtual RecordSet loginsBetween(const QDate& from, const QDate& to,
                                    const std::optional<QString>& number) = 0;
    virtual LoginFailures loginFailures(const QString& number) = 0;
    // Reads the count, applies the rule CredentialRules hands down and writes it, in one transaction.
    // `now` is the terminal's time; a server counts by its own clock instead.
    virtual void recordLoginFailure(const QString& number, const QDateTime& now) = 0;
    // The moment login failures are counted at: the terminal's clock for a file on this computer,
    // the server's for a server, so that terminals whose clocks differ share one count.
    virtual QDateTime countingMoment() = 0;
    virtual void clearLoginFailures(const QString& number) = 0;
    // The person whose badge code is exactly `code` (letter case counts).
    virtual RecordSet personByBadge(const QString& code) = 0;
    // Gives the person this badge code, or none.
    virtual void setBadge(const QString& number, const std::optional<QString>& code) = 0;
    // Closes the one record with this identity and moves it to `day`.
    virtual void closeRecord(qint64 id, const QDate& day, const QString& timeOut) = 0;
    // The workplace's pay rules (Rule, Value), by rule name.
    virtual RecordSet payRules() = 0;
    // Sets one rule, adding its row when missing; a null value removes the row.
    virtual void setPayRule(const QString& rule, const QString& value) = 0;

    // Whether the punch (terminal, sequence) was delivered before, and the receipt that says it was.
    virtual bool hasReceipt(const QString& terminal, qint64 sequence) = 0;
    virtual void addReceipt(const QString& terminal, qint64 sequence) = 0;
    // Which of these punches of the terminal were delivered before; one look-up per punch unless the
    // engine asks once.
    virtual std::set<qint64> receiptsOf(const QString& terminal, const std::vector<qint64>& sequences);
    // Within the delivery of `punch`, after its receipt: keeps the punch the rules refused as a record
    // to correct with `reason` (one side's time, the other empty), left out of the punches' own
    // reading of the person's latest record until it is corrected; returns its identity.
    virtual qint64 storeRefused(const DeliveredPunch& punch, const QString& reason) = 0;
    // Within the delivery of `punch`, after its receipt: lists the record it wrote to correct.
    virtual void markToCorrect(const DeliveredPunch& punch, qint64 id, const QString& reason) = 0;
    // An audit row for an administrator: the terminal's clock is `offSeconds` off the database's.
    virtual void noteClockOff(const QString& terminal, qint64 offSeconds, const AuditStamp& stamp) = 0;

    // Every person, record, audit row and login failure count as stored; records and audit rows in
    // the order they were written.
    virtual Workplace everything() = 0;
    // Writes a whole workplace into a database that holds no person, no record and no audit row, in
    // one transaction that keeps every other change out meanwhile. Records and audit rows keep their
    // identities; no identity named in the trail is given to a new record later. A database that
    // holds any is refused and left as it was; so is the whole workplace when any of it cannot be
    // written. On a server the trail's rows are the copied ones, not rows for the copy itself.
    virtual void loadIntoEmpty(const Workplace& workplace) = 0;

    // The changes as the program makes them: each one and its audit row in one transaction, so that
    // no change is ever made without its row. A change that finds nothing to change leaves no row.
    // Reads the person's latest record, decides and writes.
    PunchOutcome punch(PunchKind kind, const QString& number, const QDate& day, const QString& time,
                       const AuditStamp& stamp);
    // A punch from a terminal's journal, with its receipt in the same transaction: delivered twice, it
    // is stored once. A punch the rules refuse is stored as a record to correct with the reason when
    // `keepRefused`; otherwise (the person is at the terminal and is told) only its receipt is.
    // A toggle is never refused; `leaveOpen` is punchToggle's, and `toggled` says which way it went.
    DeliveryOutcome deliver(const DeliveredPunch& punch, bool keepRefused, const AuditStamp& stamp,
                            const std::function<bool(const RecordSet&)>& leaveOpen = {},
                            TogglePunch* toggled = nullptr);
    // Punches of one terminal's journal in their order, in one transaction that holds the lock of
    // every person they name from the start: each one as deliver() with `keepRefused` stores it,
    // its audit naming its own person. Either all of them are stored or, when anything fails, none.
    std::vector<DeliveryOutcome>
    deliverAll(const std::vector<DeliveredPunch>& punches, const AuditStamp& stamp,
               const std::vector<std::function<bool(const RecordSet&)>>& leaveOpen);
    void insertPersonAudited(const PersonFields& person, const AuditStamp& stamp);
    void updatePersonAudited(const QString& current, const PersonFields& person, const AuditStamp& stamp);
    // The person and their records: both or neither.
    void deletePersonAudited(const QString& number, const AuditStamp& stamp);
    void deleteRecordAudited(const QString& number, const QDate& day, const QString& timeIn,
                             const AuditStamp& stamp);
    // Gives the record new values; fails when it no longer exists, or, given what a list showed of it,
    // when it is no longer that record (another terminal changed it, or deleted it and its identity
    // went elsewhere), so that a correction never lands on a record nobody chose.
    void correctRecord(qint64 id, const RecordFields& record, const AuditStamp& stamp,
                       const std::optional<RecordFields>& listed = std::nullopt);
    qint64 addRecord(const RecordFields& record, const AuditStamp& stamp);
    // Gives the person a badge code, or takes it away (none or empty); refuses a code another person
    // has. The audit row says that the badge changed, never the code.
    void setBadgeAudited(const QString& number, const std::optional<QString>& code, const AuditStamp& stamp);
    // A punch whose direction comes from the person's latest record: an open one is closed, otherwise
    // a record is opened. An open latest record that `leaveOpen` accepts is not closed; a new record
    // is opened beside it.
    TogglePunch punchToggle(const QString& number, const QDate& day, const QString& time,
                            const AuditStamp& stamp, const std::function<bool(const RecordSet&)>& leaveOpen);
    // Sets every rule given (a null value removes one); each rule that changes leaves one audit row
    // with its value before and after. With `onlyMissing`, only rules without a row are set: a
    // starting value never overwrites what the workplace has.
    void changePayRules(const std::vector<std::pair<QString, QString>>& rules, const AuditStamp& stamp,
                        bool onlyMissing = false);

protected:
    // The punch's reading and writing inside a transaction already serialised for the person; the
    // identities of the records it wrote go to `written`.
    PunchOutcome punchLocked(PunchKind kind, const QString& number, const QDate& day, const QString& time,
                             const AuditStamp& stamp, std::vector<qint64>& written);
    TogglePunch toggleLocked(const QString& number, const QDate& day, const QString& time,
                             const AuditStamp& stamp, const std::function<bool(const RecordSet&)>& leaveOpen,
                             std::vector<qint64>& written);
    // Whether the database writes the audit rows itself (in triggers) from the changes it sees; the
    // program then only says who acts.
    virtual bool auditsItself() const { return false; }
    // Within a transaction of a change: who the change is made by, for the rows the database writes.
    virtual void claim(const AuditStamp& stamp) { (void)stamp; }

    // Runs `work` in one transaction that no other change to these persons' records or rows can
    // interleave with, each lock taken before `work` starts; commits when it returns, rolls back when
    // it throws.
    virtual void serialisedForPersons(const QStringList& numbers, const std::function<void()>& work) = 0;
    void serialisedForPerson(const QString& number, const std::function<void()>& work) {
        serialisedForPersons({number}, work);
    }
    // Runs `work` in one transaction that keeps every other writer out until it ends.
    virtual void serialisedForWorkplace(const std::function<void()>& work) = 0;

private:
    // serialisedForPerson with the claim of who acts made first.
    void audited(const QString& number, const AuditStamp& stamp, const std::function<void()>& work);
    // Writes the row unless the database writes its own.
    void writeAudit(const AuditEntry& entry);
    // A delivered punch without a receipt, within its person's transaction: writes the receipt and
    // the punch, or keeps it to correct.
    DeliveryOutcome deliverLocked(const DeliveredPunch& punch, bool keepRefused, const AuditStamp& stamp,
                                  const std::function<bool(const RecordSet&)>& leaveOpen,
                                  TogglePunch* toggled);
    // The row for a delivered record listed to correct, with the reason.
    void auditToCorrect(qint64 id, const QString& number, const QString& reason, const AuditStamp& stamp);
};

// Texts and checks every engine shares.
namespace EngineText {
// What a role that may only punch is told when it tries more.
QString onlyPunching();
QString numberInUse(const QString& number);
// Why a badge code cannot be given to a second person.
QString badgeInUse();
// What a statement that ran past its time limit says.
QString statementStopped(int limitMs);
// A failed read or change, with the engine's account of it.
DatabaseError readFailure(DatabaseError::Kind kind, const QString& detail);
DatabaseError changeFailure(DatabaseError::Kind kind, const QString& detail);
// The ISO text of a day; an invalid day is a failure rather than a silent match.
std::string isoDay(const QDate& day);
// How a login failure count's moment is stored as text: UTC with milliseconds, so that texts sort
// as the moments do.
QString storedMoment(const QDateTime& moment);
QDateTime momentFromStored(const QString& text);
// The count of a read of Failures and Since; a zero count when there is no row.
LoginFailures loginFailuresOf(const RecordSet& rs);
// Why a whole workplace is not written into a database that already holds one.
DatabaseError notEmpty(const QString& database, qint64 persons, qint64 records);
DatabaseError trailNotEmpty(const QString& database, qint64 rows);
// The largest record identity a workplace holds or its audit trail names (0 when none).
qint64 largestRecordId(const Workplace& workplace);
// A stored day read back: Null gives an invalid day; a text that is no day is a failure.
QDate storedDay(const char* isoText, const QString& database);
} // namespace EngineText
