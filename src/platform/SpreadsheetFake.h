#pragma once

#include "platform/Spreadsheet.h"

#include <QStringList>
#include <map>
#include <memory>
#include <utility>

// A spreadsheet program that only records what it is asked to do, for tests of the export's logic.
class RecordingSpreadsheet : public SpreadsheetApplication {
public:
    // What every recorder of one starter saw; it outlives the application objects.
    struct Log {
        bool programMissing = false; // start() fails as if no spreadsheet program were installed
        QString failingOperation;    // this operation ("addWorkbook", "setCell", …) throws
        int starts = 0;
        int releases = 0;
        QStringList calls; // "addWorkbook", "setCell 2 3 text", "autoFitColumns", "setVisible"
        std::map<std::pair<int, int>, QString> cells; // (row, column) -> text
        QString cell(int row, int column) const;
    };

    explicit RecordingSpreadsheet(std::shared_ptr<Log> log);
    ~RecordingSpreadsheet() override;

    void addWorkbook() override;
    void setCell(int row, int column, const QString& text) override;
    void autoFitColumns() override;
    void setVisible() override;

    // A starter for Spreadsheet::setStarter that hands out recorders writing into `log`.
    static Spreadsheet::Starter starter(std::shared_ptr<Log> log);

private:
    void record(const QString& operation, const QString& call);

    std::shared_ptr<Log> m_log;
};
