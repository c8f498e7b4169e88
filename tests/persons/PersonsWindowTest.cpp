#include "persons/PersonsWindow.h"
#include "PersonsFixture.h"
#include "core/Main.h"
#include "persons/PersonEditor.h"
#include "platform/ListView.h"
#include "platform/MousePointer.h"
#include "platform/PushButton.h"
#include "platform/SystemClock.h"
#include "platform/Twips.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <SQLiteCpp/SQLiteCpp.h>

using TestSupport::control;

using namespace Qt::Literals::StringLiterals;

namespace {

int rowOf(const ListView* list, const QString& number) {
    for (int row = 0; row < list->rowCount(); ++row) {
        if (list->itemText(row, 0) == number)
            return row;
    }
    return -1;
}

QStringList column(const ListView* list, int index) {
    QStringList texts;
    for (int row = 0; row < list->rowCount(); ++row)
        texts << list->itemText(row, index);
    return texts;
}

int runPersons(std::function<void(PersonsWindow*)> act) {
    PersonsWindow persons;
    onModal<PersonsWindow>(std::move(act));
    return persons.showModal();
}

const QDate kToday(2024, 3, 5);

} // namespace

class PersonsWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init() { SystemClock::setFixed(QDateTime(kToday, QTime(10, 0))); }
    void cleanup() { SystemClock::clearFixed(); }

    void listsPersonsByNameWithFourColumns() {
        PersonsDatabase data;
        TestSupport::MessageRecorder boxes;
        data.db().insertPerson({u"E2"_s, u"pw"_s, u"bob"_s, u"IT"_s, u"Admin"_s, false});
        data.db().insertPerson({u"E3"_s, u"pw"_s, u"Carl"_s, {}, {}, false});
        data.db().insertPerson({u"E1"_s, u"pw"_s, u"Ann"_s, u"Sales"_s, u"Clerk"_s, true});
        {
            SQLite::Database raw(data.path().toStdString(), SQLite::OPEN_READWRITE);
            raw.exec("INSERT INTO tblEmployees (EmployeeNo, Password, Name, IsAdmin) VALUES ('E4', 'pw', "
                     "'dora', 0)");
        }

        const int result = runPersons([](PersonsWindow* persons) {
            QCOMPARE(persons->windowTitle(), u"Persons"_s);
            const ListView* list = control<ListView>(*persons, "personsList");
            QCOMPARE(list->columnCount(), 4);
            QCOMPARE((QStringList{list->columnHeader(0), list->columnHeader(1), list->columnHeader(2),
                                  list->columnHeader(3)}),
                     (QStringList{u"Person Number"_s, u"Name"_s, u"Department"_s, u"Position"_s}));
            for (int c = 0; c < 4; ++c)
                QCOMPARE(list->header()->sectionSize(c), Twips::toPixelsX(list, 1900));
            // Letter case plays no part in the order.
            QCOMPARE(column(list, 1), (QStringList{u"Ann"_s, u"bob"_s, u"Carl"_s, u"dora"_s}));
            QCOMPARE(column(list, 0), (QStringList{u"E1"_s, u"E2"_s, u"E3"_s, u"E4"_s}));
            QCOMPARE(column(list, 2), (QStringList{u"Sales"_s, u"IT"_s, {}, {}}));
            QCOMPARE(column(list, 3), (QStringList{u"Clerk"_s, u"Admin"_s, {}, {}}));

            // The hand over push buttons, the arrow over the list.
            QEvent enter(QEvent::Enter);
            QApplication::sendEvent(control<PushButton>(*persons, "updateButton"), &enter);
            QCOMPARE(persons->mousePointer()->value(), MousePointer::Custom);
            QApplication::sendEvent(control<ListView>(*persons, "personsList")->viewport(), &enter);
            QCOMPARE(persons->mousePointer()->value(), MousePointer::Default);

            QTest::keyClick(control<ListView>(*persons, "personsList"), Qt::Key_Escape);
        });
        QCOMPARE(result, int(QDialog::Rejected));
        QVERIFY(boxes.shown().empty());
    }

    void deleteAsksAndRemovesThePersonAndAllRecordsOnYes() {
        PersonsDatabase data;
        TestSupport::MessageRecorder boxes;
        // A number that would widen a spliced statement to every row.
        const QString number = u"x' OR '1'='1"_s;
        data.db().insertPerson({number, u"pw"_s, u"Ann O'Neil"_s, {}, {}, true});
        data.db().insertPerson({u"B2"_s, u"pw"_s, u"Bo"_s, {}, {}, false});
        data.db().punchIn(number, kToday.addDays(-1), u"09:00 AM"_s);
        data.db().punchIn(number.toUpper(), kToday, u"08:00 AM"_s);
        data.db().punchIn(number, kToday, u"01:00 PM"_s);
        data.db().punchIn(u"B2"_s, kToday, u"08:30 AM"_s);

        const int result = runPersons([&](PersonsWindow* persons) {
            // No: nothing is deleted, but the list is rebuilt (it shows a person added meanwhile).
            data.db().insertPerson({u"C3"_s, u"pw"_s, u"Cy"_s, {}, {}, false});
            control<ListView>(*persons, "personsList")
                ->selectRow(rowOf(control<ListView>(*persons, "personsList"), number));
            boxes.answerNext(false);
            control<PushButton>(*persons, "deleteButton")->click();
            QCOMPARE(boxes.shown().size(), size_t(1));
            QCOMPARE(boxes.shown().at(0).kind, MessageBox::Kind::YesNo);
            QCOMPARE(boxes.shown().at(0).text,
                     u"Are you sure you want to delete Ann O'Neil and its records?"_s);
            QCOMPARE(control<ListView>(*persons, "personsList")->rowCount(), 3);
            QCOMPARE(data.personCount(), 3);
            QCOMPARE(data.recordCount(number), 3);

            control<ListView>(*persons, "personsList")
                ->selectRow(rowOf(control<ListView>(*persons, "personsList"), number));
            boxes.answerNext(true);
            control<PushButton>(*persons, "deleteButton")->click();
            QCOMPARE(boxes.shown().size(), size_t(2));
            QCOMPARE(column(control<ListView>(*persons, "personsList"), 0), (QStringList{u"B2"_s, u"C3"_s}));
            control<PushButton>(*persons, "closeButton")->click();
        });
        QCOMPARE(result, int(QDialog::Rejected));
        QVERIFY(boxes.errors().empty());
        QVERIFY(data.db().personByNumber(number).eof());
        QCOMPARE(data.recordCount(number), 0);
        QCOMPARE(data.personCount(), 2);
        QCOMPARE(data.recordCount(u"B2"_s), 1);
    }

    void emptyListMakesUpdateAndDeleteDoNothing() {
        PersonsDatabase data;
        TestSupport::MessageRecorder boxes;
        PersonsWindow persons;
        persons.start();
        QCOMPARE(control<ListView>(persons, "personsList")->rowCount(), 0);
        QCOMPARE(control<ListView>(persons, "personsList")->columnCount(), 4);
        data.db().insertPerson({u"E1"_s, u"pw"_s, u"Ann"_s, {}, {}, true});

        // Any window that opened would be recorded and closed rather than block the test.
        bool opened = false;
        TestSupport::whenModalShows(
            [&](QWidget* shown) {
                opened = true;
                static_cast<QDialog*>(shown)->done(-1);
            },
            300);
        boxes.answerNext(true);
        control<PushButton>(persons, "updateButton")->click();
        control<PushButton>(persons, "deleteButton")->click();
        QTest::qWait(400);
        QVERIFY(!opened);
        QVERIFY(boxes.shown().empty());
        QCOMPARE(control<ListView>(persons, "personsList")->rowCount(), 0);
        QCOMPARE(data.personCount(), 1);
    }

    void addAndUpdateGoThroughTheEditorAndRefreshTheList() {
        PersonsDatabase data;
        TestSupport::MessageRecorder boxes;
        data.db().insertPerson({u"E1"_s, u"pw"_s, u"Ann"_s, {}, {}, true});
        data.db().insertPerson({u"E2"_s, u"pw"_s, u"Bo"_s, {}, {}, false});

        runPersons([](PersonsWindow* persons) {
            control<ListView>(*persons, "personsList")
                ->selectRow(rowOf(control<ListView>(*persons, "personsList"), u"E2"_s));
            onModal<PersonEditor>([](PersonEditor* editor) {
                QCOMPARE(editor->windowTitle(), u"Add Person"_s);
                QCOMPARE(editor->editedNumber, u"E2"_s);
                QCOMPARE(control<QLineEdit>(*editor, "nameBox")->text(), u"Bo"_s);
                QVERIFY(control<QRadioButton>(*editor, "adminNoOption")->isChecked());
                control<QLineEdit>(*editor, "nameBox")->setText(u"Aaron"_s);
                control<PushButton>(*editor, "saveButton")->click();
            });
            control<PushButton>(*persons, "updateButton")->click();
            QCOMPARE(column(control<ListView>(*persons, "personsList"), 1),
                     (QStringList{u"Aaron"_s, u"Ann"_s}));

            onModal<PersonEditor>([](PersonEditor* editor) {
                QVERIFY(editor->editedNumber.isEmpty());
                QVERIFY(control<QLineEdit>(*editor, "numberBox")->text().isEmpty());
                control<QLineEdit>(*editor, "numberBox")->setText(u"E3"_s);
                control<QLineEdit>(*editor, "passwordBox")->setText(u"pw"_s);
                control<QLineEdit>(*editor, "retypeBox")->setText(u"pw"_s);
                control<QLineEdit>(*editor, "nameBox")->setText(u"Zoe"_s);
                control<PushButton>(*editor, "saveButton")->click();
            });
            control<PushButton>(*persons, "addButton")->click();
            QCOMPARE(column(control<ListView>(*persons, "personsList"), 0),
                     (QStringList{u"E2"_s, u"E1"_s, u"E3"_s}));

            // Cancelling the editor leaves the list as it is.
            onModal<PersonEditor>([](PersonEditor* editor) { QTest::keyClick(editor, Qt::Key_Escape); });
            control<PushButton>(*persons, "addButton")->click();
            QCOMPARE(control<ListView>(*persons, "personsList")->rowCount(), 3);
        });
        QVERIFY(boxes.shown().empty());
        QCOMPARE(data.personCount(), 3);
    }

    void failingDeleteKeepsPersonAndRecordsTogether() {
        PersonsDatabase data;
        TestSupport::MessageRecorder boxes;
        data.db().insertPerson({u"E1"_s, u"pw"_s, u"Ann"_s, {}, {}, true});
        data.db().punchIn(u"E1"_s, kToday, u"09:00 AM"_s);
        {
            // The file refuses to delete persons, as a rule of the database file could.
            SQLite::Database raw(data.path().toStdString(), SQLite::OPEN_READWRITE);
            raw.exec("CREATE TRIGGER keepPersons BEFORE DELETE ON tblEmployees "
                     "BEGIN SELECT RAISE(ABORT, 'persons are kept'); END");
        }

        PersonsWindow persons;
        persons.start();
        control<ListView>(persons, "personsList")->selectRow(0);
        boxes.answerNext(true);
        control<PushButton>(persons, "deleteButton")->click();
        QCOMPARE(boxes.errorSteps(), std::vector<int>{104});
        QVERIFY(boxes.errors().at(0).text.contains(u"persons are kept"_s));
        QVERIFY(boxes.errors().at(0).text.contains(u"Form2.PushButton2_Click "_s));
        QCOMPARE(data.personCount(), 1);
        QCOMPARE(data.recordCount(u"E1"_s), 1); // the person's records stay with the person
        QCOMPARE(control<ListView>(persons, "personsList")->rowCount(), 1);

        // With the connection gone every statement fails in turn; the list keeps its last rows.
        data.db().close();
        boxes.clear();
        boxes.answerNext(true);
        control<ListView>(persons, "personsList")->selectRow(0); // the rebuild cleared the selection
        control<PushButton>(persons, "deleteButton")->click();
        QCOMPARE(boxes.errorSteps(), (std::vector<int>{104, 108}));
        QCOMPARE(control<ListView>(persons, "personsList")->rowCount(), 1);

        boxes.clear();
        PersonsWindow again;
        again.start();
        QCOMPARE(boxes.errorSteps(), std::vector<int>{124});
        QVERIFY(boxes.errors().at(0).text.contains(u"Form2.Form_Load "_s));
        QCOMPARE(control<ListView>(again, "personsList")->columnCount(), 4);
    }
};

TALLYCLOCK_TEST(PersonsWindowTest)
#include "PersonsWindowTest.moc"
