#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QTime>
#include <functional>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

// An .xlsx workbook that spreadsheet programs read without guessing what a cell is: texts stay
// texts ("007" is not 7), days are dates, times of day are times, durations add up past 24 hours.
// No office program is needed.
class Workbook {
public:
    class Sheet {
    public:
        void text(int row, int column, const QString& value);
        void date(int row, int column, const QDate& day);
        // A time of day in the form the clock wrote it (with AM/PM when `asWritten` has letters);
        // the text itself when it is no time.
        void time(int row, int column, const QTime& time, const QString& asWritten);
        void duration(int row, int column, long long minutes); // [h]:mm
        void decimal(int row, int column, double value);       // 0.00
        void count(int row, int column, long long value);

    private:
        friend class Workbook;
        Sheet(Workbook& book, lxw_worksheet* sheet) : m_book(book), m_sheet(sheet) {}
        void number(int row, int column, double value, lxw_format* format);
        Workbook& m_book;
        lxw_worksheet* m_sheet;
    };

    // A sheet with a bold title row that stays in view.
    Sheet sheet(const QString& name, const QStringList& titles);

    // Writes `fileName` from what `fill` puts in the book: beside it under another name first, then
    // moved over it in one step, so an existing file is replaced only by a complete one. Throws
    // std::runtime_error "Cannot write the file …" when it cannot be written.
    static void write(const QString& fileName, const std::function<void(Workbook&)>& fill);

private:
    explicit Workbook(lxw_workbook* book);
    lxw_format* format(const char* numberFormat, bool bold = false);

    lxw_workbook* m_book;
    lxw_format* m_title;
    lxw_format* m_date;
    lxw_format* m_time24;
    lxw_format* m_time12;
    lxw_format* m_duration;
    lxw_format* m_decimal;
    lxw_format* m_count;
};
