#include "hours/HoursWorkbook.h"

#include "platform/DateTexts.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryFile>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <xlsxwriter.h>

namespace Hours {

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
double decimal(long long minutes) {
    return static_cast<double>(hundredthsOfHours(minutes)) / 100;
}

class Writer {
public:
    explicit Writer(lxw_workbook* workbook) : m_book(workbook) {
        m_title = format(nullptr, true);
        m_date = format("yyyy-mm-dd");
        m_time24 = format("hh:mm");
        m_time12 = format("hh:mm AM/PM");
        m_duration = format("[h]:mm");
        m_decimal = format("0.00");
        m_count = format("0");
    }

    lxw_worksheet* sheet(const QString& name, const QStringList& titles) {
        lxw_worksheet* sheet = workbook_add_worksheet(m_book, name.toUtf8().constData());
        if (!sheet)
            throw std::runtime_error("The workbook's sheet could not be made.");
        for (qsizetype c = 0; c < titles.size(); ++c) {
            text(sheet, 0, static_cast<int>(c), titles.at(c), m_title);
            worksheet_set_column(sheet, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c),
                                 std::max<double>(10, static_cast<double>(titles.at(c).size()) + 2), nullptr);
        }
        worksheet_freeze_panes(sheet, 1, 0);
        return sheet;
    }

    void text(lxw_worksheet* sheet, int row, int column, const QString& value, lxw_format* f = nullptr) {
        if (!value.isEmpty())
            worksheet_write_string(sheet, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(column),
                                   value.toUtf8().constData(), f);
    }
    void number(lxw_worksheet* sheet, int row, int column, double value, lxw_format* f) {
        worksheet_write_number(sheet, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(column), value, f);
    }
    // Hours twice: as a duration that adds up past 24 hours, and as decimal hours.
    void hours(lxw_worksheet* sheet, int row, int column, long long minutes) {
        number(sheet, row, column, dayFraction(minutes), m_duration);
        number(sheet, row, column + 1, decimal(minutes), m_decimal);
    }
    void count(lxw_worksheet* sheet, int row, int column, long long value) {
        number(sheet, row, column, static_cast<double>(value), m_count);
    }
    void date(lxw_worksheet* sheet, int row, int column, const QDate& day) {
        number(sheet, row, column, serialDay(day), m_date);
    }
    // A time of day in the form the clock wrote it: with AM/PM when the text has letters.
    void time(lxw_worksheet* sheet, int row, int column, const QTime& time, const QString& asPunched) {
        if (!time.isValid())
            return text(sheet, row, column, asPunched);
        const bool twelveHour =
            std::any_of(asPunched.begin(), asPunched.end(), [](QChar c) { return c.isLetter(); });
        number(sheet, row, column, dayFraction(time.hour() * 60 + time.minute()),
               twelveHour ? m_time12 : m_time24);
    }

private:
    lxw_format* format(const char* numberFormat, bool bold = false) {
        lxw_format* f = workbook_add_format(m_book);
        if (numberFormat)
            format_set_num_format(f, numberFormat);
        if (bold)
            format_set_bold(f);
        return f;
    }

    lxw_workbook* m_book;
    lxw_format* m_title;
    lxw_format* m_date;
    lxw_format* m_time24;
    lxw_format* m_time12;
    lxw_format* m_duration;
    lxw_format* m_decimal;
    lxw_format* m_count;
};

QStringList hoursTitles(const QString& what) {
    return {what, what + QStringLiteral(" (decimal)")};
}

void totalsSheet(Writer& w, const Period& period, const Report& report) {
    QStringList titles = {QStringLiteral("Person Number"), QStringLiteral("Name"),
                          QStringLiteral("Department"), QStringLiteral("Days worked")};
    for (const char* what : {"Present", "Breaks deducted", "Paid", "Regular", "Overtime"})
        titles << hoursTitles(QString::fromLatin1(what));
    titles << QStringLiteral("Open records") << QStringLiteral("Overnight records")
           << QStringLiteral("Long records") << QStringLiteral("Clock changes");
    lxw_worksheet* sheet =
        w.sheet(QStringLiteral("Hours %1 to %2")
                    .arg(period.from.toString(Qt::ISODate), period.to.toString(Qt::ISODate)),
                titles);
    int row = 1;
    const auto write = [&](const PersonTotals& p, const QString& number) {
        w.text(sheet, row, 0, number);
        w.text(sheet, row, 1, p.name);
        w.text(sheet, row, 2, p.department);
        w.count(sheet, row, 3, p.daysWorked);
        int column = 4;
        for (const long long minutes :
             {p.minutes, p.breakMinutes, p.paidMinutes, p.regularMinutes, p.overtimeMinutes}) {
            w.hours(sheet, row, column, minutes);
            column += 2;
        }
        for (const long long value :
             {static_cast<long long>(p.openRecords), static_cast<long long>(p.overnightRecords),
              static_cast<long long>(p.longRecords), static_cast<long long>(p.clockChangeRecords)})
            w.count(sheet, row, column++, value);
        ++row;
    };
    for (const PersonTotals& person : report.persons)
        write(person, person.number);
    write(report.totals, QStringLiteral("Total"));
}

void timesheetSheet(Writer& w, const std::vector<Record>& records, const Report& report, const Rules& rules) {
    QStringList titles = {QStringLiteral("Date"),          QStringLiteral("Person Number"),
                          QStringLiteral("Name"),          QStringLiteral("Login"),
                          QStringLiteral("Logout"),        QStringLiteral("Login rounded"),
                          QStringLiteral("Logout rounded")};
    titles << hoursTitles(QStringLiteral("Hours")) << QStringLiteral("Note");
    lxw_worksheet* sheet = w.sheet(QStringLiteral("Timesheet"), titles);
    const std::vector<QString> deductions = deductionNotes(records, report);
    int row = 1;
    for (size_t i = 0; i < records.size(); ++i) {
        const Record& r = records[i];
        const RecordHours h = hoursOf(r, rules);
        QStringList notes;
        if (const QString text = note(h, rules); !text.isEmpty())
            notes << text;
        if (!deductions[i].isEmpty())
            notes << deductions[i];
        w.date(sheet, row, 0, r.day);
        w.text(sheet, row, 1, r.number);
        w.text(sheet, row, 2, r.name);
        const bool closed = h.state == RecordHours::State::Closed;
        const auto punched = [](const QString& text) {
            return DateTexts::parseClockTime(text).value_or(QTime());
        };
        w.time(sheet, row, 3, punched(r.timeIn), r.timeIn);
        w.time(sheet, row, 4, punched(r.timeOut), r.timeOut);
        if (closed) {
            w.time(sheet, row, 5, h.roundedIn, r.timeIn);
            w.time(sheet, row, 6, h.roundedOut, r.timeOut);
            w.hours(sheet, row, 7, h.roundedMinutes);
        }
        w.text(sheet, row, 9, notes.join(QStringLiteral("; ")));
        ++row;
    }
}

} // namespace

void writeWorkbook(const QString& fileName, const Period& period, const std::vector<Record>& records,
                   const Report& report, const Rules& rules) {
    // Written beside the file under another name, then moved over it in one step.
    QTemporaryFile part(QFileInfo(fileName).absoluteDir().filePath(QStringLiteral(".hours-XXXXXX.xlsx")));
    if (!part.open())
        cannotWrite(fileName, part.errorString());
    part.close();
    {
        std::unique_ptr<lxw_workbook, WorkbookCloser> book(
            workbook_new(QFile::encodeName(part.fileName()).constData()));
        if (!book)
            cannotWrite(fileName, QStringLiteral("the workbook could not be started"));
        Writer writer(book.get());
        totalsSheet(writer, period, report);
        timesheetSheet(writer, records, report, rules);
        const lxw_error result = workbook_close(book.release());
        if (result != LXW_NO_ERROR)
            cannotWrite(fileName, QString::fromUtf8(lxw_strerror(result)));
    }
    if (std::rename(QFile::encodeName(part.fileName()).constData(),
                    QFile::encodeName(fileName).constData()) != 0)
        cannotWrite(fileName, QString::fromLocal8Bit(std::strerror(errno)));
    part.setAutoRemove(false);
}

} // namespace Hours
