#include "hours/HoursWorkbook.h"
#include "common/TestSupport.h"
#include "platform/DateTexts.h"
#include "platform/ListView.h"
#include "reports/RecordsWorkbook.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QDate kMonday(2026, 3, 2);

QJsonObject readBack(const QString& file) {
    QProcess python;
    python.start(QStringLiteral("python3"), {QStringLiteral(TALLYCLOCK_WORKBOOK_READER), file});
    if (!python.waitForFinished(30000) || python.exitCode() != 0)
        QTest::qFail(python.readAllStandardError().constData(), __FILE__, __LINE__);
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

} // namespace

class HoursWorkbookTest : public QObject {
    Q_OBJECT

    QJsonObject m_book;

private slots:
    void initTestCase() {
        const std::vector<Hours::Record> records = {
            {QStringLiteral("007"), QStringLiteral("Ann"), QStringLiteral("Works"), kMonday,
             QStringLiteral("07:53 AM"), QStringLiteral("04:38 PM")},
            {QStringLiteral("007"), QStringLiteral("Ann"), QStringLiteral("Works"), kMonday.addDays(1),
             QStringLiteral("22:00"), QString()},
        };
        Hours::Rules rules;
        rules.roundingMinutes = 15;
        rules.breaks = {{6 * 60, 30}};
        const Hours::Period period{kMonday, kMonday.addDays(6)};
        const Hours::Report report = Hours::totals(records, rules);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("hours.xlsx"));
        Hours::writeWorkbook(file, period, records, report, rules);
        m_book = readBack(file);
        // The reports list's rows, beside the hours.
        ListView list;
        for (const char* title : {"Number", "Name", "Department", "Position", "Date", "Login", "Logout"})
            list.addColumnHeader(QString::fromLatin1(title));
        const QStringList rows[] = {
            {"007", "Ann", "", "", DateTexts::shortDate(kMonday), "07:53 AM", "04:38 PM"},
            {"008", "Bob", "", "", DateTexts::shortDate(kMonday), "09:00 AM", ""},
            {"009", "Cy", "", "", "not a day", "late", ""},
        };
        for (const QStringList& row : rows) {
            const int at = list.addItem(row.first());
            for (int column = 1; column < row.size(); ++column)
                list.setSubItem(at, column, row.at(column));
        }
        const QString listFile = dir.filePath(QStringLiteral("records.xlsx"));
        RecordsWorkbook::save(list, listFile);
        const QJsonObject recordsBook = readBack(listFile);
        QCOMPARE(recordsBook.value(QStringLiteral("sheets")).toArray(),
                 QJsonArray{QStringLiteral("Records")});
        QJsonObject cells = m_book.value(QStringLiteral("cells")).toObject();
        const QJsonObject recordCells = recordsBook.value(QStringLiteral("cells")).toObject();
        for (auto it = recordCells.begin(); it != recordCells.end(); ++it)
            cells.insert(it.key(), it.value());
        m_book.insert(QStringLiteral("cells"), cells);
        QCOMPARE(m_book.value(QStringLiteral("sheets")).toArray(),
                 (QJsonArray{QStringLiteral("Hours 2026-03-02 to 2026-03-08"), QStringLiteral("Timesheet")}));
    }

    // Each cell with the type a spreadsheet reads it as and the form it shows it in.
    void cellTypes_data() {
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QString>("type"); // s: text, n: number
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("format");
        const QString totals = QStringLiteral("Hours 2026-03-02 to 2026-03-08!");
        const auto row = [](const QString& cell, const char* type, const char* value, const char* format) {
            QTest::newRow(qPrintable(cell)) << cell << type << value << format;
        };
        row(totals + "A1", "s", "Person Number", "General");
        row(totals + "A2", "s", "007", "General");
        row(totals + "D2", "n", "1", "0");
        // Present 8:45 = 0.364583 of a day; paid 08:00-16:45 less 0:30 = 8:15.
        row(totals + "E2", "n", "0.36458333333333331", "[h]:mm");
        row(totals + "F2", "n", "8.75", "0.00");
        row(totals + "G2", "n", "0.020833333333333332", "[h]:mm");
        row(totals + "I2", "n", "0.34375", "[h]:mm");
        row(totals + "J2", "n", "8.25", "0.00");
        row(totals + "A3", "s", "Total", "General");
        row("Timesheet!A2", "n", "46083", "yyyy-mm-dd");
        row("Timesheet!B2", "s", "007", "General");
        row("Timesheet!D2", "n", "0.32847222222222222", "hh:mm AM/PM");
        row("Timesheet!F2", "n", "0.33333333333333331", "hh:mm AM/PM");
        row("Timesheet!G2", "n", "0.69791666666666663", "hh:mm AM/PM");
        row("Timesheet!H2", "n", "0.36458333333333331", "[h]:mm");
        row("Timesheet!J2", "s", "break deducted 0:30", "General");
        row("Timesheet!D3", "n", "0.91666666666666663", "hh:mm");
        // The reports list: what is no day or time kept as shown.
        row("Records!A2", "s", "007", "General");
        row("Records!E2", "n", "46083", "yyyy-mm-dd");
        row("Records!F2", "n", "0.32847222222222222", "hh:mm AM/PM");
        row("Records!F3", "n", "0.375", "hh:mm AM/PM");
        row("Records!A4", "s", "009", "General");
        row("Records!E4", "s", "not a day", "General");
        row("Records!F4", "s", "late", "General");
    }
    void cellTypes() {
        QFETCH(QString, cell);
        const QJsonArray found = m_book.value(QStringLiteral("cells")).toObject().value(cell).toArray();
        QVERIFY2(found.size() == 3, qPrintable(cell + QStringLiteral(" is missing")));
        QTEST(found.at(0).toString(), "type");
        QFETCH(QString, value);
        if (found.at(0).toString() == QLatin1String("n"))
            QCOMPARE(found.at(1).toString().toDouble(), value.toDouble());
        else
            QCOMPARE(found.at(1).toString(), value);
        QTEST(found.at(2).toString(), "format");
    }
};

TALLYCLOCK_TEST(HoursWorkbookTest)
#include "HoursWorkbookTest.moc"
