#include "data/DatabaseEngine.h"

DatabaseError::DatabaseError(Kind kind, const QString& description)
    : std::runtime_error(description.toStdString()), m_kind(kind) {}

namespace EngineText {

QString numberInUse(const QString& number) {
    return QStringLiteral("The person number \"%1\" is already in use by another person.").arg(number);
}

std::string isoDay(const QDate& day) {
    if (!day.isValid())
        throw DatabaseError(
            DatabaseError::Kind::Other,
            QStringLiteral("The date for the attendance database is empty or not a valid date."));
    return day.toString(Qt::ISODate).toStdString();
}

} // namespace EngineText
