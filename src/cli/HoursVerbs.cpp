#include "backup/InstanceLock.h"
#include "cli/Verb.h"
#include "core/MainWindow.h"
#include "data/AttendanceDatabase.h"
#include "hours/HoursExport.h"
#include "hours/HoursTotals.h"
#include "hours/HoursWorkbook.h"
#include "hours/PayRules.h"
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
    {QStringLiteral("format"), QStringLiteral("FORMAT"),
     QStringLiteral("csv, tsv or json for programs, xlsx for spreadsheets (default: a table for reading)")},
    {QStringLiteral("csv"), QString(), QStringLiteral("the same as --format csv")},
    {QStringLiteral("output"), QStringLiteral("FILE"),
     QStringLiteral("the workbook's file (with --format xlsx)")},
    {QStringLiteral("raw"), QString(),
     QStringLiteral("no pay rules: times of day subtracted, as before the rules existed")}};

// How the verbs print: a padded table for people, or one of the formats programs read.
enum class Format { Table, Csv, Tsv, Json, Xlsx };

Format formatNamed(const Invocation& call) {
    const bool csvSwitch = call.has(QStringLiteral("csv"));
    if (!call.has(QStringLiteral("format")))
        return csvSwitch ? Format::Csv : Format::Table;
    const QString name = call.value(QStringLiteral("format"));
    const std::pair<const char*, Format> formats[] = {
        {"csv", Format::Csv}, {"tsv", Format::Tsv}, {"json", Format::Json}, {"xlsx", Format::Xlsx}};
    for (const auto& [formatName, format] : formats) {
        if (name == QLatin1String(formatName)) {
            if (csvSwitch && format != Format::Csv)
                throw UsageError(call.verb() +
                                 QStringLiteral(": --csv and --format %1 exclude each other").arg(name));
            if ((format == Format::Xlsx) != call.has(QStringLiteral("output")))
                throw UsageError(call.verb() +
                                 QStringLiteral(": --format xlsx and --output FILE go together"));
            return format;
        }
    }
    throw UsageError(
        QStringLiteral("%1: unknown --format '%2' (csv, tsv, json or xlsx)").arg(call.verb(), name));
}

Format formatOf(const Invocation& call) {
    const Format format = formatNamed(call);
    // A workbook is no text for a terminal: it goes to a file.
    if ((format == Format::Xlsx) != call.has(QStringLiteral("output")))
        throw UsageError(call.verb() + QStringLiteral(": --format xlsx and --output FILE go together"));
    return format;
}

// The totals' columns right-aligned in the table: all but the person's number, name and department.
std::vector<bool> numericTotals() {
    std::vector<bool> numeric(Hours::PayColumnEnd, true);
    numeric[Hours::Number] = numeric[Hours::Name] = numeric[Hours::Department] = false;
    return numeric;
}

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

// The period's records and the rules to total them by: the workplace's, or with --raw none but the
// workplace's limit for long records.
struct Reading {
    std::vector<Hours::Record> records;
    Hours::Rules rules;
};

Reading readRecords(const Invocation& call, const Hours::Period& period) {
    const QString live = MainWindow::liveDatabasePath();
    const std::unique_ptr<InstanceLock> lock = InstanceLock::holdForCommand(live);
    AttendanceDatabase db;
    db.openConfigured(live);
    std::optional<QString> person;
    if (call.has(QStringLiteral("person")))
        person = call.value(QStringLiteral("person"));
    Reading reading{Hours::records(db.loginsBetween(period.from, period.to, person)),
                    Hours::workplaceRules(db)};
    if (call.has(QStringLiteral("raw"))) {
        Hours::Rules raw;
        raw.longRecordMinutes = reading.rules.longRecordMinutes;
        raw.wallClock = true;
        reading.rules = raw;
    }
    return reading;
}

QString isoDate(const QDate& day) {
    return day.toString(Qt::ISODate);
}

// A table for people: columns padded, the numeric ones to the right. Programs ask for a --format.
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

// The table in the format asked for; JSON is the caller's, as its object differs per verb.
void print(const Invocation& call, Format format, const Hours::Table& table,
           const std::vector<bool>& numeric) {
    if (format == Format::Csv)
        call.out() << Hours::csvText(table);
    else if (format == Format::Tsv)
        call.out() << Hours::tsvText(table);
    else
        printTable(call.out(), table, numeric);
}

int hours(const Invocation& call) {
    const Hours::Period period = periodOf(call);
    const Format format = formatOf(call);
    const Reading reading = readRecords(call, period);
    const Hours::Rules& rules = reading.rules;
    const Hours::Report report = Hours::totals(reading.records, rules);
    if (format == Format::Xlsx) {
        Hours::writeWorkbook(call.value(QStringLiteral("output")), period, reading.records, report, rules);
        return Success;
    }

    QTextStream& out = call.out();
    if (format == Format::Table)
        out << Hours::periodTitle(period) << "\n\n";
    if (format == Format::Json)
        out << QString::fromUtf8(Hours::jsonText(report, period));
    else if (format == Format::Table)
        print(call, format, Hours::totalsTable(report), numericTotals());
    else
        print(call, format, Hours::withPeriod(Hours::totalsTable(report), period), numericTotals());
    if (report.toCorrect.empty())
        return Success;
    // When a program reads standard output the list goes to standard error, where it is still seen.
    QTextStream& notes = format == Format::Table ? out : call.err();
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
    const Format format = formatOf(call);
    const Reading reading = readRecords(call, period);
    const std::vector<Hours::Record>& list = reading.records;
    const Hours::Rules& rules = reading.rules;
    if (format == Format::Xlsx)
        Hours::writeWorkbook(call.value(QStringLiteral("output")), period, list, Hours::totals(list, rules),
                             rules);
    else if (format == Format::Json)
        call.out() << QString::fromUtf8(Hours::recordsJson(list, rules, period));
    else
        print(call, format, Hours::recordsTable(list, rules),
              {false, false, false, false, false, true, false, false, true, false});
    return Success;
}

int rules(const Invocation& call) {
    const QString live = MainWindow::liveDatabasePath();
    const std::unique_ptr<InstanceLock> lock = InstanceLock::holdForCommand(live);
    AttendanceDatabase db;
    db.openConfigured(live);
    for (const QString& line : Hours::PayRules::described(Hours::workplaceRules(db)))
        call.out() << line << '\n';
    return Success;
}

} // namespace

Verb hoursVerb() {
    return {QStringLiteral("hours"),
            {},
            kPeriodOptions,
            QStringLiteral("Print the hours worked per person over a period"),
            QStringLiteral("A record counts the time that passed from Login to Logout (over midnight when\n"
                           "Logout is the earlier time); it belongs to the day it carries. Open records\n"
                           "count nothing, records whose times cannot be read count nothing and are listed,\n"
                           "and records longer than the workplace's LongRecordHours count and are listed:\n"
                           "most likely a punch out was missed. With the workplace's pay rules (see the\n"
                           "verb rules) the breaks deducted, paid, regular and overtime hours follow."),
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

Verb rulesVerb() {
    return {QStringLiteral("rules"),
            {},
            {},
            QStringLiteral("Print the workplace's pay rules"),
            QStringLiteral("An administrator changes them in the Hours window (the Rules button)."),
            rules};
}

} // namespace CommandLine
