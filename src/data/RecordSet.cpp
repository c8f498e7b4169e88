#include "data/RecordSet.h"

#include "platform/DateTexts.h"

#include <SQLiteCpp/Column.h>
#include <SQLiteCpp/Statement.h>

#include <stdexcept>
#include <string_view>
#include <unordered_map>

namespace {

RecordSet::Kind kindOf(const char* declaredType) {
    if (!declaredType)
        return RecordSet::Kind::Text;
    const QString type = QString::fromLatin1(declaredType).toUpper();
    if (type.contains(QLatin1String("DATE")))
        return RecordSet::Kind::Date;
    if (type.contains(QLatin1String("INT")))
        return RecordSet::Kind::Integer;
    if (type.contains(QLatin1String("REAL")) || type.contains(QLatin1String("FLOA")) ||
        type.contains(QLatin1String("DOUB")))
        return RecordSet::Kind::Real;
    return RecordSet::Kind::Text;
}

// Large lists repeat the same names, dates and times over and over; sharing one QString per
// distinct value keeps them compact. The cache stops growing once a column proves too varied.
class TextPool {
public:
    QString get(std::string_view utf8) {
        if (m_full)
            return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
        auto found = m_pool.find(std::string(utf8));
        if (found != m_pool.end())
            return found->second;
        QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
        if (m_pool.size() < kLimit)
            m_pool.emplace(std::string(utf8), text);
        else
            m_full = true;
        return text;
    }

private:
    static constexpr size_t kLimit = 20000;
    std::unordered_map<std::string, QString> m_pool;
    bool m_full = false;
};

} // namespace

RecordSet RecordSet::fetch(SQLite::Statement& statement) {
    RecordSet rs;
    const int columns = statement.getColumnCount();
    for (int c = 0; c < columns; ++c) {
        rs.m_names.append(QString::fromUtf8(statement.getColumnName(c)));
        const char* declared = nullptr;
        try {
            declared = statement.getColumnDeclaredType(c);
        } catch (const SQLite::Exception&) {
            declared = nullptr; // an expression column has no declared type
        }
        rs.m_kinds.push_back(kindOf(declared));
    }
    std::vector<TextPool> pools(static_cast<size_t>(columns));
    std::unordered_map<std::string, std::pair<QString, QDate>> dates;
    while (statement.executeStep()) {
        for (int c = 0; c < columns; ++c) {
            const SQLite::Column column = statement.getColumn(c);
            if (column.isNull()) {
                rs.m_cells.emplace_back();
                rs.m_nulls.push_back(true);
                rs.m_dateValues.emplace_back();
                continue;
            }
            const char* raw = column.getText();
            const std::string_view utf8(raw, static_cast<size_t>(column.getBytes()));
            rs.m_nulls.push_back(false);
            if (rs.m_kinds[static_cast<size_t>(c)] == Kind::Date) {
                auto found = dates.find(std::string(utf8));
                if (found == dates.end()) {
                    const QString stored =
                        QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
                    const QDate date = QDate::fromString(stored.left(10), Qt::ISODate);
                    // A value that is no ISO date is shown as stored rather than lost.
                    found = dates
                                .emplace(std::string(utf8),
                                         std::make_pair(date.isValid() ? DateTexts::shortDate(date) : stored,
                                                        date))
                                .first;
                }
                rs.m_cells.push_back(found->second.first);
                rs.m_dateValues.push_back(found->second.second);
            } else {
                rs.m_cells.push_back(pools[static_cast<size_t>(c)].get(utf8));
                rs.m_dateValues.emplace_back();
            }
        }
        ++rs.m_rows;
    }
    rs.m_open = true;
    return rs;
}

void RecordSet::close() {
    m_open = false;
    m_rows = 0;
    m_current = 0;
    m_cells = {};
    m_nulls = {};
    m_dateValues = {};
}

void RecordSet::moveNext() {
    if (eof())
        throw std::runtime_error("Either BOF or EOF is True, or the current record has been deleted.");
    ++m_current;
}

void RecordSet::moveLast() {
    if (!m_open || m_rows == 0)
        throw std::runtime_error("Either BOF or EOF is True, or the current record has been deleted.");
    m_current = m_rows - 1;
}

int RecordSet::columnIndex(const QString& field) const {
    for (int c = 0; c < m_names.size(); ++c) {
        if (m_names.at(c).compare(field, Qt::CaseInsensitive) == 0)
            return c;
    }
    throw std::runtime_error(QStringLiteral("Item cannot be found in the collection: no field named %1.")
                                 .arg(field)
                                 .toStdString());
}

size_t RecordSet::cellIndex(const QString& field) const {
    if (!m_open)
        throw std::runtime_error("Operation is not allowed when the record set is closed.");
    const int column = columnIndex(field);
    if (eof())
        throw std::runtime_error("Either BOF or EOF is True, or the current record has been deleted.");
    return static_cast<size_t>(m_current) * static_cast<size_t>(m_names.size()) + static_cast<size_t>(column);
}

QString RecordSet::text(const QString& field) const {
    return m_cells[cellIndex(field)];
}

bool RecordSet::isNull(const QString& field) const {
    return m_nulls[cellIndex(field)];
}

QVariant RecordSet::value(const QString& field) const {
    const size_t index = cellIndex(field);
    if (m_nulls[index])
        return QVariant();
    const QString& cell = m_cells[index];
    switch (m_kinds[static_cast<size_t>(columnIndex(field))]) {
    case Kind::Integer: {
        bool ok = false;
        const qlonglong number = cell.toLongLong(&ok);
        return ok ? QVariant(number) : QVariant(cell);
    }
    case Kind::Real: {
        bool ok = false;
        const double number = cell.toDouble(&ok);
        return ok ? QVariant(number) : QVariant(cell);
    }
    case Kind::Date:
        return m_dateValues[index].isValid() ? QVariant(m_dateValues[index]) : QVariant(cell);
    case Kind::Text:
        break;
    }
    return cell;
}

std::vector<QString> RecordSet::takeCells() {
    std::vector<QString> cells = std::move(m_cells);
    close();
    return cells;
}
