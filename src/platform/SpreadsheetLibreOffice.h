#pragma once

#include "platform/Spreadsheet.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

// LibreOffice Calc as the spreadsheet program, driven over UNO. The office is started with a pipe
// to accept the connection and reached within a deadline: a missing or stuck office counts as not
// installed instead of hanging the window. When the user's office is already running, the start
// request goes to it, and the workbook opens there; that office is never terminated.
namespace LibreOffice {

struct Settings {
    QString program;            // the office's start program; empty: soffice of the installed office
    QStringList extraArguments; // tests add --headless and a private -env:UserInstallation=…
    QString pipeName;           // the pipe the office accepts on; empty: a new name for every start
    int startTimeoutMs = 60000; // a first start with a new profile takes a while
};
Settings settings();
void setSettings(const Settings& settings);

// True when this build can talk UNO (built with the LibreOffice SDK).
bool unoBuilt();
// The start program that settings() leads to; "" when none is installed.
QString programPath();

// The "create object" of the export: starts (or joins) the office. Throws std::runtime_error.
std::unique_ptr<SpreadsheetApplication> startCalc();

// Reading back what an office holds: the tests' view of the sheets the export filled.
struct Cell {
    enum class Type { Empty, Value, Text, Formula };
    Type type = Type::Empty;
    QString string;  // the text the cell shows
    QString formula; // what the cell holds as entered (a formula, a text or a number)
};
struct SheetContent {
    std::vector<std::vector<Cell>> rows; // the first sheet from A1 to the end of its used area
    bool windowVisible = false;
    bool windowActive = false;
    const Cell& at(int row, int column) const; // counted from 1; an empty cell outside the area
};

class Probe {
public:
    // Starts an office of its own with `settings` (which need a pipe name) and connects to it.
    static std::unique_ptr<Probe> launch(const Settings& settings);
    ~Probe();
    Probe(const Probe&) = delete;
    Probe& operator=(const Probe&) = delete;

    // True while the office answers on the pipe.
    bool isAlive();
    // The first sheet of every open spreadsheet document.
    std::vector<SheetContent> spreadsheets();
    // Closes every open spreadsheet document without saving.
    void closeDocuments();
    // Ends the office this probe started and waits for its process to go.
    void terminate();

private:
    struct Private;
    explicit Probe(std::unique_ptr<Private> d);
    std::unique_ptr<Private> d;
};

} // namespace LibreOffice
