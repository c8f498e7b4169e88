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

    // A connection string (URI or key=value) fit to show in descriptions, boxes and printed commands:
    // the settings it makes, as key=value settings libpq and its tools read, without the password.
    static QString shownAddress(const QString& url);
    // Whether the connection string carries a password.
    static bool carriesPassword(const QString& url);

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
    std::set<qint64> receiptsOf(const QString& terminal, const std::vector<qint64>& sequences) override;
    qint64 storeRefused(const DeliveredPunch& punch, const QString& reason) override;
    void markToCorrect(const DeliveredPunch& punch, qint64 id, const QString& reason) override;
    void noteClockOff(const QString& terminal, qint64 offSeconds, const AuditStamp& stamp) override;
    QDateTime countingMoment() override;
    RecordSet payRules() override;
    void setPayRule(const QString& rule, const QString& value) override;
    Workplace everything() override;
    void loadIntoEmpty(const Workplace& workplace) override;

    struct Session;

protected:
    bool auditsItself() const override { return true; }
    void claim(const AuditStamp& stamp) override;
    void serialisedForPersons(const QStringList& numbers, const std::function<void()>& work) override;
    void serialisedForWorkplace(const std::function<void()>& work) override;

private:
    std::unique_ptr<Session> m_s;
};
