#pragma once

#include <QDate>
#include <QString>
#include <QTime>
#include <functional>
#include <memory>
#include <stdexcept>

// Stand-in for the spreadsheet program's automation object ("Excel.Application"): the operations
// the export uses of it. Every operation throws std::runtime_error with a description on failure.
class SpreadsheetApplication {
public:
    virtual ~SpreadsheetApplication() = default;

    // Adds a new, empty workbook; the cell operations act on its active (first) sheet.
    virtual void addWorkbook() = 0;
    // Puts `text` into the cell at `row`, `column` (counted from 1) as if typed: texts that look
    // like numbers become values; no text ever becomes a formula.
    virtual void setCell(int row, int column, const QString& text) = 0;
    // Puts `text` into the cell as a text, exactly as given: never a value nor a formula. For person
    // numbers and names, which may only look like numbers ("007").
    virtual void setText(int row, int column, const QString& text) = 0;
    // Puts a date or a time of day into the cell as a value that shows in `form`, a QDate or
    // QTime format of the default locale ("M/d/yyyy", "hh:mm AP"), so the sheet shows the same
    // text as the list it came from.
    virtual void setDate(int row, int column, const QDate& date, const QString& form) = 0;
    virtual void setTime(int row, int column, const QTime& time, const QString& form) = 0;
    // Puts a length of time into the cell as a time value that shows hours past 24 and minutes
    // ("38:30"), so that the sheet can add durations up.
    virtual void setDuration(int row, int column, long long minutes) = 0;
    // Puts a number into the cell, shown with `decimals` places after the locale's decimal sign.
    virtual void setNumber(int row, int column, double value, int decimals) = 0;
    // Fits the width of every column to its content.
    virtual void autoFitColumns() = 0;
    // Shows the program with the workbook and brings it to the front.
    virtual void setVisible() = 0;
};

// The spreadsheet program stopped answering within its deadline, or went away. The connection is
// given up: this application object is of no further use.
class SpreadsheetLost : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

namespace Spreadsheet {

// Starts the spreadsheet program ("create object"), invisible. Throws std::runtime_error when it
// cannot be started; never waits longer than the program's start deadline.
std::unique_ptr<SpreadsheetApplication> start();

// Tests choose what start() creates (a recording fake, or a private office); an empty starter
// restores LibreOffice Calc.
using Starter = std::function<std::unique_ptr<SpreadsheetApplication>()>;
void setStarter(Starter starter);

} // namespace Spreadsheet
