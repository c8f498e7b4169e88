#pragma once

#include "data/RecordSet.h"

#include <QDate>
#include <QString>
#include <functional>
#include <optional>
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
};
struct StoredRecord {
    QString number;
    QDate day;
    QString timeIn;
    QString timeOut;
};
struct Workplace {
    std::vector<StoredPerson> persons;
    std::vector<StoredRecord> records;
};

enum class PunchKind { In, Out };

enum class PunchOutcome {
    Written,   // the record was opened or the open records closed
    AlreadyIn, // punch in refused: the person's latest record is still open
    NotYetIn,  // punch out refused: the person has no record at all
};

// A failure of the database layer. The text is the description the error box shows; the kind lets
// callers tell the failures apart without reading the text.
class DatabaseError : public std::runtime_error {
public:
    enum class Kind { Other, NotOpen, Busy, Duplicate, Interrupted, Unreachable };

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

    virtual RecordSet personByCredentials(const QString& number, const QString& password) = 0;
    virtual RecordSet administrators() = 0;
    virtual RecordSet personsByName() = 0;
    virtual RecordSet personByNumber(const QString& number) = 0;
    virtual void insertPerson(const PersonFields& person) = 0;
    virtual void updatePerson(const QString& current, const PersonFields& person) = 0;
    virtual void deletePerson(const QString& number) = 0;
    virtual void deleteRecordsOfPerson(const QString& number) = 0;
    // The person and their records in one transaction.
    void deletePersonWithRecords(const QString& number);
    virtual RecordSet recordsOfPerson(const QString& number) = 0;
    virtual RecordSet latestRecordOfPerson(const QString& number) = 0;
    virtual void punchIn(const QString& number, const QDate& day, const QString& timeIn) = 0;
    virtual void punchOut(const QString& number, const QDate& day, const QString& timeOut) = 0;
    // Reads the person's latest record, decides and writes, in one transaction.
    PunchOutcome punch(PunchKind kind, const QString& number, const QDate& day, const QString& time);
    virtual void deleteRecord(const QString& number, const QDate& day, const QString& timeIn) = 0;
    virtual RecordSet loginsOn(const QDate& day) = 0;
    virtual RecordSet loginsOfPerson(const QString& number) = 0;
    virtual RecordSet allLogins() = 0;
    virtual RecordSet loginsBetween(const QDate& from, const QDate& to,
                                    const std::optional<QString>& number) = 0;

    // Every person and every record as stored, records in the order they were written.
    virtual Workplace everything() = 0;
    // Writes a whole workplace into a database that holds no person and no record, in one
    // transaction that keeps every other change out meanwhile. A database that holds any is refused
    // and left as it was; so is the whole workplace when any of it cannot be written.
    virtual void loadIntoEmpty(const Workplace& workplace) = 0;

protected:
    // Runs `work` in one transaction that no other change to this person's records or row can
    // interleave with; commits when it returns, rolls back when it throws.
    virtual void serialisedForPerson(const QString& number, const std::function<void()>& work) = 0;
};

// Texts and checks every engine shares.
namespace EngineText {
QString numberInUse(const QString& number);
// What a statement that ran past its time limit says.
QString statementStopped(int limitMs);
// A failed read or change, with the engine's account of it.
DatabaseError readFailure(DatabaseError::Kind kind, const QString& detail);
DatabaseError changeFailure(DatabaseError::Kind kind, const QString& detail);
// The ISO text of a day; an invalid day is a failure rather than a silent match.
std::string isoDay(const QDate& day);
// Why a whole workplace is not written into a database that already holds one.
DatabaseError notEmpty(const QString& database, qint64 persons, qint64 records);
// A stored day read back: Null gives an invalid day; a text that is no day is a failure.
QDate storedDay(const char* isoText, const QString& database);
} // namespace EngineText
