#include "data/DatabaseEngine.h"

DatabaseError::DatabaseError(Kind kind, const QString& description)
    : std::runtime_error(description.toStdString()), m_kind(kind) {}

void DatabaseEngine::deletePersonWithRecords(const QString& number) {
    serialisedForPerson(number, [&] {
        deletePerson(number);
        deleteRecordsOfPerson(number);
    });
}

PunchOutcome DatabaseEngine::punch(PunchKind kind, const QString& number, const QDate& day,
                                   const QString& time) {
    EngineText::isoDay(day); // an invalid day fails before anything is locked
    PunchOutcome outcome = PunchOutcome::Written;
    serialisedForPerson(number, [&] {
        RecordSet latest = latestRecordOfPerson(number);
        if (kind == PunchKind::In) {
            if (!latest.eof() && latest.text(QStringLiteral("TimeOut")).isEmpty())
                outcome = PunchOutcome::AlreadyIn;
            else
                punchIn(number, day, time);
        } else {
            if (latest.eof())
                outcome = PunchOutcome::NotYetIn;
            else
                punchOut(number, day, time);
        }
    });
    return outcome;
}

namespace EngineText {

QString numberInUse(const QString& number) {
    return QStringLiteral("The person number \"%1\" is already in use by another person.").arg(number);
}

QString statementStopped(int limitMs) {
    return QStringLiteral("the statement took longer than %1 seconds and was stopped.").arg(limitMs / 1000.0);
}

DatabaseError readFailure(DatabaseError::Kind kind, const QString& detail) {
    return DatabaseError(kind, QStringLiteral("The attendance database could not be read: %1").arg(detail));
}

DatabaseError changeFailure(DatabaseError::Kind kind, const QString& detail) {
    return DatabaseError(kind,
                         QStringLiteral("The attendance database could not be changed: %1").arg(detail));
}

std::string isoDay(const QDate& day) {
    if (!day.isValid())
        throw DatabaseError(
            DatabaseError::Kind::Other,
            QStringLiteral("The date for the attendance database is empty or not a valid date."));
    return day.toString(Qt::ISODate).toStdString();
}

DatabaseError notEmpty(const QString& database, qint64 persons, qint64 records) {
    return DatabaseError(
        DatabaseError::Kind::Other,
        QStringLiteral("The attendance database %1 already holds %2 persons and %3 records. A "
                       "whole workplace is only ever copied into an empty one; nothing was "
                       "copied.")
            .arg(database)
            .arg(persons)
            .arg(records));
}

QDate storedDay(const char* isoText, const QString& database) {
    if (!isoText)
        return QDate();
    const QDate day = QDate::fromString(QString::fromUtf8(isoText), Qt::ISODate);
    if (!day.isValid())
        throw DatabaseError(DatabaseError::Kind::Other,
                            QStringLiteral("The attendance database %1 holds a record whose day \"%2\" is no "
                                           "date; correct it before the records are copied.")
                                .arg(database, QString::fromUtf8(isoText)));
    return day;
}

} // namespace EngineText
