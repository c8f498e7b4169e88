#include "common/TestSupport.h"
#include "hours/HoursWindow.h"
#include "hours/PayRules.h"
#include "hours/RulesWindow.h"
#include "platform/SaveDialog.h"
#include "reports/ReportsScene.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The week of the README's worked example: person 007 from Monday 2 March 2026.
void addWorkedExample(ReportsScene& scene) {
    scene.addPerson(QStringLiteral("007"), QStringLiteral("Ann"));
    const QDate monday(2026, 3, 2);
    const std::vector<std::tuple<int, const char*, const char*>> week = {
        {0, "07:53", "16:38"}, {1, "08:07", "12:00"}, {1, "12:30", "16:36"}, {2, "08:00", "18:22"},
        {3, "07:45", "15:50"}, {4, "08:00", "17:00"}, {5, "09:00", "13:00"}};
    for (const auto& [day, in, out] : week)
        scene.addRecord(QStringLiteral("007"), monday.addDays(day), QString::fromLatin1(in),
                        QString::fromLatin1(out));
}

Hours::Rules exampleRules() {
    Hours::Rules rules;
    rules.roundingMinutes = 15;
    rules.breaks = {{6 * 60, 30}};
    rules.dailyLimitMinutes = 8 * 60;
    rules.weeklyLimitMinutes = 40 * 60;
    rules.firstDayOfWeek = Qt::Monday;
    return rules;
}

} // namespace

class PayRulesWindowTest : public QObject {
    Q_OBJECT
private slots:
    // The window's CSV and the command line's give the same figures, paid ones included.
    void windowCsvMatchesTheCommandLine() {
        ReportsScene scene;
        TestSupport::MessageRecorder boxes;
        addWorkedExample(scene);
        scene.db().changePayRules(Hours::PayRules::stored(exampleRules()));
        QTemporaryDir dir;
        SaveDialog::setResponder(
            [&](const SaveDialog::Request&) { return dir.filePath(QStringLiteral("out.csv")); });
        HoursWindow window(scene.main.get());
        window.load();
        window.fromDate->setDate(QDate(2026, 3, 2));
        window.toDate->setDate(QDate(2026, 3, 8));
        window.showTotals();
        window.saveCsv();
        SaveDialog::setResponder({});
        QVERIFY(boxes.errors().empty());
        QFile file(dir.filePath(QStringLiteral("out.csv")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString windowCsv = QString::fromUtf8(file.readAll().mid(3)); // after the byte-order mark
        QVERIFY2(
            windowCsv.contains(QStringLiteral("007,Ann,Dept Ann,6,48:11,48.18,0,0,0,2:00,46:00,46.00,40:00,"
                                              "40.00,6:00,6.00,2026-03-02,2026-03-08\r\n")),
            qPrintable(windowCsv));
        const TestSupport::CommandLineRun cli = TestSupport::runCommandLine(
            {QStringLiteral("hours"), QStringLiteral("--from"), QStringLiteral("2026-03-02"),
             QStringLiteral("--to"), QStringLiteral("2026-03-08"), QStringLiteral("--csv")});
        QCOMPARE(cli.code, 0);
        QCOMPARE(cli.out, windowCsv);
    }

    // Only the administrator who passed the gate changes the rules; each save is one audit row and the
    // totals follow it.
    void rulesChangedOnlyBehindTheGate() {
        ReportsScene scene;
        TestSupport::MessageRecorder boxes;
        addWorkedExample(scene);
        {
            RulesWindow rules(scene.db());
            QVERIFY(rules.load());
            QVERIFY(!rules.findChild<QPushButton*>(QStringLiteral("saveButton"))->isEnabled());
            QVERIFY(!rules.findChild<QComboBox*>(QStringLiteral("roundingBox"))->isEnabled());
        }
        const int auditRows =
            scene.db().auditEntries({QDate(2000, 1, 1), QDate(2100, 1, 1), {}, {}}).rowCount();
        AttendanceDatabase::ActorScope admin(scene.db(), QStringLiteral("boss"));
        HoursWindow window(scene.main.get());
        window.load();
        window.fromDate->setDate(QDate(2026, 3, 2));
        window.toDate->setDate(QDate(2026, 3, 8));
        window.showTotals();
        QCOMPARE(window.totalsList->model()->columnCount(), int(Hours::ColumnCount));
        TestSupport::whenModalShows([&](QWidget* modal) {
            auto* rules = qobject_cast<RulesWindow*>(modal);
            QVERIFY(rules);
            auto* rounding = rules->findChild<QComboBox*>(QStringLiteral("roundingBox"));
            rounding->setCurrentIndex(rounding->findData(15));
            rules->findChild<QLineEdit*>(QStringLiteral("dailyBox"))->setText(QStringLiteral("8:00"));
            rules->findChild<QPushButton*>(QStringLiteral("saveButton"))->click();
        });
        window.showRules();
        QVERIFY(boxes.errors().empty());
        QCOMPARE(window.totalsList->model()->columnCount(), int(Hours::PayColumnEnd));
        // 15-minute rounding and 8 hours a day: 48:00 paid, of which 4:00 daily overtime.
        const QModelIndex ann = window.totalsList->model()->index(0, Hours::Paid);
        QCOMPARE(ann.data().toString(), QStringLiteral("48:00"));
        QCOMPARE(ann.siblingAtColumn(Hours::Overtime).data().toString(), QStringLiteral("4:00"));
        const RecordSet audit = scene.db().auditEntries({QDate(2000, 1, 1), QDate(2100, 1, 1), {}, {}});
        // One row for each rule changed: rounding, the daily limit and the first day of the week, now stored.
        QCOMPARE(audit.rowCount(), auditRows + 3);
        QCOMPARE(audit.text(QStringLiteral("What")), QStringLiteral("pay rules changed"));
        QCOMPARE(audit.text(QStringLiteral("Who")), QStringLiteral("boss"));
    }
};

TALLYCLOCK_TEST(PayRulesWindowTest)
#include "PayRulesWindowTest.moc"
