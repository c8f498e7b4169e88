#include "data/RecordSet.h"

#include "platform/DateTexts.h"

#include <SQLiteCpp/Column.h>
#include <SQLiteCpp/Statement.h>

#include <QHash>
#include <stdexcept>
#include <string_view>

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
// distinct value keeps them compact and spares a conversion per cell. The pool stops growing
// once a column proves too varied. Look-ups wrap the engine's bytes without copying them.
template <typename Value> class Pool {
public:
    template <typename Make> const Value* get(std::string_view utf8, Make make) {
        const QByteArray key = QByteArray::fromRawData(utf8.data(), static_cast<qsizetype>(utf8.size()));
        const auto found = m_pool.constFind(key);
        if (found != m_pool.constEnd())
            return &found.value();
        if (m_pool.size() >= kLimit) {
            m_spare = make(utf8);
            return &m_spare;
        }
        return &m_pool.insert(QByteArray(utf8.data(), static_cast<qsizetype>(utf8.size())), make(utf8))
                    .value();
    }

private:
    static constexpr qsizetype kLimit = 20000;
    QHash<QByteArray, Value> m_pool;
    Value m_spare;
};

QString fromUtf8(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

} // namespace

RecordSet RecordSet::fetch(SQLite::Statement& statement, int expectedRows) {
    RecordSet rs;
    const int columns = statement.getColumnCount();
    int dateColumns = 0;
    for (int c = 0; c < columns; ++c) {
        rs.m_names.append(QString::fromUtf8(statement.getColumnName(c)));
        const char* declared = nullptr;
        try {
            declared = statement.getColumnDeclaredType(c);
        } catch (const SQLite::Exception&) {
            declared = nullptr; // an expression column has no declared type
        }
        rs.m_kinds.push_back(kindOf(declared));
        rs.m_dateSlots.push_back(rs.m_kinds.back() == Kind::Date ? dateColumns++ : -1);
    }
    rs.m_dateColumns = dateColumns;

    std::vector<Pool<QString>> texts(static_cast<size_t>(columns));
    Pool<std::pair<QString, QDate>> dates;
    const auto makeDate = [](std::string_view utf8) {
        const QString stored = fromUtf8(utf8);
        const QDate date = QDate::fromString(stored.left(10), Qt::ISODate);
        // A value that is no ISO date is shown as stored rather than lost.
        return std::make_pair(date.isValid() ? DateTexts::shortDate(date) : stored, date);
    };
    if (expectedRows > 0) {
        rs.m_cells.reserve(static_cast<size_t>(expectedRows) * static_cast<size_t>(columns));
        rs.m_nulls.reserve(static_cast<size_t>(expectedRows) * static_cast<size_t>(columns));
        rs.m_dateValues.reserve(static_cast<size_t>(expectedRows) * static_cast<size_t>(dateColumns));
    }
    std::vector<SQLite::Column> fields;
    while (statement.executeStep()) {
        if (fields.empty()) {
            for (int c = 0; c < columns; ++c)
                fields.push_back(statement.getColumn(c));
        }
        for (int c = 0; c < columns; ++c) {
            const SQLite::Column& field = fields[static_cast<size_t>(c)];
            const int slot = rs.m_dateSlots[static_cast<size_t>(c)];
            // The engine gives no text for Null, which spares asking for the type of every cell.
            const char* text = field.getText(nullptr);
            if (!text) {
                rs.m_cells.emplace_back();
                rs.m_nulls.push_back(true);
                if (slot >= 0)
                    rs.m_dateValues.emplace_back();
                continue;
            }
            const std::string_view utf8(text, static_cast<size_t>(field.getBytes()));
            rs.m_nulls.push_back(false);
            if (slot >= 0) {
                const auto* date = dates.get(utf8, makeDate);
                rs.m_cells.push_back(date->first);
                rs.m_dateValues.push_back(date->second);
            } else {
                rs.m_cells.push_back(*texts[static_cast<size_t>(c)].get(utf8, fromUtf8));
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
    case Kind::Date: {
        const int column = columnIndex(field);
        const QDate date = m_dateValues[static_cast<size_t>(m_current) * static_cast<size_t>(m_dateColumns) +
                                        static_cast<size_t>(m_dateSlots[static_cast<size_t>(column)])];
        return date.isValid() ? QVariant(date) : QVariant(cell);
    }
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
