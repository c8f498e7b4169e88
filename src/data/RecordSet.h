#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <vector>

namespace SQLite {
class Statement;
}

// The rows of one read, fetched in full when the statement runs (a static, read-only cursor).
// Cells are kept as the texts a field shows when "appended to an empty text": Null reads as "",
// a date column reads in the short-date form, numbers in decimal.
class RecordSet {
public:
    enum class Kind { Text, Integer, Real, Date };

    RecordSet() = default;
    // Runs the statement and reads every row; `expectedRows` sizes the storage up front.
    static RecordSet fetch(SQLite::Statement& statement, int expectedRows = 0);

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

    // Every cell, row after row, in column order; the record set is closed afterwards.
    std::vector<QString> takeCells();

private:
    int columnIndex(const QString& field) const;
    size_t cellIndex(const QString& field) const;

    bool m_open = false;
    int m_rows = 0;
    int m_current = 0;
    QStringList m_names;
    std::vector<Kind> m_kinds;
    std::vector<QString> m_cells;
    std::vector<bool> m_nulls;
    std::vector<int> m_dateSlots; // per column: its place among the date columns, or -1
    int m_dateColumns = 0;
    std::vector<QDate> m_dateValues; // the dates of the date columns, row after row
};
