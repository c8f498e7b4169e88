#include "data/AttendanceDatabase.h"

#include "data/PostgresEngine.h"
#include "data/SettingsStore.h"
#include "data/SqliteEngine.h"

#include <QDateTime>

using Kind = DatabaseError::Kind;

AttendanceDatabase::AttendanceDatabase() : m_statementTimeoutMs(SqliteEngine::kStatementLimitMs) {}
AttendanceDatabase::~AttendanceDatabase() = default;

void AttendanceDatabase::setBusyTimeout(int milliseconds) {
    m_busyTimeoutMs = milliseconds;
    if (m_engine)
        m_engine->setBusyTimeout(milliseconds);
}

void AttendanceDatabase::setStatementTimeout(int milliseconds) {
    m_statementTimeoutMs = milliseconds;
    if (m_engine)
        m_engine->setStatementTimeout(milliseconds);
}

std::unique_ptr<DatabaseEngine> AttendanceDatabase::connect() const {
    if (m_target == Target::Server)
        return std::make_unique<PostgresEngine>(m_path, m_busyTimeoutMs, m_statementTimeoutMs);
    std::unique_ptr<DatabaseEngine> engine = std::make_unique<SqliteEngine>(m_path, m_busyTimeoutMs);
    engine->setStatementTimeout(m_statementTimeoutMs);
    return engine;
}

void AttendanceDatabase::openServer(const QString& url) {
    close();
    m_target = Target::Server;
    m_path = url;
    m_engine = connect();
}

void AttendanceDatabase::openConfigured(const QString& path) {
    const QString url = SettingsStore::databaseUrl();
    if (url.isEmpty())
        open(path);
    else
        openServer(url);
}

QString AttendanceDatabase::path() const {
    return m_target == Target::Server ? PostgresEngine::shownAddress(m_path) : m_path;
}

void AttendanceDatabase::open(const QString& path) {
    close();
    m_target = Target::File;
    m_path = path;
    m_engine = connect();
}

void AttendanceDatabase::close() {
    m_engine.reset();
    m_target = Target::None;
}

void AttendanceDatabase::create(const QString& path) {
    SqliteEngine::create(path);
}

DatabaseEngine& AttendanceDatabase::engine() {
    if (m_engine)
        return *m_engine;
    if (m_target == Target::None)
        throw DatabaseError(Kind::NotOpen, QStringLiteral("The attendance database is not open."));
    // It could not be opened before: a lock since released or a server that is back serves this
    // statement; otherwise the person at the terminal learns why, every time, not only at start-up.
    try {
        m_engine = connect();
    } catch (const DatabaseError& e) {
        throw DatabaseError(Kind::NotOpen, QStringLiteral("The attendance database is not open. ") +
                                               QString::fromUtf8(e.what()));
    }
    return *m_engine;
}

template <typename Call> auto AttendanceDatabase::run(Call call) {
    DatabaseEngine& current = engine();
    try {
        return call(current);
    } catch (const DatabaseError& e) {
        if (e.kind() == Kind::Unreachable)
            m_engine.reset();
        throw;
    }
}

AuditStamp AttendanceDatabase::stamp() const {
    return stampNow(m_actor);
}

RecordSet AttendanceDatabase::administrators() {
    return run([&](DatabaseEngine& e) { return e.administrators(); });
}

RecordSet AttendanceDatabase::personsByName() {
    return run([&](DatabaseEngine& e) { return e.personsByName(); });
}

RecordSet AttendanceDatabase::personByNumber(const QString& number) {
    return run([&](DatabaseEngine& e) { return e.personByNumber(number); });
}

namespace {
// The person as stored: the password replaced by its hash.
PersonFields withHashedPassword(PersonFields person) {
    if (person.password) {
        try {
            person.password = CredentialRules::installed().hash(*person.password);
        } catch (const std::exception& e) {
            throw DatabaseError(DatabaseError::Kind::Other, QString::fromUtf8(e.what()));
        }
    }
    return person;
}
} // namespace

void AttendanceDatabase::insertPerson(const PersonFields& person) {
    run([&](DatabaseEngine& e) { e.insertPersonAudited(withHashedPassword(person), stamp()); });
}

void AttendanceDatabase::updatePerson(const QString& current, const PersonFields& person) {
    run([&](DatabaseEngine& e) { e.updatePersonAudited(current, withHashedPassword(person), stamp()); });
}

void AttendanceDatabase::deletePerson(const QString& number) {
    run([&](DatabaseEngine& e) { e.deletePerson(number); });
}

void AttendanceDatabase::deleteRecordsOfPerson(const QString& number) {
    run([&](DatabaseEngine& e) { e.deleteRecordsOfPerson(number); });
}

void AttendanceDatabase::deletePersonWithRecords(const QString& number) {
    run([&](DatabaseEngine& e) { e.deletePersonAudited(number, stamp()); });
}

RecordSet AttendanceDatabase::recordsOfPerson(const QString& number) {
    return run([&](DatabaseEngine& e) { return e.recordsOfPerson(number); });
}

RecordSet AttendanceDatabase::latestRecordOfPerson(const QString& number) {
    return run([&](DatabaseEngine& e) { return e.latestRecordOfPerson(number); });
}

void AttendanceDatabase::punchIn(const QString& number, const QDate& day, const QString& timeIn) {
    run([&](DatabaseEngine& e) { e.punchIn(number, day, timeIn); });
}

void AttendanceDatabase::punchOut(const QString& number, const QDate& day, const QString& timeOut) {
    run([&](DatabaseEngine& e) { e.punchOut(number, day, timeOut); });
}

PunchOutcome AttendanceDatabase::punch(PunchKind kind, const QString& number, const QDate& day,
                                       const QString& time) {
    // The person punching is the one the audit names.
    AuditStamp by = stamp();
    by.who = number;
    return run([&](DatabaseEngine& e) { return e.punch(kind, number, day, time, by); });
}

DeliveryOutcome AttendanceDatabase::deliver(const DeliveredPunch& punch, bool keepRefused,
                                            const std::function<bool(const RecordSet&)>& leaveOpen,
                                            TogglePunch* toggled) {
    AuditStamp by = stamp();
    by.who = punch.number;
    return run([&](DatabaseEngine& e) { return e.deliver(punch, keepRefused, by, leaveOpen, toggled); });
}

std::vector<DeliveryOutcome>
AttendanceDatabase::deliverAll(const std::vector<DeliveredPunch>& punches,
                               const std::vector<std::function<bool(const RecordSet&)>>& leaveOpen) {
    return run([&](DatabaseEngine& e) { return e.deliverAll(punches, stamp(), leaveOpen); });
}

void AttendanceDatabase::recordClockOff(const QString& terminal, qint64 offBySeconds) {
    run([&](DatabaseEngine& e) { e.noteClockOff(terminal, offBySeconds, stamp()); });
}

void AttendanceDatabase::deleteRecord(const QString& number, const QDate& day, const QString& timeIn) {
    run([&](DatabaseEngine& e) { e.deleteRecordAudited(number, day, timeIn, stamp()); });
}

RecordSet AttendanceDatabase::loginsOn(const QDate& day) {
    return run([&](DatabaseEngine& e) { return e.loginsOn(day); });
}

RecordSet AttendanceDatabase::loginsOfPerson(const QString& number) {
    return run([&](DatabaseEngine& e) { return e.loginsOfPerson(number); });
}

RecordSet AttendanceDatabase::allLogins() {
    return run([&](DatabaseEngine& e) { return e.allLogins(); });
}

RecordSet AttendanceDatabase::loginsBetween(const QDate& from, const QDate& to,
                                            const std::optional<QString>& number) {
    return run([&](DatabaseEngine& e) { return e.loginsBetween(from, to, number); });
}

LoginFailures AttendanceDatabase::loginFailures(const QString& number) {
    return run([&](DatabaseEngine& e) { return e.loginFailures(number); });
}

void AttendanceDatabase::recordLoginFailure(const QString& number, const QDateTime& now) {
    run([&](DatabaseEngine& e) { e.recordLoginFailure(number, now); });
}

QDateTime AttendanceDatabase::countingMoment() {
    return run([&](DatabaseEngine& e) { return e.countingMoment(); });
}

void AttendanceDatabase::clearLoginFailures(const QString& number) {
    run([&](DatabaseEngine& e) { e.clearLoginFailures(number); });
}

Workplace AttendanceDatabase::everything() {
    return run([&](DatabaseEngine& e) { return e.everything(); });
}

void AttendanceDatabase::loadIntoEmpty(const Workplace& workplace) {
    run([&](DatabaseEngine& e) { e.loadIntoEmpty(workplace); });
}

RecordSet AttendanceDatabase::recordById(qint64 id) {
    return run([&](DatabaseEngine& e) { return e.recordById(id); });
}

void AttendanceDatabase::correctRecord(qint64 id, const RecordFields& record,
                                       const std::optional<RecordFields>& listed) {
    run([&](DatabaseEngine& e) { e.correctRecord(id, record, stamp(), listed); });
}

qint64 AttendanceDatabase::addRecord(const RecordFields& record) {
    return run([&](DatabaseEngine& e) { return e.addRecord(record, stamp()); });
}

RecordSet AttendanceDatabase::payRules() {
    return run([&](DatabaseEngine& e) { return e.payRules(); });
}

void AttendanceDatabase::changePayRules(const std::vector<std::pair<QString, QString>>& rules) {
    run([&](DatabaseEngine& e) { e.changePayRules(rules, stamp()); });
}

void AttendanceDatabase::adoptPayRules(const std::vector<std::pair<QString, QString>>& rules) {
    run([&](DatabaseEngine& e) { e.changePayRules(rules, stamp(), true); });
}

RecordSet AttendanceDatabase::auditEntries(const AuditFilter& filter) {
    return run([&](DatabaseEngine& e) { return e.auditEntries(filter); });
}

RecordSet AttendanceDatabase::personByBadge(const QString& code) {
    return run([&](DatabaseEngine& e) { return e.personByBadge(code); });
}

void AttendanceDatabase::setBadge(const QString& number, const QString& code) {
    run([&](DatabaseEngine& e) {
        e.setBadgeAudited(number, code.isEmpty() ? std::nullopt : std::optional<QString>(code), stamp());
    });
}

TogglePunch AttendanceDatabase::punchToggle(const QString& number, const QDate& day, const QString& time,
                                            const std::function<bool(const RecordSet&)>& leaveOpen) {
    AuditStamp by = stamp();
    by.who = number;
    return run([&](DatabaseEngine& e) { return e.punchToggle(number, day, time, by, leaveOpen); });
}
