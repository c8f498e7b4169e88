#include "clock/LoginDifference.h"
#include "core/Form1.h"
#include "core/Globals.h"
#include "data/AttendanceDatabase.h"
#include "platform/DateTexts.h"
#include "platform/ListView.h"

#include <QLabel>
#include <stdexcept>

namespace {
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

void Form1::listLogins() {
    ListView1->clearRows();
    if (lblDate->text().isEmpty() || !m_shownDate.isValid())
        throw std::runtime_error("The clock shows no date, so there is no day to list. Choose a date format "
                                 "with the Format button.");
    RecordSet rs = Globals::connection().loginsOn(m_shownDate);
    const int columns = ListView1->columnCount();
    if (columns != 8)
        throw std::runtime_error("Today's list has not got its eight columns.");

    // The rows go to the list in one batch; a failing row keeps the rows before it.
    std::vector<QString> cells;
    cells.reserve(static_cast<size_t>(rs.rowCount()) * 8);
    try {
        while (!rs.eof()) {
            const QString timeIn = rs.text(QStringLiteral("TimeIn"));
            const QString timeOut = rs.text(QStringLiteral("TimeOut"));
            QString difference = loginDifference(timeIn, timeOut);
            for (const char* field : {"EmployeeNo", "Name", "Department", "Position", "LogDate"})
                cells.push_back(rs.text(QString::fromLatin1(field)));
            cells.push_back(timeIn);
            cells.push_back(timeOut);
            cells.push_back(std::move(difference));
            rs.moveNext();
        }
    } catch (...) {
        ListView1->appendRows(std::move(cells));
        throw;
    }
    ListView1->appendRows(std::move(cells));
    rs.close();
}
