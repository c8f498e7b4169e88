#pragma once

#include <QString>
#include <functional>
#include <memory>

// Stand-in for the spreadsheet program's automation object ("Excel.Application"): the operations
// the export uses of it. Every operation throws std::runtime_error with a description on failure.
class SpreadsheetApplication {
public:
    virtual ~SpreadsheetApplication() = default;

    // Adds a new, empty workbook; the cell operations act on its active (first) sheet.
    virtual void addWorkbook() = 0;
    // Puts `text` into the cell at `row`, `column` (counted from 1) as if typed: texts that look
    // like numbers, dates or times become values; no text ever becomes a formula.
    virtual void setCell(int row, int column, const QString& text) = 0;
    // Fits the width of every column to its content.
    virtual void autoFitColumns() = 0;
    // Shows the program with the workbook and brings it to the front.
    virtual void setVisible() = 0;
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
