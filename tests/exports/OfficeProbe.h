#pragma once

#include "platform/SpreadsheetOffice.h"

#include <QString>
#include <memory>
#include <vector>

// Reading back what an office holds: the tests' view of the sheets the export filled.
namespace LibreOffice {

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

    qint64 pid() const;
    // The office's processes: its start program and what that started.
    std::vector<qint64> processes() const;
    // Drops the probe's connection until its next use. Objects of one office are shared by every
    // connection of this process to it, so a test of one connection of its own lets go of the
    // probe's first.
    void disconnect();
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

// True when this build has the office module (built with the LibreOffice SDK).
bool moduleBuilt();

} // namespace LibreOffice
