#pragma once

#include "data/DatabaseEngine.h"

#include <memory>

// The attendance database on a PostgreSQL server, for a workplace with several terminals. The
// server itself ignores letter case in person numbers (an ICU collation) and keeps them unique; a
// punch locks its person's row for the length of its transaction. A lost connection fails the
// statement with Kind::Unreachable; the caller connects anew for the next one.
class PostgresEngine : public DatabaseEngine {
public:
    // Connects (waiting a few seconds at most) and creates or upgrades the schema. `url` is a libpq
    // connection URI or key=value string; a password in it is used, never stored or shown.
    PostgresEngine(const QString& url, int busyTimeoutMs, int statementTimeoutMs);
    ~PostgresEngine() override;

    // The address as descriptions show it: without a password.
    static QString shownAddress(const QString& url);

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
    void punchIn(const QString& number, const QDate& day, const QString& timeIn) override;
    void punchOut(const QString& number, const QDate& day, const QString& timeOut) override;
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
    bool hasReceipt(const QString& terminal, qint64 sequence) override;
    void addReceipt(const QString& terminal, qint64 sequence) override;
    void markToCorrect(qint64 id, const QString& reason, bool refused) override;
    QDateTime serverTime() override;
    QDateTime countingMoment() override;
    Workplace everything() override;
    void loadIntoEmpty(const Workplace& workplace) override;

    struct Session;

protected:
    bool auditsItself() const override { return true; }
    void claim(const AuditStamp& stamp) override;
    void serialisedForPerson(const QString& number, const std::function<void()>& work) override;

private:
    std::unique_ptr<Session> m_s;
};
