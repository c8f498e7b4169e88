#include "corrections/AuditWindow.h"
#include "corrections/RecordChecks.h"
#include "corrections/RecordEditor.h"
#include "exports/RecordingSpreadsheet.h"
#include "hours/HoursTotals.h"
#include "platform/PushButton.h"
#include "reports/ReportsScene.h"

#include <QDateEdit>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>
#include <SQLiteCpp/Database.h>

using TestSupport::control;

using RecordChecks::Box;
using Cycle = DateTexts::HourCycle;

namespace {

// Fills the editor that shows, presses Save and answers the overnight question, if one comes, with
// `overnight`; presses Cancel when the editor is still open after that.
void typeIntoEditor(const QString& number, const QString& date, const QString& in, const QString& out,
                    TestSupport::MessageRecorder& boxes, bool overnight = true) {
    TestSupport::whenModalShows([=, &boxes](QWidget* modal) {
        auto* editor = qobject_cast<RecordEditor*>(modal);
        if (!editor)
            return;
        if (!control<QLineEdit>(*editor, "numberBox")->isReadOnly())
            control<QLineEdit>(*editor, "numberBox")->setText(number);
        control<QLineEdit>(*editor, "dateBox")->setText(date);
        control<QLineEdit>(*editor, "timeInBox")->setText(in);
        control<QLineEdit>(*editor, "timeOutBox")->setText(out);
        boxes.answerNext(overnight);
        control<PushButton>(*editor, "saveButton")->click();
        if (editor->isVisible())
            control<PushButton>(*editor, "cancelButton")->click();
    });
}

QStringList row(const ListView* list, int row) {
    QStringList texts;
    for (int c = 0; c < list->columnCount(); ++c)
        texts << list->itemText(row, c);
    return texts;
}

} // namespace

class CorrectionsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void typedRecordChecked_data() {
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::addColumn<bool>("twentyFour");
        QTest::addColumn<int>("failedBox"); // -1: accepted
        QTest::addColumn<QString>("storedIn");
        QTest::addColumn<QString>("storedOut"); // "-": still open
        QTest::addColumn<bool>("overnight");
        QTest::newRow("12-hour, loosely typed") << "12/9/2026"
                                                << " 9:05 pm"
                                                << "11:30 PM" << false << -1 << "09:05 PM"
                                                << "11:30 PM" << false;
        QTest::newRow("24-hour clock stores 24-hour") << "12/9/2026"
                                                      << "9:05 PM"
                                                      << "23:30" << true << -1 << "21:05"
                                                      << "23:30" << false;
        QTest::newRow("open record stays open") << "12/9/2026"
                                                << "08:00 AM"
                                                << "  " << false << -1 << "08:00 AM"
                                                << "-" << false;
        QTest::newRow("overnight") << "12/9/2026"
                                   << "10:00 PM"
                                   << "06:00 AM" << false << -1 << "10:00 PM"
                                   << "06:00 AM" << true;
        QTest::newRow("no date") << "2/30/2026"
                                 << "08:00 AM"
                                 << "" << false << int(Box::Date) << ""
                                 << "" << false;
        QTest::newRow("time in empty") << "12/9/2026"
                                       << ""
                                       << "05:00 PM" << false << int(Box::TimeIn) << ""
                                       << "" << false;
        QTest::newRow("time in past the day") << "12/9/2026"
                                              << "25:00"
                                              << "" << true << int(Box::TimeIn) << ""
                                              << "" << false;
        QTest::newRow("open record of an earlier day") << "12/8/2026"
                                                       << "08:00 AM"
                                                       << "" << false << int(Box::TimeOut) << ""
                                                       << "" << false;
        QTest::newRow("time out unreadable") << "12/9/2026"
                                             << "08:00 AM"
                                             << "five" << false << int(Box::TimeOut) << ""
                                             << "" << false;
    }

    void typedRecordChecked() {
        QFETCH(QString, date);
        QFETCH(QString, in);
        QFETCH(QString, out);
        QFETCH(bool, twentyFour);
        QFETCH(int, failedBox);
        const RecordChecks::Result result = RecordChecks::check(
            {date, in, out}, twentyFour ? Cycle::TwentyFourHour : Cycle::TwelveHour, QDate(2026, 12, 9));
        QCOMPARE(result.ok, failedBox < 0);
        if (!result.ok) {
            QCOMPARE(int(result.box), failedBox);
            const QString name = QStringList{"", "Date", "Time In", "Time Out"}.at(failedBox);
            QVERIFY2(result.message.startsWith(QStringLiteral("The %1 box does not hold a ").arg(name)),
                     qPrintable(result.message));
            return;
        }
        QCOMPARE(result.fields.day, QDate(2026, 12, 9));
        QTEST(result.fields.timeIn, "storedIn");
        QTEST(result.fields.timeOut.value_or(QStringLiteral("-")), "storedOut");
        QTEST(result.overnight, "overnight");
    }

    // The missed punch out: the administrator closes the open record, answering the overnight
    // question No first (nothing written) and then Yes. The row shows the new times, marked, and
    // the hours count the shift.
    void missedPunchOutCorrected() {
        ReportsScene scene;
        scene.addPerson(QStringLiteral("07"), QStringLiteral("Ann"));
        scene.addRecord(QStringLiteral("07"), ReportsScene::today(), QStringLiteral("10:00 PM"));
        const auto hours = [&] {
            return Hours::totals(Hours::records(scene.db().loginsOn(ReportsScene::today())), Hours::Rules{})
                .totals.minutes;
        };
        QCOMPARE(hours(), 0LL);
        AttendanceDatabase::ActorScope actor(scene.db(), QStringLiteral("ADM"));
        TestSupport::MessageRecorder boxes;
        QStringList shown;
        QString note;
        scene.showReports([&](ReportsWindow& form) {
            control<ListView>(form, "resultsList")->selectRow(0);
            typeIntoEditor({}, QStringLiteral("9/14/2021"), QStringLiteral("10:00 PM"),
                           QStringLiteral("6:00 am"), boxes, false);
            control<PushButton>(form, "correctButton")->click();
            QVERIFY(scene.db().recordById(1).isNull(QStringLiteral("TimeOut")));
            typeIntoEditor({}, QStringLiteral("9/14/2021"), QStringLiteral("10:00 PM"),
                           QStringLiteral("6:00 am"), boxes, true);
            control<PushButton>(form, "correctButton")->click();
            shown = row(control<ListView>(form, "resultsList"), 0);
            note = control<ListView>(form, "resultsList")->rowNote(0);
        });
        QCOMPARE(boxes.texts(),
                 (std::vector<QString>(2, RecordChecks::overnightQuestion(QStringLiteral("10:00 PM"),
                                                                          QStringLiteral("06:00 AM")))));
        QCOMPARE(shown.mid(4), (QStringList{"9/14/2021", "10:00 PM", "06:00 AM"}));
        QVERIFY(note.startsWith(QStringLiteral("Corrected")));
        QCOMPARE(hours(), 8LL * 60);
    }

    void staleRowNotCorrected_data() {
        QTest::addColumn<QString>("behindTheBack");
        QTest::addColumn<bool>("whileOpen");
        QTest::addColumn<QString>("told");
        const QString beforeOpening = QStringLiteral("The record is no longer the one listed");
        const QString beforeSaving = QStringLiteral("The record 1 is no longer the one listed");
        QTest::newRow("corrected elsewhere before opening")
            << QStringLiteral("UPDATE tblLogins SET TimeIn = '07:00 AM' WHERE RecordId = 1") << false
            << beforeOpening;
        // What a reused identity did: the listed record gone, another person's under its number.
        QTest::newRow("number taken by another person's record")
            << QStringLiteral("DELETE FROM tblLogins WHERE RecordId = 1; INSERT INTO tblLogins (RecordId, "
                              "EmployeeNo, LogDate, TimeIn) VALUES (1, 'CD8', '2021-09-14', '08:00 AM')")
            << false << beforeOpening;
        QTest::newRow("corrected elsewhere while open")
            << QStringLiteral("UPDATE tblLogins SET TimeOut = '11:00 AM' WHERE RecordId = 1") << true
            << beforeSaving;
    }

    // A row still listed after another terminal changed its record opens no editor on it, and an
    // editor whose record changes meanwhile saves nothing: a correction never lands on a record that
    // nobody chose.
    void staleRowNotCorrected() {
        QFETCH(QString, behindTheBack);
        QFETCH(bool, whileOpen);
        QFETCH(QString, told);
        ReportsScene scene;
        scene.addPerson(QStringLiteral("AB7"), QStringLiteral("Ann"));
        scene.addPerson(QStringLiteral("CD8"), QStringLiteral("Cid"));
        scene.addRecord(QStringLiteral("AB7"), ReportsScene::today(), QStringLiteral("08:00 AM"));
        const auto elsewhere = [&] {
            SQLite::Database(scene.db().path().toStdString(), SQLite::OPEN_READWRITE)
                .exec(behindTheBack.toStdString());
        };
        TestSupport::MessageRecorder boxes;
        bool editorShown = false;
        scene.showReports([&](ReportsWindow& form) {
            control<ListView>(form, "resultsList")->selectRow(0);
            if (!whileOpen)
                elsewhere();
            TestSupport::whenModalShows([&](QWidget* modal) {
                auto* editor = qobject_cast<RecordEditor*>(modal);
                if (!editor)
                    return;
                editorShown = true;
                elsewhere();
                control<QLineEdit>(*editor, "timeOutBox")->setText(QStringLiteral("05:00 PM"));
                control<PushButton>(*editor, "saveButton")->click();
                if (editor->isVisible())
                    control<PushButton>(*editor, "cancelButton")->click();
            });
            control<PushButton>(form, "correctButton")->click();
        });
        QCOMPARE(editorShown, whileOpen);
        QCOMPARE(boxes.errors().size(), size_t(1));
        QVERIFY2(boxes.errors().front().text.contains(told), qPrintable(boxes.errors().front().text));
        // What the other terminal wrote stays as it wrote it.
        const RecordSet rs = scene.db().recordById(1);
        QVERIFY(rs.text(QStringLiteral("TimeOut")) != QStringLiteral("05:00 PM"));
        QCOMPARE(rs.text(QStringLiteral("Corrected")), QStringLiteral("0"));
    }

    // Two quick clicks on a row's mark (someone unmarking it) change the mark only; elsewhere on the row
    // they open the record editor.
    void doubleClickOnTheMarkOnlyMarks() {
        ReportsScene scene;
        scene.addPerson(QStringLiteral("07"), QStringLiteral("Ann"));
        scene.addRecord(QStringLiteral("07"), ReportsScene::today(), QStringLiteral("08:00 AM"));
        int editors = 0;
        scene.showReports([&](ReportsWindow& form) {
            auto* list = control<ListView>(form, "resultsList");
            QStyleOptionViewItem option;
            option.rect = list->visualRect(list->model()->index(0, 0));
            option.features |= QStyleOptionViewItem::HasCheckIndicator;
            const QPoint mark =
                list->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list).center();
            const QPoint name = list->visualRect(list->model()->index(0, 1)).center();
            TestSupport::whenModalShows([&](QWidget* modal) {
                if (auto* editor = qobject_cast<RecordEditor*>(modal)) {
                    ++editors;
                    editor->reject();
                }
            });
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, mark);
            QCOMPARE(editors, 0);
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, name);
            QCOMPARE(editors, 1);
        });
    }

    // The forgotten day: a person number in other letter case is the person's; an unknown one is
    // refused. The audit window then shows who made both changes and the values before.
    void forgottenDayAddedAndAudited() {
        ReportsScene scene;
        scene.addPerson(QStringLiteral("AB7"), QStringLiteral("Ann"));
        scene.addRecord(QStringLiteral("AB7"), ReportsScene::today(), QStringLiteral("08:00 AM"));
        AttendanceDatabase::ActorScope actor(scene.db(), QStringLiteral("ADM"));
        TestSupport::MessageRecorder boxes;
        QList<QStringList> audit;
        auto sheet = std::make_shared<RecordingSpreadsheet::Log>();
        QList<QStringList> sent, listed; // per column: title, unchecked row, checked row
        Spreadsheet::setStarter(RecordingSpreadsheet::starter(sheet));
        scene.showReports([&](ReportsWindow& form) {
            typeIntoEditor(QStringLiteral("zz9"), QStringLiteral("9/13/2021"), QStringLiteral("08:00 AM"), {},
                           boxes);
            control<PushButton>(form, "addRecordButton")->click();
            typeIntoEditor(QStringLiteral("ab7"), QStringLiteral("9/13/2021"), QStringLiteral("08:00 AM"),
                           QStringLiteral("04:00 PM"), boxes);
            control<PushButton>(form, "addRecordButton")->click();
            control<ListView>(form, "resultsList")->selectRow(0);
            typeIntoEditor({}, QStringLiteral("9/14/2021"), QStringLiteral("08:00 AM"),
                           QStringLiteral("5:00 PM"), boxes);
            control<PushButton>(form, "correctButton")->click();
            TestSupport::whenModalShows([&](QWidget* modal) {
                auto* window = qobject_cast<AuditWindow*>(modal);
                if (!window)
                    return;
                for (int r = 0; r < control<ListView>(*window, "auditList")->rowCount(); ++r)
                    audit << row(control<ListView>(*window, "auditList"), r).mid(2, 3) +
                                 row(control<ListView>(*window, "auditList"), r).mid(6);
                // The checked addition goes to the sheet in its place, every cell under its title.
                control<ListView>(*window, "auditList")->setChecked(1, true);
                control<PushButton>(*window, "spreadsheetButton")->click();
                for (int c = 1; c <= control<ListView>(*window, "auditList")->columnCount(); ++c) {
                    sent << QStringList{sheet->cell(1, c), sheet->cell(2, c), sheet->cell(3, c)};
                    listed << QStringList{control<ListView>(*window, "auditList")->columnHeader(c - 1),
                                          QString(),
                                          control<ListView>(*window, "auditList")->itemText(1, c - 1)};
                }
                window->reject();
            });
            control<PushButton>(form, "auditButton")->click();
        });
        Spreadsheet::setStarter({});
        QCOMPARE(boxes.texts(),
                 std::vector<QString>{QStringLiteral("There is no person with the number \"zz9\".")});
        QCOMPARE(scene.storedRecords(QStringLiteral("AB7")), 2);
        // The file's trail has no server role or address.
        const QStringList corrected{
            "ADM",
            "record corrected",
            "AB7",
            R"({"EmployeeNo":"AB7","LogDate":"2021-09-14","RecordId":1,"TimeIn":"08:00 AM","TimeOut":null})",
            R"({"EmployeeNo":"AB7","LogDate":"2021-09-14","RecordId":1,"TimeIn":"08:00 AM","TimeOut":"05:00 PM"})",
            "-",
            "-"};
        const QStringList added{
            "ADM",
            "record added",
            "AB7",
            "-",
            R"({"EmployeeNo":"AB7","LogDate":"2021-09-13","RecordId":2,"TimeIn":"08:00 AM","TimeOut":"04:00 PM"})",
            "-",
            "-"};
        QVERIFY(audit.size() >= 2);
        QCOMPARE(audit.at(0), corrected);
        QCOMPARE(audit.at(1), added);
        QCOMPARE(sent.size(), 10);
        QCOMPARE(sent, listed);
    }
};

TALLYCLOCK_TEST(CorrectionsTest)
#include "CorrectionsTest.moc"
#include "platform/ListView.h"
