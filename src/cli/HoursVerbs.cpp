#include "cli/Verb.h"
#include "core/Form1.h"
#include "data/AttendanceDatabase.h"
#include "hours/HoursExport.h"
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

// A table for people: columns padded, the numeric ones to the right. Programs ask for CSV.
void printTable(QTextStream& out, const Hours::Table& table, const std::vector<bool>& numeric) {
    std::vector<qsizetype> widths(static_cast<size_t>(table.titles.size()), 0);
    for (qsizetype c = 0; c < table.titles.size(); ++c) {
        widths[static_cast<size_t>(c)] = table.titles[c].size();
        for (const QStringList& row : table.rows)
            widths[static_cast<size_t>(c)] = std::max(widths[static_cast<size_t>(c)], row.value(c).size());
    }
    const auto line = [&](const QStringList& cells, bool header) {
        QString text;
        for (qsizetype c = 0; c < table.titles.size(); ++c) {
            const qsizetype width = widths[static_cast<size_t>(c)];
            const bool right = !header && numeric[static_cast<size_t>(c)];
            text += (right ? cells.value(c).rightJustified(width) : cells.value(c).leftJustified(width)) +
                    QStringLiteral("  ");
        }
        out << text.trimmed() << '\n';
    };
    line(table.titles, true);
    for (const QStringList& row : table.rows)
        line(row, false);
}

void print(const Invocation& call, const Hours::Table& table, const std::vector<bool>& numeric) {
    if (call.has(QStringLiteral("csv")))
        call.out() << Hours::csvText(table);
    else
        printTable(call.out(), table, numeric);
}

int hours(const Invocation& call) {
    const Hours::Period period = periodOf(call);
    const Hours::Rules rules = Hours::rulesFromSettings();
    const Hours::Report report = Hours::totals(readRecords(call, period), rules);
    const bool csv = call.has(QStringLiteral("csv"));

    QTextStream& out = call.out();
    if (!csv)
        out << "Hours worked from " << isoDate(period.from) << " to " << isoDate(period.to) << "\n\n";
    print(call, Hours::totalsTable(report), {false, false, false, true, true, true, true, true, true});
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
    Hours::Table table{{QStringLiteral("Date"), QStringLiteral("Person Number"), QStringLiteral("Name"),
                        QStringLiteral("Login"), QStringLiteral("Logout"), QStringLiteral("Hours"),
                        QStringLiteral("Note")},
                       {}};
    for (const Hours::Record& record : readRecords(call, period)) {
        const Hours::RecordHours hours = Hours::hoursOf(record, rules);
        table.rows.push_back({isoDate(record.day), record.number, record.name, record.timeIn, record.timeOut,
                              Hours::clockHours(hours.minutes), Hours::note(hours, rules)});
    }
    print(call, table, {false, false, false, false, false, true, false});
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
