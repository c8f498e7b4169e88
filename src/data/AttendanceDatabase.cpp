#include "data/AttendanceDatabase.h"

#include "data/SqliteEngine.h"

AttendanceDatabase::AttendanceDatabase() = default;
AttendanceDatabase::~AttendanceDatabase() = default;

void AttendanceDatabase::setBusyTimeout(int milliseconds) {
    m_busyTimeoutMs = milliseconds;
    if (m_engine)
        m_engine->setBusyTimeout(milliseconds);
}

void AttendanceDatabase::open(const QString& path) {
    close();
    m_engine = std::make_unique<SqliteEngine>(path, m_busyTimeoutMs);
    m_path = path;
}

void AttendanceDatabase::close() {
    m_engine.reset();
}

DatabaseEngine& AttendanceDatabase::engine() {
    if (!m_engine)
        throw DatabaseError(DatabaseError::Kind::NotOpen,
                            QStringLiteral("The attendance database is not open."));
    return *m_engine;
}

RecordSet AttendanceDatabase::personByCredentials(const QString& number, const QString& password) {
    return engine().personByCredentials(number, password);
}

RecordSet AttendanceDatabase::administrators() {
    return engine().administrators();
}

RecordSet AttendanceDatabase::personsByName() {
    return engine().personsByName();
}

RecordSet AttendanceDatabase::personByNumber(const QString& number) {
    return engine().personByNumber(number);
}

void AttendanceDatabase::insertPerson(const PersonFields& person) {
    engine().insertPerson(person);
}

void AttendanceDatabase::updatePerson(const QString& current, const PersonFields& person) {
    engine().updatePerson(current, person);
}

void AttendanceDatabase::deletePerson(const QString& number) {
    engine().deletePerson(number);
}

void AttendanceDatabase::deleteRecordsOfPerson(const QString& number) {
    engine().deleteRecordsOfPerson(number);
}

void AttendanceDatabase::deletePersonWithRecords(const QString& number) {
    engine().deletePersonWithRecords(number);
}

RecordSet AttendanceDatabase::recordsOfPerson(const QString& number) {
    return engine().recordsOfPerson(number);
}

RecordSet AttendanceDatabase::latestRecordOfPerson(const QString& number) {
    return engine().latestRecordOfPerson(number);
}

void AttendanceDatabase::punchIn(const QString& number, const QDate& day, const QString& timeIn) {
    engine().punchIn(number, day, timeIn);
}

void AttendanceDatabase::punchOut(const QString& number, const QDate& day, const QString& timeOut) {
    engine().punchOut(number, day, timeOut);
}

PunchOutcome AttendanceDatabase::punch(PunchKind kind, const QString& number, const QDate& day,
                                       const QString& time) {
    return engine().punch(kind, number, day, time);
}

void AttendanceDatabase::deleteRecord(const QString& number, const QDate& day, const QString& timeIn) {
    engine().deleteRecord(number, day, timeIn);
}

RecordSet AttendanceDatabase::loginsOn(const QDate& day) {
    return engine().loginsOn(day);
}

RecordSet AttendanceDatabase::loginsOfPerson(const QString& number) {
    return engine().loginsOfPerson(number);
}

RecordSet AttendanceDatabase::allLogins() {
    return engine().allLogins();
}

RecordSet AttendanceDatabase::loginsBetween(const QDate& from, const QDate& to,
                                            const std::optional<QString>& number) {
    return engine().loginsBetween(from, to, number);
}
