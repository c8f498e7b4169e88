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
        bool failureLoses = false;   // … as a program that stopped answering (SpreadsheetLost)
        int starts = 0;
        int releases = 0;
        // "addWorkbook", "setCell 2 3 text", "setText 2 1 007", "setDate 2 5 2021-09-14 M/d/yyyy",
        // "setTime 2 6 08:00 hh:mm AP", "setDuration 2 5 425", "setNumber 2 6 7.08 2",
        // "autoFitColumns", "setVisible"
        QStringList calls;
        // (row, column) -> text, ISO date or time, minutes of a duration, or the number
        std::map<std::pair<int, int>, QString> cells;
        QString cell(int row, int column) const;
    };

    explicit RecordingSpreadsheet(std::shared_ptr<Log> log);
    ~RecordingSpreadsheet() override;

    void addWorkbook() override;
    void setCell(int row, int column, const QString& text) override;
    void setText(int row, int column, const QString& text) override;
    void setDate(int row, int column, const QDate& date, const QString& form) override;
    void setTime(int row, int column, const QTime& time, const QString& form) override;
    void setDuration(int row, int column, long long minutes) override;
    void setNumber(int row, int column, double value, int decimals) override;
    void autoFitColumns() override;
    void setVisible() override;

    // A starter for Spreadsheet::setStarter that hands out recorders writing into `log`.
    static Spreadsheet::Starter starter(std::shared_ptr<Log> log);

private:
    void record(const QString& operation, const QString& call);

    std::shared_ptr<Log> m_log;
};
