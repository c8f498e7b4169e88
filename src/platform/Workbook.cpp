#include "platform/Workbook.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <xlsxwriter.h>

namespace {

struct WorkbookCloser {
    void operator()(lxw_workbook* workbook) const {
        if (workbook)
            workbook_close(workbook);
    }
};

[[noreturn]] void cannotWrite(const QString& fileName, const QString& why) {
    throw std::runtime_error(QStringLiteral("Cannot write the file %1: %2").arg(fileName, why).toStdString());
}

// Spreadsheets count days from 30 December 1899 and times as fractions of a day.
double serialDay(const QDate& day) {
    return static_cast<double>(QDate(1899, 12, 30).daysTo(day));
}
double dayFraction(long long minutes) {
    return static_cast<double>(minutes) / (24.0 * 60.0);
}

} // namespace

Workbook::Workbook(lxw_workbook* book) : m_book(book) {
    m_title = format(nullptr, true);
    m_date = format("yyyy-mm-dd");
    m_time24 = format("hh:mm");
    m_time12 = format("hh:mm AM/PM");
    m_duration = format("[h]:mm");
    m_decimal = format("0.00");
    m_count = format("0");
}

lxw_format* Workbook::format(const char* numberFormat, bool bold) {
    lxw_format* f = workbook_add_format(m_book);
    if (numberFormat)
        format_set_num_format(f, numberFormat);
    if (bold)
        format_set_bold(f);
    return f;
}

Workbook::Sheet Workbook::sheet(const QString& name, const QStringList& titles) {
    lxw_worksheet* made = workbook_add_worksheet(m_book, name.toUtf8().constData());
    if (!made)
        throw std::runtime_error("The workbook's sheet could not be made.");
    for (qsizetype c = 0; c < titles.size(); ++c) {
        const auto column = static_cast<lxw_col_t>(c);
        worksheet_write_string(made, 0, column, titles.at(c).toUtf8().constData(), m_title);
        worksheet_set_column(made, column, column,
                             std::max<double>(10, static_cast<double>(titles.at(c).size()) + 2), nullptr);
    }
    worksheet_freeze_panes(made, 1, 0);
    return Sheet(*this, made);
}

void Workbook::Sheet::number(int row, int column, double value, lxw_format* format) {
    worksheet_write_number(m_sheet, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(column), value,
                           format);
}

void Workbook::Sheet::text(int row, int column, const QString& value) {
    if (!value.isEmpty())
        worksheet_write_string(m_sheet, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(column),
                               value.toUtf8().constData(), nullptr);
}

void Workbook::Sheet::date(int row, int column, const QDate& day) {
    if (day.isValid())
        number(row, column, serialDay(day), m_book.m_date);
}

void Workbook::Sheet::time(int row, int column, const QTime& time, const QString& asWritten) {
    if (!time.isValid())
        return text(row, column, asWritten);
    const bool twelveHour =
        std::any_of(asWritten.begin(), asWritten.end(), [](QChar c) { return c.isLetter(); });
    number(row, column, dayFraction(time.hour() * 60 + time.minute()),
           twelveHour ? m_book.m_time12 : m_book.m_time24);
}

void Workbook::Sheet::duration(int row, int column, long long minutes) {
    number(row, column, dayFraction(minutes), m_book.m_duration);
}

void Workbook::Sheet::decimal(int row, int column, double value) {
    number(row, column, value, m_book.m_decimal);
}

void Workbook::Sheet::count(int row, int column, long long value) {
    number(row, column, static_cast<double>(value), m_book.m_count);
}

void Workbook::write(const QString& fileName, const std::function<void(Workbook&)>& fill) {
    QTemporaryFile part(QFileInfo(fileName).absoluteDir().filePath(QStringLiteral(".workbook-XXXXXX.xlsx")));
    if (!part.open())
        cannotWrite(fileName, part.errorString());
    part.close();
    {
        std::unique_ptr<lxw_workbook, WorkbookCloser> book(
            workbook_new(QFile::encodeName(part.fileName()).constData()));
        if (!book)
            cannotWrite(fileName, QStringLiteral("the workbook could not be started"));
        Workbook workbook(book.get());
        fill(workbook);
        const lxw_error result = workbook_close(book.release());
        if (result != LXW_NO_ERROR)
            cannotWrite(fileName, QString::fromUtf8(lxw_strerror(result)));
    }
    if (std::rename(QFile::encodeName(part.fileName()).constData(),
                    QFile::encodeName(fileName).constData()) != 0)
        cannotWrite(fileName, QString::fromLocal8Bit(std::strerror(errno)));
    part.setAutoRemove(false);
}
