#include "clock/ClockStamp.h"
#include "clock/LoginDifference.h"
#include "core/Globals.h"
#include "core/MainWindow.h"
#include "data/AttendanceDatabase.h"
#include "journal/TerminalJournal.h"
#include "platform/DateTexts.h"
#include "platform/ListView.h"

#include <stdexcept>

namespace {
constexpr int kColumns = 8;

QTime readTime(const QString& text) {
    const std::optional<QTime> time = DateTexts::parseClockTime(text);
    if (!time)
        throw std::runtime_error(
            QStringLiteral("Type mismatch: \"%1\" cannot be read as a time.").arg(text).toStdString());
    return *time;
}
} // namespace

QString loginDifference(const QString& timeIn, const QString& timeOut) {
    if (timeIn.isEmpty() || timeOut.isEmpty())
        return QString();
    const QTime in = readTime(timeIn);
    const QTime out = readTime(timeOut);
    const int minutes = out.msecsSinceStartOfDay() / 60000 - in.msecsSinceStartOfDay() / 60000;
    if (minutes == 0)
        return QString::number(in.secsTo(out)) + QStringLiteral(" sec(s)");
    return QString::number(minutes) + QStringLiteral(" min(s)");
}

void MainWindow::listLogins() {
    todayList->clearRows();
    RecordSet rs = Globals::connection().loginsOn(ClockStamp::shownDay(*this));
    if (!rs.eof() && todayList->columnCount() != kColumns)
        throw std::runtime_error("Invalid property value: today's list has not got its eight columns.");

    // The rows go to the list in one batch. A row whose times cannot be read stays in the list
    // with the columns set before the failure, as do the rows before it.
    std::vector<QString> cells;
    cells.reserve(static_cast<size_t>(rs.rowCount()) * kColumns);
    try {
        while (!rs.eof()) {
            for (const char* field :
                 {"EmployeeNo", "Name", "Department", "Position", "LogDate", "TimeIn", "TimeOut"})
                cells.push_back(rs.text(QString::fromLatin1(field)));
            const QString timeIn = cells[cells.size() - 2];
            const QString timeOut = cells[cells.size() - 1];
            QString difference = loginDifference(timeIn, timeOut);
            cells.push_back(std::move(difference));
            rs.moveNext();
        }
    } catch (...) {
        // Complete the row that was being filled, with empty cells from the failure on.
        cells.resize((cells.size() + kColumns - 1) / kColumns * kColumns);
        todayList->appendRows(std::move(cells));
        throw;
    }
    todayList->appendRows(std::move(cells));
    rs.close();
}

void MainWindow::listLoginsUnlessAway() {
    if (m_journal)
        m_journal->readUnlessAway([this] { listLogins(); });
    else
        listLogins();
}
