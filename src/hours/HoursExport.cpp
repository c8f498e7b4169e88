#include "hours/HoursExport.h"

#include "platform/DateTexts.h"
#include "platform/Spreadsheet.h"
#include "reports/ListTextFile.h"

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <array>
#include <stdexcept>

namespace Hours {

namespace {

const QString kLineEnd = QStringLiteral("\r\n");

QStringList totalsRow(const PersonTotals& person, const QString& decimalPoint, bool pay) {
    QStringList row = {person.number,
                       person.name,
                       person.department,
                       QString::number(person.daysWorked),
                       clockHours(person.minutes),
                       decimalHours(person.minutes, decimalPoint),
                       QString::number(person.openRecords),
                       QString::number(person.overnightRecords),
                       QString::number(person.longRecords)};
    if (pay)
        row << clockHours(person.breakMinutes) << clockHours(person.paidMinutes)
            << decimalHours(person.paidMinutes, decimalPoint) << clockHours(person.regularMinutes)
            << decimalHours(person.regularMinutes, decimalPoint) << clockHours(person.overtimeMinutes)
            << decimalHours(person.overtimeMinutes, decimalPoint);
    return row;
}

// Texts a spreadsheet would evaluate: formulas and signed texts that are no number.
bool looksLikeFormula(const QString& text) {
    if (text.isEmpty())
        return false;
    const QChar first = text.front();
    if (first == u'=' || first == u'@' || first == u'\t' || first == u'\r')
        return true;
    if (first != u'+' && first != u'-')
        return false;
    bool number = false;
    QLocale::c().toDouble(text, &number);
    return !number;
}

// A spreadsheet opening the file shows a formula as the text it is.
QString keptText(const QString& text) {
    return looksLikeFormula(text) ? QLatin1Char('\'') + text : text;
}

QString csvField(QString text) {
    text = keptText(text);
    const bool quoted = text.contains(u',') || text.contains(u'"') || text.contains(u'\n') ||
                        text.contains(u'\r') || text.startsWith(u' ') || text.endsWith(u' ');
    if (!quoted)
        return text;
    return QLatin1Char('"') + text.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

void appendCsvLine(QString& text, const QStringList& fields) {
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            text += QLatin1Char(',');
        text += csvField(fields.at(i));
    }
    text += kLineEnd;
}

QString isoDate(const QDate& day) {
    return day.toString(Qt::ISODate);
}

// The decimal hours as a number, for JSON and the spreadsheet.
double decimalHoursValue(long long minutes) {
    return static_cast<double>(hundredthsOfHours(minutes)) / 100;
}

QJsonObject personJson(const PersonTotals& person, bool pay) {
    QJsonObject object{{QStringLiteral("number"), person.number},
                       {QStringLiteral("name"), person.name},
                       {QStringLiteral("department"), person.department},
                       {QStringLiteral("daysWorked"), person.daysWorked},
                       {QStringLiteral("minutes"), static_cast<qint64>(person.minutes)},
                       {QStringLiteral("hours"), clockHours(person.minutes)},
                       {QStringLiteral("hoursDecimal"), decimalHoursValue(person.minutes)},
                       {QStringLiteral("openRecords"), person.openRecords},
                       {QStringLiteral("overnightRecords"), person.overnightRecords},
                       {QStringLiteral("longRecords"), person.longRecords},
                       {QStringLiteral("unreadableRecords"), person.unreadableRecords}};
    if (pay) {
        object.insert(QStringLiteral("breakMinutes"), static_cast<qint64>(person.breakMinutes));
        object.insert(QStringLiteral("paidMinutes"), static_cast<qint64>(person.paidMinutes));
        object.insert(QStringLiteral("regularMinutes"), static_cast<qint64>(person.regularMinutes));
        object.insert(QStringLiteral("overtimeMinutes"), static_cast<qint64>(person.overtimeMinutes));
        object.insert(QStringLiteral("clockChangeRecords"), person.clockChangeRecords);
    }
    return object;
}

} // namespace

const QStringList& totalsTitles() {
    static const QStringList titles = {QStringLiteral("Person Number"), QStringLiteral("Name"),
                                       QStringLiteral("Department"),    QStringLiteral("Days worked"),
                                       QStringLiteral("Hours"),         QStringLiteral("Hours (decimal)"),
                                       QStringLiteral("Open records"),  QStringLiteral("Overnight records"),
                                       QStringLiteral("Long records")};
    return titles;
}

const QStringList& payTitles() {
    static const QStringList titles = {QStringLiteral("Breaks deducted"),   QStringLiteral("Paid"),
                                       QStringLiteral("Paid (decimal)"),    QStringLiteral("Regular"),
                                       QStringLiteral("Regular (decimal)"), QStringLiteral("Overtime"),
                                       QStringLiteral("Overtime (decimal)")};
    return titles;
}

Table totalsTable(const Report& report, const QString& decimalPoint) {
    Table table{totalsTitles(), {}};
    if (report.payRules)
        table.titles << payTitles();
    table.rows.reserve(report.persons.size() + 1);
    for (const PersonTotals& person : report.persons)
        table.rows.push_back(totalsRow(person, decimalPoint, report.payRules));
    QStringList totals = totalsRow(report.totals, decimalPoint, report.payRules);
    totals[Number] = QStringLiteral("Total");
    table.rows.push_back(totals);
    return table;
}

QString periodTitle(const Period& period) {
    return QStringLiteral("Hours worked from %1 to %2")
        .arg(period.from.toString(Qt::ISODate), period.to.toString(Qt::ISODate));
}

Table withPeriod(Table table, const Period& period) {
    const QString from = period.from.toString(Qt::ISODate);
    const QString to = period.to.toString(Qt::ISODate);
    table.titles << QStringLiteral("From") << QStringLiteral("To");
    for (QStringList& row : table.rows)
        row << from << to;
    return table;
}

QString tabText(const Table& table) {
    if (table.rows.empty())
        throw std::runtime_error("There is nothing to write: the list is empty.");
    const auto columns = static_cast<int>(table.titles.size());
    return ListTextFile::tableText(
        {columns, [&] { return static_cast<int>(table.rows.size()); },
         [&](int column) { return table.titles.at(column); },
         [&](int row, int column) { return table.rows.at(static_cast<size_t>(row)).value(column); },
         [](int) { return true; }});
}

QString csvText(const Table& table) {
    QString text;
    appendCsvLine(text, table.titles);
    for (const QStringList& row : table.rows)
        appendCsvLine(text, row);
    return text;
}

QString tsvText(const Table& table) {
    const auto line = [](const QStringList& fields) {
        QStringList cells;
        cells.reserve(fields.size());
        for (const QString& field : fields) {
            QString cell = keptText(field);
            for (QChar& c : cell) {
                if (c == u'\t' || c == u'\n' || c == u'\r')
                    c = u' ';
            }
            cells << cell;
        }
        return cells.join(u'\t') + u'\n';
    };
    QString text = line(table.titles);
    for (const QStringList& row : table.rows)
        text += line(row);
    return text;
}

QByteArray csvFile(const Table& table) {
    return QByteArrayLiteral("\xEF\xBB\xBF") + csvText(table).toUtf8();
}

QByteArray jsonText(const Report& report, const Period& period) {
    QJsonArray persons;
    for (const PersonTotals& person : report.persons)
        persons.append(personJson(person, report.payRules));
    QJsonObject totals = personJson(report.totals, report.payRules);
    for (const char* key : {"number", "name", "department"})
        totals.remove(QLatin1String(key));
    const QJsonObject root{{QStringLiteral("from"), isoDate(period.from)},
                           {QStringLiteral("to"), isoDate(period.to)},
                           {QStringLiteral("persons"), persons},
                           {QStringLiteral("totals"), totals}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

Table recordsTable(const std::vector<Record>& records, const Rules& rules) {
    const bool pay = rules.anyPayRule();
    Table table{{QStringLiteral("Date"), QStringLiteral("Person Number"), QStringLiteral("Name"),
                 QStringLiteral("Login"), QStringLiteral("Logout"), QStringLiteral("Hours")},
                {}};
    if (pay)
        table.titles << QStringLiteral("Login rounded") << QStringLiteral("Logout rounded")
                     << QStringLiteral("Hours rounded");
    table.titles << QStringLiteral("Note");
    const std::vector<QString> deductions =
        pay ? deductionNotes(records, totals(records, rules)) : std::vector<QString>(records.size());
    table.rows.reserve(records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        const Record& record = records[i];
        const RecordHours hours = hoursOf(record, rules);
        QStringList row = {isoDate(record.day), record.number,  record.name,
                           record.timeIn,       record.timeOut, clockHours(hours.minutes)};
        if (pay) {
            const bool closed = hours.state == RecordHours::State::Closed;
            row << (closed ? hours.roundedIn.toString(u"HH:mm") : QString())
                << (closed ? hours.roundedOut.toString(u"HH:mm") : QString())
                << clockHours(hours.roundedMinutes);
        }
        QStringList notes;
        for (const QString& text : {note(hours, rules), deductions[i]}) {
            if (!text.isEmpty())
                notes << text;
        }
        row << notes.join(QStringLiteral("; "));
        table.rows.push_back(row);
    }
    return table;
}

QByteArray recordsJson(const std::vector<Record>& records, const Rules& rules, const Period& period) {
    QJsonArray list;
    for (const Record& record : records) {
        const RecordHours hours = hoursOf(record, rules);
        const char* state = hours.state == RecordHours::State::Open         ? "open"
                            : hours.state == RecordHours::State::Unreadable ? "unreadable"
                                                                            : "closed";
        list.append(QJsonObject{{QStringLiteral("date"), isoDate(record.day)},
                                {QStringLiteral("number"), record.number},
                                {QStringLiteral("name"), record.name},
                                {QStringLiteral("department"), record.department},
                                {QStringLiteral("timeIn"), record.timeIn},
                                {QStringLiteral("timeOut"), record.timeOut},
                                {QStringLiteral("state"), QLatin1String(state)},
                                {QStringLiteral("minutes"), hours.minutes},
                                {QStringLiteral("hours"), clockHours(hours.minutes)},
                                {QStringLiteral("hoursDecimal"), decimalHoursValue(hours.minutes)},
                                {QStringLiteral("overnight"), hours.overnight},
                                {QStringLiteral("long"), hours.isLong},
                                {QStringLiteral("note"), note(hours, rules)}});
    }
    const QJsonObject root{{QStringLiteral("from"), isoDate(period.from)},
                           {QStringLiteral("to"), isoDate(period.to)},
                           {QStringLiteral("records"), list}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

void fillSheet(SpreadsheetApplication& sheet, const Report& report) {
    sheet.addWorkbook();
    const QStringList& titles = totalsTitles();
    for (qsizetype c = 0; c < titles.size(); ++c)
        sheet.setText(1, static_cast<int>(c) + 1, titles.at(c));
    for (qsizetype c = 0; report.payRules && c < payTitles().size(); ++c)
        sheet.setText(1, BreaksDeducted + static_cast<int>(c) + 1, payTitles().at(c));
    const auto writeRow = [&](int row, const PersonTotals& person, const QString& number) {
        const auto count = [&](int column, long long value) {
            sheet.setNumber(row, column + 1, static_cast<double>(value), 0);
        };
        // Person numbers, names and departments as texts ("007" is no 7); the rest as values the
        // sheet can add up.
        sheet.setText(row, Number + 1, number);
        if (!person.name.isEmpty())
            sheet.setText(row, Name + 1, person.name);
        if (!person.department.isEmpty())
            sheet.setText(row, Department + 1, person.department);
        count(DaysWorked, person.daysWorked);
        sheet.setDuration(row, HoursClock + 1, person.minutes);
        sheet.setNumber(row, HoursDecimal + 1, decimalHoursValue(person.minutes), 2);
        count(OpenRecords, person.openRecords);
        count(OvernightRecords, person.overnightRecords);
        count(LongRecords, person.longRecords);
        if (!report.payRules)
            return;
        sheet.setDuration(row, BreaksDeducted + 1, person.breakMinutes);
        int column = Paid + 1;
        for (const long long minutes : {person.paidMinutes, person.regularMinutes, person.overtimeMinutes}) {
            sheet.setDuration(row, column, minutes);
            sheet.setNumber(row, column + 1, decimalHoursValue(minutes), 2);
            column += 2;
        }
    };
    int row = 2;
    for (const PersonTotals& person : report.persons) {
        writeRow(row, person, person.number);
        ++row;
    }
    writeRow(row, report.totals, QStringLiteral("Total"));
    sheet.autoFitColumns();
}

namespace {

// One timesheet after the other on A4 pages, in millimetres.
class TimesheetPainter {
public:
    TimesheetPainter(QPdfWriter& writer, const Period& period, const Rules& rules,
                     const std::vector<Record>& records, const Report& report)
        : m_writer(writer), m_painter(&writer), m_period(period), m_rules(rules), m_records(records),
          m_deductions(deductionNotes(records, report)) {
        if (!m_painter.isActive())
            throw std::runtime_error("The PDF could not be started.");
        m_scale = m_writer.resolution() / 25.4;
        const QRectF page = m_writer.pageLayout().paintRect(QPageLayout::Millimeter);
        m_width = page.width();
        m_height = page.height();
    }

    void sheet(const PersonTotals& person, const std::vector<const Record*>& records) {
        if (m_pages > 0)
            m_writer.newPage();
        ++m_pages;
        m_y = 0;
        heading(person, false);
        for (const Record* record : records) {
            // Room for the row, and below the last row for the total and the signatures.
            const bool last = record == records.back();
            if (m_y + kRow + (last ? kFooter : 0) > m_height) {
                m_writer.newPage();
                ++m_pages;
                m_y = 0;
                heading(person, true);
            }
            recordRow(*record);
        }
        if (m_y + kFooter > m_height) {
            m_writer.newPage();
            ++m_pages;
            m_y = 0;
            heading(person, true);
        }
        footer(person);
    }

    bool finish() { return m_painter.end(); }

private:
    static constexpr double kRow = 6.5;     // a record's line
    static constexpr double kFooter = 68.0; // the total, the pay and the signatures
    // Date, Login, Logout, Hours, Note: where each column starts.
    static constexpr double kColumns[] = {0, 42, 68, 94, 124};

    QRectF mm(double x, double y, double w, double h) const {
        return {x * m_scale, y * m_scale, w * m_scale, h * m_scale};
    }
    void font(double points, bool bold) {
        QFont f(QStringLiteral("Arial"));
        f.setPointSizeF(points);
        f.setBold(bold);
        m_painter.setFont(f);
    }
    void text(double x, double y, double w, double h, const QString& s, int flags = Qt::AlignLeft) {
        const QRectF box = mm(x, y, w, h);
        const QString shown =
            m_painter.fontMetrics().elidedText(s, Qt::ElideRight, static_cast<int>(box.width()));
        m_painter.drawText(box, flags | Qt::AlignVCenter | Qt::TextSingleLine, shown);
    }
    void rule(double y, double x1, double x2, double widthMm = 0.2) {
        QPen pen(Qt::black);
        pen.setWidthF(widthMm * m_scale);
        m_painter.setPen(pen);
        m_painter.drawLine(QPointF(x1 * m_scale, y * m_scale), QPointF(x2 * m_scale, y * m_scale));
    }

    void heading(const PersonTotals& person, bool continued) {
        font(18, true);
        text(0, m_y, m_width, 10,
             continued ? QStringLiteral("Timesheet (continued)") : QStringLiteral("Timesheet"));
        m_y += 14;
        const QString who = QStringLiteral("%1  %2").arg(person.number, person.name).trimmed();
        const std::array<std::pair<QString, QString>, 3> lines = {
            {{QStringLiteral("Person:"), who},
             {QStringLiteral("Department:"), person.department},
             {QStringLiteral("Period:"),
              QStringLiteral("%1 to %2")
                  .arg(DateTexts::shortDate(m_period.from), DateTexts::shortDate(m_period.to))}}};
        for (const auto& [label, value] : lines) {
            font(11, true);
            text(0, m_y, 30, 6, label);
            font(11, false);
            text(30, m_y, m_width - 30, 6, value);
            m_y += 6.5;
        }
        m_y += 5;
        font(10, true);
        const QStringList titles = {QStringLiteral("Day"), QStringLiteral("Login"), QStringLiteral("Logout"),
                                    QStringLiteral("Hours"), QStringLiteral("Note")};
        for (int c = 0; c < 5; ++c)
            cell(c, titles.at(c));
        m_y += kRow;
        rule(m_y, 0, m_width, 0.4);
        m_y += 1;
        font(10, false);
    }

    void cell(int column, const QString& s) {
        const double x = kColumns[column];
        const double w = (column + 1 < 5 ? kColumns[column + 1] : m_width) - x - 2;
        text(x, m_y, w, kRow, s, column == 3 ? Qt::AlignRight : Qt::AlignLeft);
    }

    void recordRow(const Record& record) {
        const RecordHours hours = hoursOf(record, m_rules);
        const bool pay = m_rules.anyPayRule();
        const bool closed = hours.state == RecordHours::State::Closed;
        // Open and unreadable records count nothing: no hours beside them. Under pay rules the
        // hours are those between the rounded times, shown beside the punched ones.
        const QString hoursText = closed ? clockHours(pay ? hours.roundedMinutes : hours.minutes) : QString();
        QString note = Hours::note(hours, m_rules);
        if (hours.state == RecordHours::State::Open)
            note += QStringLiteral("; not counted");
        const QString& deduction = m_deductions[static_cast<size_t>(&record - m_records.data())];
        if (!deduction.isEmpty())
            note += (note.isEmpty() ? QString() : QStringLiteral("; ")) + deduction;
        const auto punched = [&](const QString& text, const QTime& roundedTime) {
            if (!pay || !closed)
                return text;
            return QStringLiteral("%1 > %2").arg(text, roundedTime.toString(u"HH:mm"));
        };
        const QLocale locale;
        cell(0, QStringLiteral("%1  %2").arg(locale.dayName(record.day.dayOfWeek(), QLocale::ShortFormat),
                                             DateTexts::shortDate(record.day)));
        cell(1, punched(record.timeIn, hours.roundedIn));
        cell(2, punched(record.timeOut, hours.roundedOut));
        cell(3, hoursText);
        cell(4, note);
        m_y += kRow;
        QPen light(QColor(190, 190, 190));
        light.setWidthF(0.1 * m_scale);
        m_painter.setPen(light);
        m_painter.drawLine(QPointF(0, m_y * m_scale), QPointF(m_width * m_scale, m_y * m_scale));
        m_painter.setPen(Qt::black);
    }

    void footer(const PersonTotals& person) {
        rule(m_y + 1, 0, m_width, 0.4);
        m_y += 3;
        font(11, true);
        text(0, m_y, kColumns[3], 7, QStringLiteral("Total (%1 days worked)").arg(person.daysWorked));
        text(kColumns[3], m_y, kColumns[4] - kColumns[3] - 2, 7, clockHours(person.minutes), Qt::AlignRight);
        font(10, false);
        text(kColumns[4], m_y, m_width - kColumns[4], 7,
             QStringLiteral("= %1 hours").arg(decimalHours(person.minutes, QLocale().decimalPoint())));
        m_y += 8;
        if (m_rules.anyPayRule()) {
            text(0, m_y, m_width, 6,
                 QStringLiteral(
                     "Paid %1 (regular %2, overtime %3); breaks deducted %4; times rounded > as paid.")
                     .arg(clockHours(person.paidMinutes), clockHours(person.regularMinutes),
                          clockHours(person.overtimeMinutes), clockHours(person.breakMinutes)));
            m_y += 6;
        }
        if (person.openRecords + person.unreadableRecords > 0) {
            text(0, m_y, m_width, 6,
                 QStringLiteral("%1 record(s) not counted: open, or times that cannot be read.")
                     .arg(person.openRecords + person.unreadableRecords));
            m_y += 6;
        }
        // Two signature blocks side by side, each with a line for the date.
        m_y += 22;
        const double half = m_width / 2;
        const double line = half - 12;
        const std::array<QString, 2> who = {QStringLiteral("Signature of the person"),
                                            QStringLiteral("Signature of the supervisor")};
        for (int i = 0; i < 2; ++i) {
            const double x = i * half;
            rule(m_y, x, x + line);
            text(x, m_y + 1, line, 5, who[static_cast<size_t>(i)]);
            rule(m_y + 16, x, x + line * 0.6);
            text(x, m_y + 17, line, 5, QStringLiteral("Date"));
        }
        m_y += 24;
    }

    QPdfWriter& m_writer;
    QPainter m_painter;
    const Period& m_period;
    const Rules& m_rules;
    const std::vector<Record>& m_records;
    std::vector<QString> m_deductions;
    double m_scale = 1;
    double m_width = 0;
    double m_height = 0;
    double m_y = 0;
    int m_pages = 0;
};

} // namespace

void writeTimesheets(const QString& fileName, const Period& period, const std::vector<Record>& records,
                     const Report& report, const Rules& rules) {
    if (report.persons.empty())
        throw std::runtime_error("No person has records in this period.");
    QHash<QString, std::vector<const Record*>> recordsOf;
    for (const Record& record : records)
        recordsOf[record.number.toCaseFolded()].push_back(&record);

    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw std::runtime_error(
            QStringLiteral("Cannot write the file %1: %2").arg(fileName, file.errorString()).toStdString());
    {
        QPdfWriter writer(&file);
        writer.setResolution(300);
        writer.setTitle(QStringLiteral("Timesheets %1 to %2")
                            .arg(period.from.toString(Qt::ISODate), period.to.toString(Qt::ISODate)));
        writer.setCreator(QStringLiteral("Tallyclock Suite"));
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(20, 18, 20, 18), QPageLayout::Millimeter));
        TimesheetPainter painter(writer, period, rules, records, report);
        for (const PersonTotals& person : report.persons)
            painter.sheet(person, recordsOf.value(person.number.toCaseFolded()));
        if (!painter.finish())
            throw std::runtime_error(QStringLiteral("Cannot write the file %1.").arg(fileName).toStdString());
    }
    if (!file.commit())
        throw std::runtime_error(
            QStringLiteral("Cannot write the file %1: %2").arg(fileName, file.errorString()).toStdString());
}

} // namespace Hours
