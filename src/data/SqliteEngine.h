#pragma once

#include "data/DatabaseEngine.h"

#include <memory>

namespace SQLite {
class Database;
}

// The attendance database as an SQLite file: the default, one file in the shared data folder.
class SqliteEngine : public DatabaseEngine {
public:
    // The collation our statements name; registered on every connection.
    static constexpr const char* kCollation = "UNICODE_NOCASE";

    // Opens an existing database file for reading and writing. A missing file, a folder, a file
    // that is not an attendance database, a read-only file and a locked file each fail clearly.
    SqliteEngine(const QString& path, int busyTimeoutMs);
    ~SqliteEngine() override;

    void setBusyTimeout(int milliseconds) override;

    RecordSet personByCredentials(const QString& number, const QString& password) override;
    RecordSet administrators() override;
    RecordSet personsByName() override;
    RecordSet personByNumber(const QString& number) override;
    void insertPerson(const PersonFields& person) override;
    void updatePerson(const QString& current, const PersonFields& person) override;
    void deletePerson(const QString& number) override;
    void deleteRecordsOfPerson(const QString& number) override;
    void deletePersonWithRecords(const QString& number) override;
    RecordSet recordsOfPerson(const QString& number) override;
    RecordSet latestRecordOfPerson(const QString& number) override;
    void punchIn(const QString& number, const QDate& day, const QString& timeIn) override;
    void punchOut(const QString& number, const QDate& day, const QString& timeOut) override;
    PunchOutcome punch(PunchKind kind, const QString& number, const QDate& day, const QString& time) override;
    void deleteRecord(const QString& number, const QDate& day, const QString& timeIn) override;
    RecordSet loginsOn(const QDate& day) override;
    RecordSet loginsOfPerson(const QString& number) override;
    RecordSet allLogins() override;
    RecordSet loginsBetween(const QDate& from, const QDate& to,
                            const std::optional<QString>& number) override;

private:
    std::unique_ptr<SQLite::Database> m_db;
    QString m_path;
};
