#include "data/RecordSet.h"

#include "platform/DateTexts.h"

#include <QHash>
#include <optional>
#include <stdexcept>
#include <string_view>

namespace {

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

    // Whether a value came from the pool, where it stays, rather than being the spare one.
    bool holds(const Value* value) const { return value != &m_spare; }

private:
    static constexpr qsizetype kLimit = 20000;
    QHash<QByteArray, Value> m_pool;
    Value m_spare;
};

QString fromUtf8(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// The integer a text is in its plain decimal form ("-12", never "012", "+3" or " 4"), which
// QString::number gives back exactly; none for any other text.
std::optional<qint64> plainInteger(std::string_view text) {
    const bool negative = !text.empty() && text.front() == '-';
    const std::string_view digits = negative ? text.substr(1) : text;
    if (digits.empty() || digits.size() > 18 || (digits.size() > 1 && digits.front() == '0') ||
        (negative && digits == "0"))
        return std::nullopt;
    qint64 value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

} // namespace

struct RecordSet::Builder::Pools {
    std::vector<Pool<QString>> texts;
    Pool<std::pair<QString, QDate>> dates;
    // Per column, the previous row's bytes and cell: rows in the order they were written repeat
    // the day of the row before, which spares the look-up.
    std::vector<std::string> lastBytes;
    std::vector<const std::pair<QString, QDate>*> lastDate;
};

RecordSet::Builder::Builder(const std::vector<Column>& columns, int expectedRows) : m_pools(new Pools) {
    int dateColumns = 0;
    int cellColumns = 0;
    int integerColumns = 0;
    for (const Column& column : columns) {
        m_set.m_names.append(column.name);
        m_set.m_kinds.push_back(column.kind);
        m_set.m_dateSlots.push_back(column.kind == Kind::Date ? dateColumns++ : -1);
        const bool integer = column.kind == Kind::Integer;
        m_set.m_cellSlots.push_back(integer ? -1 : cellColumns++);
        m_set.m_integerSlots.push_back(integer ? integerColumns++ : -1);
    }
    m_set.m_dateColumns = dateColumns;
    m_set.m_cellColumns = cellColumns;
    m_set.m_integerColumns = integerColumns;
    m_pools->texts.resize(columns.size());
    m_pools->lastBytes.resize(columns.size());
    m_pools->lastDate.resize(columns.size(), nullptr);
    if (expectedRows > 0) {
        const size_t rows = static_cast<size_t>(expectedRows);
        m_set.m_cells.reserve(rows * static_cast<size_t>(cellColumns));
        m_set.m_integers.reserve(rows * static_cast<size_t>(integerColumns));
        m_set.m_nulls.reserve(rows * columns.size());
        m_set.m_dateValues.reserve(rows * static_cast<size_t>(dateColumns));
    }
}

RecordSet::Builder::~Builder() = default;

void RecordSet::Builder::advance() {
    if (++m_column == m_set.m_kinds.size()) {
        m_column = 0;
        ++m_set.m_rows;
    }
}

void RecordSet::Builder::addNull() {
    if (m_set.m_integerSlots[m_column] >= 0)
        m_set.m_integers.push_back(0);
    else
        m_set.m_cells.emplace_back();
    m_set.m_nulls.push_back(true);
    if (m_set.m_dateSlots[m_column] >= 0)
        m_set.m_dateValues.emplace_back();
    advance();
}

void RecordSet::Builder::addText(std::string_view utf8) {
    static const auto makeDate = [](std::string_view text) {
        const QString stored = fromUtf8(text);
        const QDate date = QDate::fromString(stored.left(10), Qt::ISODate);
        // A value that is no ISO date is shown as stored rather than lost.
        return std::make_pair(date.isValid() ? DateTexts::shortDate(date) : stored, date);
    };
    m_set.m_nulls.push_back(false);
    if (m_set.m_integerSlots[m_column] >= 0) {
        const std::optional<qint64> number = plainInteger(utf8);
        if (!number)
            m_set.m_oddIntegers.insert(m_set.m_integers.size(), fromUtf8(utf8));
        m_set.m_integers.push_back(number.value_or(0));
    } else if (m_set.m_dateSlots[m_column] >= 0) {
        const std::pair<QString, QDate>*& last = m_pools->lastDate[m_column];
        const auto* date =
            last && m_pools->lastBytes[m_column] == utf8 ? last : m_pools->dates.get(utf8, makeDate);
        if (date != last) {
            // Only a pooled value stays put; the spare one is overwritten by the next miss.
            last = m_pools->dates.holds(date) ? date : nullptr;
            m_pools->lastBytes[m_column].assign(utf8);
        }
        m_set.m_cells.push_back(date->first);
        m_set.m_dateValues.push_back(date->second);
    } else {
        m_set.m_cells.push_back(*m_pools->texts[m_column].get(utf8, fromUtf8));
    }
    advance();
}

void RecordSet::Builder::addInteger(qint64 value) {
    if (m_set.m_integerSlots[m_column] < 0) {
        const std::string text = std::to_string(value);
        return addText(text);
    }
    m_set.m_nulls.push_back(false);
    m_set.m_integers.push_back(value);
    advance();
}

RecordSet RecordSet::Builder::finish() {
    if (m_column != 0)
        throw std::logic_error("a record set was finished in the middle of a row");
    m_set.m_open = true;
    m_pools.reset(new Pools);
    m_pools->texts.resize(m_set.m_kinds.size());
    m_pools->lastBytes.resize(m_set.m_kinds.size());
    m_pools->lastDate.resize(m_set.m_kinds.size(), nullptr);
    return std::move(m_set);
}

void RecordSet::close() {
    m_open = false;
    m_rows = 0;
    m_current = 0;
    m_cells = {};
    m_integers = {};
    m_oddIntegers = {};
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

int RecordSet::fieldIndex(const QString& field) const {
    for (int c = 0; c < m_names.size(); ++c) {
        if (m_names.at(c).compare(field, Qt::CaseInsensitive) == 0)
            return c;
    }
    throw std::runtime_error(QStringLiteral("Item cannot be found in the collection: no field named %1.")
                                 .arg(field)
                                 .toStdString());
}

int RecordSet::checkedIndex(int index) const {
    if (index < 0 || index >= m_names.size())
        throw std::runtime_error(
            QStringLiteral("Item cannot be found in the collection: no field %1.").arg(index).toStdString());
    return index;
}

size_t RecordSet::currentRow() const {
    if (!m_open)
        throw std::runtime_error("Operation is not allowed when the record set is closed.");
    if (eof())
        throw std::runtime_error("Either BOF or EOF is True, or the current record has been deleted.");
    return static_cast<size_t>(m_current);
}

QString RecordSet::integerText(size_t index) const {
    const auto odd = m_oddIntegers.constFind(index);
    return odd != m_oddIntegers.cend() ? *odd : QString::number(m_integers[index]);
}

QString RecordSet::text(const QString& field) const {
    return textAt(fieldIndex(field));
}

QString RecordSet::textAt(int index) const {
    const auto column = static_cast<size_t>(checkedIndex(index));
    const size_t row = currentRow();
    if (m_nulls[row * m_kinds.size() + column])
        return {};
    if (const int slot = m_integerSlots[column]; slot >= 0)
        return integerText(row * static_cast<size_t>(m_integerColumns) + static_cast<size_t>(slot));
    return m_cells[row * static_cast<size_t>(m_cellColumns) + static_cast<size_t>(m_cellSlots[column])];
}

bool RecordSet::isNull(const QString& field) const {
    const auto column = static_cast<size_t>(fieldIndex(field));
    return m_nulls[currentRow() * m_kinds.size() + column];
}

QVariant RecordSet::value(const QString& field) const {
    return valueAt(fieldIndex(field));
}

QVariant RecordSet::valueAt(int index) const {
    const auto column = static_cast<size_t>(checkedIndex(index));
    const size_t row = currentRow();
    if (m_nulls[row * m_kinds.size() + column])
        return QVariant();
    switch (m_kinds[column]) {
    case Kind::Integer: {
        const size_t at =
            row * static_cast<size_t>(m_integerColumns) + static_cast<size_t>(m_integerSlots[column]);
        const auto odd = m_oddIntegers.constFind(at);
        return odd != m_oddIntegers.cend() ? QVariant(*odd) : QVariant(qlonglong{m_integers[at]});
    }
    case Kind::Real: {
        const QString cell = textAt(index);
        bool ok = false;
        const double number = cell.toDouble(&ok);
        return ok ? QVariant(number) : QVariant(cell);
    }
    case Kind::Date: {
        const QDate date =
            m_dateValues[row * static_cast<size_t>(m_dateColumns) + static_cast<size_t>(m_dateSlots[column])];
        return date.isValid() ? QVariant(date) : QVariant(textAt(index));
    }
    case Kind::Text:
        break;
    }
    return textAt(index);
}

QStringList RecordSet::cellColumnNames() const {
    QStringList names;
    for (qsizetype c = 0; c < m_names.size(); ++c) {
        if (m_cellSlots[static_cast<size_t>(c)] >= 0)
            names << m_names.at(c);
    }
    return names;
}

std::vector<qint64> RecordSet::integers(const QString& field) const {
    const auto column = static_cast<size_t>(fieldIndex(field));
    const int slot = m_integerSlots[column];
    if (slot < 0)
        throw std::logic_error("integers() of a column that is not an integer column");
    std::vector<qint64> values;
    values.reserve(static_cast<size_t>(m_rows));
    for (size_t row = 0; row < static_cast<size_t>(m_rows); ++row) {
        const size_t index = row * static_cast<size_t>(m_integerColumns) + static_cast<size_t>(slot);
        values.push_back(m_oddIntegers.contains(index) ? 0 : m_integers[index]);
    }
    return values;
}

std::vector<QString> RecordSet::takeCells() {
    std::vector<QString> cells = std::move(m_cells);
    close();
    return cells;
}
