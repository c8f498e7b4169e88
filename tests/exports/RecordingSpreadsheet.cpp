#include "RecordingSpreadsheet.h"

#include <stdexcept>

QString RecordingSpreadsheet::Log::cell(int row, int column) const {
    const auto found = cells.find({row, column});
    return found == cells.end() ? QString() : found->second;
}

RecordingSpreadsheet::RecordingSpreadsheet(std::shared_ptr<Log> log) : m_log(std::move(log)) {}

RecordingSpreadsheet::~RecordingSpreadsheet() {
    ++m_log->releases;
}

void RecordingSpreadsheet::record(const QString& operation, const QString& call) {
    m_log->calls << call;
    if (operation != m_log->failingOperation)
        return;
    if (m_log->failureLoses)
        throw SpreadsheetLost("The spreadsheet program stopped answering at " + operation.toStdString() +
                              ".");
    throw std::runtime_error("The spreadsheet program refused " + operation.toStdString() + ".");
}

void RecordingSpreadsheet::addWorkbook() {
    record(QStringLiteral("addWorkbook"), QStringLiteral("addWorkbook"));
}

void RecordingSpreadsheet::setCell(int row, int column, const QString& text) {
    record(QStringLiteral("setCell"), QStringLiteral("setCell %1 %2 %3").arg(row).arg(column).arg(text));
    m_log->cells[{row, column}] = text;
}

void RecordingSpreadsheet::setText(int row, int column, const QString& text) {
    record(QStringLiteral("setText"), QStringLiteral("setText %1 %2 %3").arg(row).arg(column).arg(text));
    m_log->cells[{row, column}] = text;
}

void RecordingSpreadsheet::setDate(int row, int column, const QDate& date, const QString& form) {
    const QString value = date.toString(Qt::ISODate);
    record(QStringLiteral("setDate"),
           QStringLiteral("setDate %1 %2 %3 %4").arg(row).arg(column).arg(value, form));
    m_log->cells[{row, column}] = value;
}

void RecordingSpreadsheet::setTime(int row, int column, const QTime& time, const QString& form) {
    const QString value = time.toString(QStringLiteral("HH:mm"));
    record(QStringLiteral("setTime"),
           QStringLiteral("setTime %1 %2 %3 %4").arg(row).arg(column).arg(value, form));
    m_log->cells[{row, column}] = value;
}

void RecordingSpreadsheet::setDuration(int row, int column, long long minutes) {
    record(QStringLiteral("setDuration"),
           QStringLiteral("setDuration %1 %2 %3").arg(row).arg(column).arg(minutes));
    m_log->cells[{row, column}] = QString::number(minutes);
}

void RecordingSpreadsheet::setNumber(int row, int column, double value, int decimals) {
    const QString number = QString::number(value, 'f', decimals);
    record(QStringLiteral("setNumber"),
           QStringLiteral("setNumber %1 %2 %3 %4").arg(row).arg(column).arg(number).arg(decimals));
    m_log->cells[{row, column}] = number;
}

void RecordingSpreadsheet::autoFitColumns() {
    record(QStringLiteral("autoFitColumns"), QStringLiteral("autoFitColumns"));
}

void RecordingSpreadsheet::setVisible() {
    record(QStringLiteral("setVisible"), QStringLiteral("setVisible"));
}

Spreadsheet::Starter RecordingSpreadsheet::starter(std::shared_ptr<Log> log) {
    return [log]() -> std::unique_ptr<SpreadsheetApplication> {
        if (log->programMissing)
            throw std::runtime_error("The spreadsheet program could not be started.");
        ++log->starts;
        return std::make_unique<RecordingSpreadsheet>(log);
    };
}
