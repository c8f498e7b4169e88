#pragma once

#include "data/DatabaseEngine.h"

#include <memory>

// The attendance database as an SQLite file: the default, one file in the shared data folder.
class SqliteEngine : public DatabaseEngine {
public:
    // The collation our statements name; registered on every connection.
    static constexpr const char* kCollation = "UNICODE_NOCASE";
    // How long one statement may run before it is stopped, so that no file can freeze the window.
    static constexpr int kStatementLimitMs = 20000;
    struct Connection;

    // Opens an existing database file for reading and writing and brings its schema up to date. A
    // missing file, a folder, a file that is not an attendance database, one made by a newer program,
    // a read-only file and a locked file each fail clearly.
    SqliteEngine(const QString& path, int busyTimeoutMs);
    ~SqliteEngine() override;
    // Makes a new, empty attendance database file of the latest version.
    static void create(const QString& path);

    void setBusyTimeout(int milliseconds) override;
    void setStatementTimeout(int milliseconds) override;

    RecordSet administrators() override;
    RecordSet personsByName() override;
    RecordSet personByNumber(const QString& number) override;
    void insertPerson(const PersonFields& person) override;
    void updatePerson(const QString& current, const PersonFields& person) override;
    void deletePerson(const QString& number) override;
    void deleteRecordsOfPerson(const QString& number) override;
    RecordSet recordsOfPerson(const QString& number) override;
    RecordSet latestRecordOfPerson(const QString& number) override;
    qint64 punchIn(const QString& number, const QDate& day, const QString& timeIn) override;
    std::vector<qint64> punchOut(const QString& number, const QDate& day, const QString& timeOut) override;
    void deleteRecord(const QString& number, const QDate& day, const QString& timeIn) override;
    RecordSet recordById(qint64 id) override;
    qint64 insertRecord(const RecordFields& record, RecordMark mark) override;
    void updateRecord(qint64 id, const RecordFields& record, RecordMark mark) override;
    void appendAudit(const AuditEntry& entry) override;
    RecordSet auditEntries(const AuditFilter& filter) override;
    RecordSet loginsOn(const QDate& day) override;
    RecordSet loginsOfPerson(const QString& number) override;
    RecordSet allLogins() override;
    RecordSet loginsBetween(const QDate& from, const QDate& to,
                            const std::optional<QString>& number) override;
    LoginFailures loginFailures(const QString& number) override;
    void recordLoginFailure(const QString& number, const QDateTime& now) override;
    void clearLoginFailures(const QString& number) override;
    RecordSet personByBadge(const QString& code) override;
    void setBadge(const QString& number, const std::optional<QString>& code) override;
    void closeRecord(qint64 id, const QDate& day, const QString& timeOut) override;
    bool hasReceipt(const QString& terminal, qint64 sequence) override;
    void addReceipt(const QString& terminal, qint64 sequence) override;
    qint64 storeRefused(const DeliveredPunch& punch, const QString& reason) override;
    void markToCorrect(const DeliveredPunch& punch, qint64 id, const QString& reason) override;
    void noteClockOff(const QString& terminal, qint64 offSeconds, const AuditStamp& stamp) override;
    QDateTime countingMoment() override;
    RecordSet payRules() override;
    void setPayRule(const QString& rule, const QString& value) override;
    Workplace everything() override;
    void loadIntoEmpty(const Workplace& workplace) override;

protected:
    void serialisedForPersons(const QStringList& numbers, const std::function<void()>& work) override;
    void serialisedForWorkplace(const std::function<void()>& work) override;

private:
    std::unique_ptr<Connection> m_c;
    QString m_path;
};
