#pragma once

#include "hours/HoursTotals.h"
#include "hours/Periods.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

class SpreadsheetApplication;

// The hours worked leave the program as a text file, CSV, JSON, a spreadsheet or printed
// timesheets. Plain functions: the Hours window and the command line share them.
namespace Hours {

// The totals as the Hours window lists them: one row per person, then the "Total" row.
struct Table {
    QStringList titles;
    std::vector<QStringList> rows;
};
Table totalsTable(const Report& report, const QString& decimalPoint = QStringLiteral("."));
// The totals list's columns, in order.
enum TotalsColumn {
    Number,
    Name,
    Department,
    DaysWorked,
    HoursClock,
    HoursDecimal,
    OpenRecords,
    OvernightRecords,
    LongRecords,
    ColumnCount
};
const QStringList& totalsTitles();
// The columns a report made with pay rules adds after those, in order.
enum PayColumn {
    BreaksDeducted = ColumnCount,
    Paid,
    PaidDecimal,
    Regular,
    RegularDecimal,
    Overtime,
    OvertimeDecimal,
    PayColumnEnd
};
const QStringList& payTitles();

// "Hours worked from 2026-03-02 to 2026-03-08": the line that names a period in every export.
QString periodTitle(const Period& period);
// The table with two more columns, From and To, the period's days (ISO) in every row: a CSV file
// names its period and stays one plain table.
Table withPeriod(Table table, const Period& period);

// By the rules of the reports window's text export: the titles of the columns the first row fills,
// then every row's non-empty cells, each followed by a TAB, lines ended by CR LF. Without the final
// CR LF that ListTextFile::writeText adds. Throws std::runtime_error for a table without rows.
QString tabText(const Table& table);

// Comma-separated values: a title line, then one line per row; fields holding a comma, a quote, a
// line break or edge blanks are quoted, quotes doubled; lines ended by CR LF. A text cell that a
// spreadsheet would read as a formula (=, +, -, @ first) gets an apostrophe in front.
QString csvText(const Table& table);
// Tab-separated values for programs: a title line, then one line per row with every column in
// place (empty cells too), lines ended by LF. A TAB or line break inside a field, which the format
// cannot carry, becomes a blank; formulas are kept texts as in csvText.
QString tsvText(const Table& table);
// csvText as a file: UTF-8 after a byte-order mark, which spreadsheet programs need to take the
// file for UTF-8 rather than their 8-bit code page; LibreOffice and Python's "utf-8-sig" read it.
QByteArray csvFile(const Table& table);

// The period and the totals as a JSON object: {"from", "to", "persons": [...], "totals": {...}},
// each person with its number, name, department, daysWorked, minutes, hours ("38:30"),
// hoursDecimal (38.5), openRecords, overnightRecords, longRecords and unreadableRecords; made with pay
// rules, also breakMinutes, paidMinutes, regularMinutes, overtimeMinutes and clockChangeRecords.
QByteArray jsonText(const Report& report, const Period& period);

// The records one per line: Date (ISO), Person Number, Name, Login, Logout, Hours, Note. With pay
// rules, the rounded Login and Logout and the Paid hours before the note, and each day's deduction
// noted on its last record.
Table recordsTable(const std::vector<Record>& records, const Rules& rules);
// The period and its records as a JSON object: {"from", "to", "records": [...]}, each record with
// its date, number, name, department, timeIn, timeOut, state ("closed", "open" or "unreadable"),
// minutes, hours and hoursDecimal (0 unless closed), overnight, long and note.
QByteArray recordsJson(const std::vector<Record>& records, const Rules& rules, const Period& period);

// Fills the active sheet of a new workbook with the totals: titles, texts as texts, counts as
// numbers, hours as a duration ([HH]:MM) and as a number with two decimals. Throws what the
// spreadsheet throws.
void fillSheet(SpreadsheetApplication& sheet, const Report& report);

// A PDF with one timesheet per person of the report, each starting on a new page: the person, the
// period, every record's day, login, logout and hours, the total, and lines for the signatures of
// the person and of the supervisor. `records` are those the report was made of. Throws
// std::runtime_error when the file cannot be written; an existing file is replaced only once the
// new one is complete.
void writeTimesheets(const QString& fileName, const Period& period, const std::vector<Record>& records,
                     const Report& report, const Rules& rules);

} // namespace Hours
