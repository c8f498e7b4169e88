#include "cli/Verb.h"
#include "core/Form1.h"
#include "data/AttendanceDatabase.h"
#include "hours/HoursTotals.h"
#include "hours/Periods.h"
#include "platform/SystemClock.h"

#include <QTextStream>
#include <optional>

namespace CommandLine {

namespace {

const std::vector<std::pair<QString, Hours::Preset>> kPresets = {
    {QStringLiteral("this-week"), Hours::Preset::ThisWeek},
    {QStringLiteral("last-week"), Hours::Preset::LastWeek},
    {QStringLiteral("this-month"), Hours::Preset::ThisMonth},
    {QStringLiteral("last-month"), Hours::Preset::LastMonth}};

const std::vector<Option> kPeriodOptions = {
    {QStringLiteral("period"), QStringLiteral("NAME"),
     QStringLiteral("this-week (the default), last-week, this-month or last-month")},
    {QStringLiteral("from"), QStringLiteral("DATE"), QStringLiteral("first day, as yyyy-mm-dd (with --to)")},
    {QStringLiteral("to"), QStringLiteral("DATE"), QStringLiteral("last day, as yyyy-mm-dd (with --from)")},
    {QStringLiteral("person"), QStringLiteral("NUMBER"),
     QStringLiteral("only this person's records (letter case ignored)")},
    {QStringLiteral("csv"), QString(), QStringLiteral("comma-separated values with a title line")}};

QDate dateOption(const Invocation& call, const QString& name) {
    const QString text = call.value(name);
    const QDate day = QDate::fromString(text, Qt::ISODate);
    if (!day.isValid() || text.size() != 10)
        throw UsageError(
            QStringLiteral("%1: --%2 '%3' is no date of the form yyyy-mm-dd").arg(call.verb(), name, text));
    return day;
}

Hours::Period periodOf(const Invocation& call) {
    const bool custom = call.has(QStringLiteral("from")) || call.has(QStringLiteral("to"));
    if (custom) {
        if (call.has(QStringLiteral("period")))
            throw UsageError(call.verb() + QStringLiteral(": --period and --from/--to exclude each other"));
        if (!call.has(QStringLiteral("from")) || !call.has(QStringLiteral("to")))
            throw UsageError(call.verb() + QStringLiteral(": --from and --to go together"));
        const Hours::Period period{dateOption(call, QStringLiteral("from")),
                                   dateOption(call, QStringLiteral("to"))};
        if (period.from > period.to)
            throw UsageError(call.verb() + QStringLiteral(": --from is after --to"));
        return period;
    }
    const QString name = call.value(QStringLiteral("period"), QStringLiteral("this-week"));
    for (const auto& [presetName, preset] : kPresets) {
        if (presetName == name)
            return Hours::presetPeriod(preset, SystemClock::now().date());
    }
    throw UsageError(QStringLiteral("%1: unknown --period '%2'").arg(call.verb(), name));
}

std::vector<Hours::Record> readRecords(const Invocation& call, const Hours::Period& period) {
    AttendanceDatabase db;
    db.openConfigured(Form1::liveDatabasePath());
    std::optional<QString> person;
    if (call.has(QStringLiteral("person")))
        person = call.value(QStringLiteral("person"));
    return Hours::records(db.loginsBetween(period.from, period.to, person));
}

QString isoDate(const QDate& day) {
    return day.toString(Qt::ISODate);
}

// A table for people (columns padded, numbers to the right) or for programs (CSV). A CSV cell
// that a spreadsheet would take for a formula gets a leading apostrophe.
class Table {
public:
    Table(QStringList titles, std::vector<bool> numeric) : m_numeric(std::move(numeric)) {
        m_rows.push_back(std::move(titles));
    }
    void add(QStringList row) { m_rows.push_back(std::move(row)); }

    void print(QTextStream& out, bool csv) const {
        if (csv) {
            for (const QStringList& row : m_rows) {
                QStringList cells;
                for (const QString& text : row)
                    cells << csvCell(text);
                out << cells.join(QLatin1Char(',')) << '\n';
            }
            return;
        }
        std::vector<qsizetype> widths(m_rows.front().size(), 0);
        for (const QStringList& row : m_rows) {
            for (qsizetype c = 0; c < row.size(); ++c)
                widths[static_cast<size_t>(c)] = std::max(widths[static_cast<size_t>(c)], row[c].size());
        }
        for (size_t r = 0; r < m_rows.size(); ++r) {
            QString line;
            for (qsizetype c = 0; c < m_rows[r].size(); ++c) {
                const qsizetype width = widths[static_cast<size_t>(c)];
                const bool right = r > 0 && m_numeric[static_cast<size_t>(c)];
                line += (right ? m_rows[r][c].rightJustified(width) : m_rows[r][c].leftJustified(width)) +
                        QStringLiteral("  ");
            }
            out << line.trimmed() << '\n';
        }
    }

private:
    static QString csvCell(QString text) {
        static const QString formulaStarts = QStringLiteral("=+-@\t\r");
        if (!text.isEmpty() && formulaStarts.contains(text.front()))
            text.prepend(QLatin1Char('\''));
        if (text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) ||
            text.contains(QLatin1Char('\n')))
            text =
                QLatin1Char('"') + text.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
        return text;
    }

    std::vector<QStringList> m_rows;
    std::vector<bool> m_numeric;
};

int hours(const Invocation& call) {
    const Hours::Period period = periodOf(call);
    const Hours::Rules rules = Hours::rulesFromSettings();
    const Hours::Report report = Hours::totals(readRecords(call, period), rules);
    const bool csv = call.has(QStringLiteral("csv"));

    Table table({QStringLiteral("Person Number"), QStringLiteral("Name"), QStringLiteral("Department"),
                 QStringLiteral("Days worked"), QStringLiteral("Hours"), QStringLiteral("Hours (decimal)"),
                 QStringLiteral("Open records"), QStringLiteral("Overnight records"),
                 QStringLiteral("Long records")},
                {false, false, false, true, true, true, true, true, true});
    const auto row = [&](const Hours::PersonTotals& p) {
        table.add({p.number, p.name, p.department, QString::number(p.daysWorked),
                   Hours::clockHours(p.minutes), Hours::decimalHours(p.minutes),
                   QString::number(p.openRecords), QString::number(p.overnightRecords),
                   QString::number(p.longRecords)});
    };
    for (const Hours::PersonTotals& person : report.persons)
        row(person);
    Hours::PersonTotals totals = report.totals;
    totals.number = QStringLiteral("Total");
    row(totals);

    QTextStream& out = call.out();
    if (!csv)
        out << "Hours worked from " << isoDate(period.from) << " to " << isoDate(period.to) << "\n\n";
    table.print(out, csv);
    if (report.toCorrect.empty())
        return Success;
    // With CSV on standard output the list goes to standard error, where it is still seen.
    QTextStream& notes = csv ? call.err() : out;
    notes << "\nRecords to correct:\n";
    for (const Hours::RecordToCorrect& entry : report.toCorrect) {
        const Hours::Record& r = entry.record;
        notes << "  " << isoDate(r.day) << "  " << r.number << "  " << r.name << "  " << r.timeIn << "  "
              << r.timeOut << "  " << Hours::note(entry.hours, rules) << '\n';
    }
    return Success;
}

int records(const Invocation& call) {
    const Hours::Period period = periodOf(call);
    const Hours::Rules rules = Hours::rulesFromSettings();
    Table table({QStringLiteral("Date"), QStringLiteral("Person Number"), QStringLiteral("Name"),
                 QStringLiteral("Login"), QStringLiteral("Logout"), QStringLiteral("Hours"),
                 QStringLiteral("Note")},
                {false, false, false, false, false, true, false});
    for (const Hours::Record& record : readRecords(call, period)) {
        const Hours::RecordHours hours = Hours::hoursOf(record, rules);
        table.add({isoDate(record.day), record.number, record.name, record.timeIn, record.timeOut,
                   Hours::clockHours(hours.minutes), Hours::note(hours, rules)});
    }
    table.print(call.out(), call.has(QStringLiteral("csv")));
    return Success;
}

} // namespace

Verb hoursVerb() {
    return {
        QStringLiteral("hours"),
        {},
        kPeriodOptions,
        QStringLiteral("Print the hours worked per person over a period"),
        QStringLiteral("A record counts Logout minus Login as times of day, plus 24 hours when it closed\n"
                       "after midnight; it belongs to the day it carries. Open records count nothing,\n"
                       "records whose times cannot be read count nothing and are listed, and records\n"
                       "longer than the setting LongRecordHours (16) count and are listed: most likely\n"
                       "a punch out was missed. Weeks start on the first day of the locale's week."),
        hours};
}

Verb recordsVerb() {
    return {QStringLiteral("records"),
            {},
            kPeriodOptions,
            QStringLiteral("Print the attendance records of a period with their hours"),
            QStringLiteral("One line per record, by day, with what it counts towards the hours worked."),
            records};
}

} // namespace CommandLine
