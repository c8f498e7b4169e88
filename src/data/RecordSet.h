#pragma once

#include <QDate>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <string_view>
#include <vector>

// The rows of one read, fetched in full when the statement runs (a static, read-only cursor).
// Cells are kept as the texts a field shows when "appended to an empty text": Null reads as "",
// a date column reads in the short-date form, numbers in decimal.
class RecordSet {
public:
    enum class Kind { Text, Integer, Real, Date };
    struct Column {
        QString name;
        Kind kind = Kind::Text;
    };
    class Builder;

    RecordSet() = default;

    bool isOpen() const { return m_open; }
    void close();

    bool eof() const { return !m_open || m_current >= m_rows; }
    void moveNext();
    void moveLast();

    int rowCount() const { return m_rows; }
    int columnCount() const { return static_cast<int>(m_names.size()); }
    QStringList columnNames() const { return m_names; }

    // Field of the current row; throws std::runtime_error at EOF or for an unknown name.
    QString text(const QString& field) const;
    bool isNull(const QString& field) const;
    // Null gives an invalid QVariant; Integer a qlonglong, Real a double, Date a QDate, Text a QString.
    QVariant value(const QString& field) const;
    // The same by the field's place, for loops over many rows that look the name up once.
    int fieldIndex(const QString& field) const;
    QString textAt(int column) const;
    QVariant valueAt(int column) const;

    // Every cell of the columns that are not integers (cellColumnNames), row after row, in column
    // order; the record set is closed afterwards.
    std::vector<QString> takeCells();
    QStringList cellColumnNames() const;
    // An integer column's values, row after row; 0 for Null and for a text that is no integer.
    std::vector<qint64> integers(const QString& field) const;

private:
    int checkedIndex(int index) const;
    // The current row, checked to be there.
    size_t currentRow() const;
    QString integerText(size_t index) const;

    bool m_open = false;
    int m_rows = 0;
    int m_current = 0;
    QStringList m_names;
    std::vector<Kind> m_kinds;
    // Integer columns keep numbers, not texts: a large list's identities would each cost a string.
    // A stored text that is no integer in its plain decimal form is kept apart, as it was.
    std::vector<int> m_cellSlots; // per column: its place among the text columns, or -1
    int m_cellColumns = 0;
    std::vector<QString> m_cells;
    std::vector<int> m_integerSlots; // per column: its place among the integer columns, or -1
    int m_integerColumns = 0;
    std::vector<qint64> m_integers;
    QHash<size_t, QString> m_oddIntegers; // by place in m_integers
    std::vector<bool> m_nulls;
    std::vector<int> m_dateSlots; // per column: its place among the date columns, or -1
    int m_dateColumns = 0;
    std::vector<QDate> m_dateValues; // the dates of the date columns, row after row
};

// Fills a record set from any engine: the columns with their kinds, then the cells row after row
// in column order. A cell is the engine's UTF-8 text of the value or Null; a date cell's text is
// an ISO date ("yyyy-MM-dd", anything after it ignored).
class RecordSet::Builder {
public:
    // `expectedRows` sizes the storage up front.
    explicit Builder(const std::vector<Column>& columns, int expectedRows = 0);
    ~Builder();
    Builder(const Builder&) = delete;
    Builder& operator=(const Builder&) = delete;

    void addNull();
    void addText(std::string_view utf8);
    // A cell of an integer column that the engine holds as a number: no text made and read back.
    void addInteger(qint64 value);
    // The finished record set, open and before its first row. Throws when a row is incomplete.
    RecordSet finish();

private:
    void advance();

    struct Pools;
    RecordSet m_set;
    std::unique_ptr<Pools> m_pools;
    size_t m_column = 0;
};
