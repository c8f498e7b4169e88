#pragma once

#include "data/DatabaseEngine.h"
#include "data/RecordSet.h"

#include <QDate>
#include <QString>
#include <memory>
#include <optional>

// The one connection to the attendance database and the catalogue of every statement the program
// issues. The engine behind it is chosen when it is opened; each statement is prepared with bound
// values, texts are never spliced into SQL. Person numbers and passwords compare without regard to
// letter case, across Unicode. Every failure is a DatabaseError (a std::runtime_error) whose text
// is the description the error box shows.
class AttendanceDatabase {
public:
    AttendanceDatabase();
    ~AttendanceDatabase();
    AttendanceDatabase(const AttendanceDatabase&) = delete;
    AttendanceDatabase& operator=(const AttendanceDatabase&) = delete;

    // Opens an existing database file for reading and writing and brings its schema up to date. A
    // missing file, a folder, a file that is not an attendance database, one made by a newer program,
    // a read-only file and a locked file each fail clearly. After a failed open every statement tries
    // to open it again and, failing that, repeats why it cannot.
    void open(const QString& path);
    // Connects to the attendance database on a PostgreSQL server (a libpq URI or key=value string)
    // and creates or upgrades its schema. A server that cannot be reached within a few seconds, a
    // database that is not an attendance database and one made by a newer program fail clearly. A
    // connection lost later fails the statement at hand; the next statement connects again.
    void openServer(const QString& url);
    // The server the settings or the environment name (SettingsStore::databaseUrl), or the file
    // `path` when neither does.
    void openConfigured(const QString& path);
    bool isOpen() const { return m_engine != nullptr; }
    // Closes the connection; statements then fail until the next open.
    void close();
    // The file, or the server's address without its password.
    QString path() const;
    // Makes a new, empty attendance database file of the latest schema version.
    static void create(const QString& path);

    // How long a statement waits for another copy of the program to finish writing.
    void setBusyTimeout(int milliseconds);
    // How long one statement may run before it is stopped.
    void setStatementTimeout(int milliseconds);

    // Who the audit trail names for the changes that follow: the administrator who passed the gate
    // while the window it opened is shown. A punch names the person punching instead.
    void setActor(const QString& number) { m_actor = number; }
    QString actor() const { return m_actor; }
    // Names `number` as the actor until it goes out of scope, then the one before.
    class ActorScope {
    public:
        ActorScope(AttendanceDatabase& db, const QString& number) : m_db(db), m_before(db.actor()) {
            db.setActor(number);
        }
        ~ActorScope() { m_db.setActor(m_before); }
        ActorScope(const ActorScope&) = delete;
        ActorScope& operator=(const ActorScope&) = delete;

    private:
        AttendanceDatabase& m_db;
        QString m_before;
    };

    // Every change below that the windows make leaves one row in the audit trail, written in the
    // same transaction; deletePerson, deleteRecordsOfPerson, punchIn and punchOut are the bare
    // statements and leave none.

    // 2: every administrator.
    RecordSet administrators();
    // 3: every person, by name.
    RecordSet personsByName();
    // 4: the person with this number.
    RecordSet personByNumber(const QString& number);
    // 5: a new person; fails when the number is already in use. The password is stored as its hash.
    void insertPerson(const PersonFields& person);
    // 6: changes the person with number `current`; fails when the new number belongs to another person.
    // A given password is stored as its hash; none keeps the stored one.
    void updatePerson(const QString& current, const PersonFields& person);
    // 7 and 8: a person, and a person's attendance records.
    void deletePerson(const QString& number);
    void deleteRecordsOfPerson(const QString& number);
    // 7 and 8 together: both or neither.
    void deletePersonWithRecords(const QString& number);
    // 9: a person's attendance records, oldest insert first (the last row is the latest record).
    RecordSet recordsOfPerson(const QString& number);
    // 9 as the punch reads it: only the last of those rows (none when the person has no record).
    // A person with years of records is punched without reading them all.
    RecordSet latestRecordOfPerson(const QString& number);
    // 10: opens a record.
    void punchIn(const QString& number, const QDate& day, const QString& timeIn);
    // 11: closes every open record of the person and moves it to `day`.
    void punchOut(const QString& number, const QDate& day, const QString& timeOut);
    // A punch as the clock makes it: 9 and then 10 or 11 as one transaction, so that two terminals
    // punching the same person one after the other never both see "not yet in". In is refused when
    // the latest record is open (empty or Null time-out), Out when the person has no record.
    PunchOutcome punch(PunchKind kind, const QString& number, const QDate& day, const QString& time);
    // A punch from a terminal's journal, stored once however often it is delivered (see
    // DatabaseEngine::deliver). The person it names is the one the audit names.
    DeliveryOutcome deliver(const DeliveredPunch& punch, bool keepRefused,
                            const std::function<bool(const RecordSet&)>& leaveOpen = {},
                            TogglePunch* toggled = nullptr);
    // Punches of one terminal's journal in their order, all or none in one transaction, each kept
    // to correct when the rules refuse it (see DatabaseEngine::deliverAll); `leaveOpen` is each
    // badge punch's.
    std::vector<DeliveryOutcome>
    deliverAll(const std::vector<DeliveredPunch>& punches,
               const std::vector<std::function<bool(const RecordSet&)>>& leaveOpen);
    // An audit row for an administrator: this terminal's clock is `offBySeconds` off the server's.
    void recordClockOff(const QString& terminal, qint64 offBySeconds);
    // 12: deletes every record with this number, day and time-in.
    void deleteRecord(const QString& number, const QDate& day, const QString& timeIn);
    // The record with this identity: RecordId, EmployeeNo, LogDate, TimeIn, TimeOut, Corrected.
    RecordSet recordById(qint64 id);
    // An administrator's correction of a record; fails when the record no longer exists, or, given
    // what the list showed of it, when it is no longer that record.
    void correctRecord(qint64 id, const RecordFields& record,
                       const std::optional<RecordFields>& listed = std::nullopt);
    // A record an administrator adds; returns its identity.
    qint64 addRecord(const RecordFields& record);
    // The audit trail, newest first.
    RecordSet auditEntries(const AuditFilter& filter);
    // 13, 14, 15: records with their persons' fields, their RecordId and their Corrected mark.
    RecordSet loginsOn(const QDate& day);
    RecordSet loginsOfPerson(const QString& number);
    RecordSet allLogins();
    // Records with their persons' fields from day `from` to day `to`, both included, by day and
    // then in the order they were made; only those of the person `number` when given.
    RecordSet loginsBetween(const QDate& from, const QDate& to,
                            const std::optional<QString>& number = std::nullopt);

    // The wrong passwords counted for a typed person number (a zero count when there are none);
    // numbers match without regard to letter case, as person numbers do.
    LoginFailures loginFailures(const QString& number);
    // Counts one more wrong password for the number at `now`, reading and writing the count in one
    // transaction so that terminals failing at the same moment each add theirs.
    void recordLoginFailure(const QString& number, const QDateTime& now);
    // The moment login failures are counted at: this computer's clock for a file, the server's for a
    // server (see DatabaseEngine::countingMoment).
    QDateTime countingMoment();
    // Forgets the count: after a right password, or when an administrator lifts a refusal.
    void clearLoginFailures(const QString& number);
    // The person whose badge code is exactly `code` (letter case counts); none for an empty code.
    RecordSet personByBadge(const QString& code);
    // Gives the person a badge code, or takes it away (empty); fails when another person has it.
    void setBadge(const QString& number, const QString& code);
    // A terminal's punch: its direction from the person's latest record (see DatabaseEngine).
    TogglePunch punchToggle(const QString& number, const QDate& day, const QString& time,
                            const std::function<bool(const RecordSet&)>& leaveOpen);
    // The workplace's pay rules: rows of Rule and Value, by rule.
    RecordSet payRules();
    // An administrator's change of pay rules (a null value removes one): one audit row with the rule
    // set before and after, none when nothing changed.
    void changePayRules(const std::vector<std::pair<QString, QString>>& rules);
    // Starting values for rules the workplace does not hold yet; rules it holds stay as they are.
    void adoptPayRules(const std::vector<std::pair<QString, QString>>& rules);
    // A whole workplace as stored, and one written into an empty database (see DatabaseEngine).
    Workplace everything();
    void loadIntoEmpty(const Workplace& workplace);

private:
    enum class Target { None, File, Server };

    std::unique_ptr<DatabaseEngine> connect() const;
    DatabaseEngine& engine();
    // Runs one catalogue function on the engine; a connection that is lost is dropped, so that the
    // next statement connects again.
    template <typename Call> auto run(Call call);
    AuditStamp stamp() const;

    std::unique_ptr<DatabaseEngine> m_engine;
    Target m_target = Target::None;
    QString m_path;
    int m_busyTimeoutMs = 5000;
    int m_statementTimeoutMs;
    QString m_actor;
};
