#include "hours/HoursWorkbook.h"

#include "platform/DateTexts.h"
#include "platform/Workbook.h"

namespace Hours {

namespace {

// Hours twice: as a duration that adds up past 24 hours, and as decimal hours.
void hours(Workbook::Sheet& sheet, int row, int column, long long minutes) {
    sheet.duration(row, column, minutes);
    sheet.decimal(row, column + 1, static_cast<double>(hundredthsOfHours(minutes)) / 100);
}

QStringList hoursTitles(const QString& what) {
    return {what, what + QStringLiteral(" (decimal)")};
}

void totalsSheet(Workbook& w, const Period& period, const Report& report) {
    QStringList titles = {QStringLiteral("Person Number"), QStringLiteral("Name"),
                          QStringLiteral("Department"), QStringLiteral("Days worked")};
    for (const char* what : {"Present", "Breaks deducted", "Paid", "Regular", "Overtime"})
        titles << hoursTitles(QString::fromLatin1(what));
    titles << QStringLiteral("Open records") << QStringLiteral("Overnight records")
           << QStringLiteral("Long records") << QStringLiteral("Clock changes");
    Workbook::Sheet sheet =
        w.sheet(QStringLiteral("Hours %1 to %2")
                    .arg(period.from.toString(Qt::ISODate), period.to.toString(Qt::ISODate)),
                titles);
    int row = 1;
    const auto write = [&](const PersonTotals& p, const QString& number) {
        sheet.text(row, 0, number);
        sheet.text(row, 1, p.name);
        sheet.text(row, 2, p.department);
        sheet.count(row, 3, p.daysWorked);
        int column = 4;
        for (const long long minutes :
             {p.minutes, p.breakMinutes, p.paidMinutes, p.regularMinutes, p.overtimeMinutes}) {
            hours(sheet, row, column, minutes);
            column += 2;
        }
        for (const long long value :
             {static_cast<long long>(p.openRecords), static_cast<long long>(p.overnightRecords),
              static_cast<long long>(p.longRecords), static_cast<long long>(p.clockChangeRecords)})
            sheet.count(row, column++, value);
        ++row;
    };
    for (const PersonTotals& person : report.persons)
        write(person, person.number);
    write(report.totals, QStringLiteral("Total"));
}

void timesheetSheet(Workbook& w, const std::vector<Record>& records, const Report& report,
                    const Rules& rules) {
    QStringList titles = {QStringLiteral("Date"),          QStringLiteral("Person Number"),
                          QStringLiteral("Name"),          QStringLiteral("Login"),
                          QStringLiteral("Logout"),        QStringLiteral("Login rounded"),
                          QStringLiteral("Logout rounded")};
    titles << hoursTitles(QStringLiteral("Hours")) << QStringLiteral("Note");
    Workbook::Sheet sheet = w.sheet(QStringLiteral("Timesheet"), titles);
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
        sheet.date(row, 0, r.day);
        sheet.text(row, 1, r.number);
        sheet.text(row, 2, r.name);
        const bool closed = h.state == RecordHours::State::Closed;
        const auto punched = [](const QString& text) {
            return DateTexts::parseClockTime(text).value_or(QTime());
        };
        sheet.time(row, 3, punched(r.timeIn), r.timeIn);
        sheet.time(row, 4, punched(r.timeOut), r.timeOut);
        if (closed) {
            sheet.time(row, 5, h.roundedIn, r.timeIn);
            sheet.time(row, 6, h.roundedOut, r.timeOut);
            hours(sheet, row, 7, h.roundedMinutes);
        }
        sheet.text(row, 9, notes.join(QStringLiteral("; ")));
        ++row;
    }
}

} // namespace

void writeWorkbook(const QString& fileName, const Period& period, const std::vector<Record>& records,
                   const Report& report, const Rules& rules) {
    Workbook::write(fileName, [&](Workbook& book) {
        totalsSheet(book, period, report);
        timesheetSheet(book, records, report, rules);
    });
}

} // namespace Hours
