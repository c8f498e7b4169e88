#include "PersonsFixture.h"
#include "core/Main.h"
#include "persons/Form2.h"
#include "persons/Form3.h"
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

int runPersons(std::function<void(Form2*)> act) {
    Form2 persons;
    onModal<Form2>(std::move(act));
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

        const int result = runPersons([](Form2* persons) {
            QCOMPARE(persons->windowTitle(), u"Persons"_s);
            const ListView* list = persons->ListView1;
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
            QApplication::sendEvent(persons->PushButton3, &enter);
            QCOMPARE(persons->mousePointer()->value(), MousePointer::Custom);
            QApplication::sendEvent(persons->ListView1->viewport(), &enter);
            QCOMPARE(persons->mousePointer()->value(), MousePointer::Default);

            QTest::keyClick(persons->ListView1, Qt::Key_Escape);
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

        const int result = runPersons([&](Form2* persons) {
            // No: nothing is deleted, but the list is rebuilt (it shows a person added meanwhile).
            data.db().insertPerson({u"C3"_s, u"pw"_s, u"Cy"_s, {}, {}, false});
            persons->ListView1->selectRow(rowOf(persons->ListView1, number));
            boxes.answerNext(false);
            persons->PushButton2->click();
            QCOMPARE(boxes.shown().size(), size_t(1));
            QCOMPARE(boxes.shown().at(0).kind, MessageBox::Kind::YesNo);
            QCOMPARE(boxes.shown().at(0).text,
                     u"Are you sure you want to delete Ann O'Neil and its records?"_s);
            QCOMPARE(persons->ListView1->rowCount(), 3);
            QCOMPARE(data.personCount(), 3);
            QCOMPARE(data.recordCount(number), 3);

            persons->ListView1->selectRow(rowOf(persons->ListView1, number));
            boxes.answerNext(true);
            persons->PushButton2->click();
            QCOMPARE(boxes.shown().size(), size_t(2));
            QCOMPARE(column(persons->ListView1, 0), (QStringList{u"B2"_s, u"C3"_s}));
            persons->PushButton4->click();
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
        Form2 persons;
        persons.Form_Load();
        QCOMPARE(persons.ListView1->rowCount(), 0);
        QCOMPARE(persons.ListView1->columnCount(), 4);
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
        persons.PushButton3->click();
        persons.PushButton2->click();
        QTest::qWait(400);
        QVERIFY(!opened);
        QVERIFY(boxes.shown().empty());
        QCOMPARE(persons.ListView1->rowCount(), 0);
        QCOMPARE(data.personCount(), 1);
    }

    void addAndUpdateGoThroughTheEditorAndRefreshTheList() {
        PersonsDatabase data;
        TestSupport::MessageRecorder boxes;
        data.db().insertPerson({u"E1"_s, u"pw"_s, u"Ann"_s, {}, {}, true});
        data.db().insertPerson({u"E2"_s, u"pw"_s, u"Bo"_s, {}, {}, false});

        runPersons([](Form2* persons) {
            persons->ListView1->selectRow(rowOf(persons->ListView1, u"E2"_s));
            onModal<Form3>([](Form3* editor) {
                QCOMPARE(editor->windowTitle(), u"Add Person"_s);
                QCOMPARE(editor->mEmployeeID, u"E2"_s);
                QCOMPARE(editor->Text3->text(), u"Bo"_s);
                QVERIFY(editor->Option2->isChecked());
                editor->Text3->setText(u"Aaron"_s);
                editor->PushButton1->click();
            });
            persons->PushButton3->click();
            QCOMPARE(column(persons->ListView1, 1), (QStringList{u"Aaron"_s, u"Ann"_s}));

            onModal<Form3>([](Form3* editor) {
                QVERIFY(editor->mEmployeeID.isEmpty());
                QVERIFY(editor->Text1->text().isEmpty());
                editor->Text1->setText(u"E3"_s);
                editor->Text2->setText(u"pw"_s);
                editor->Text6->setText(u"pw"_s);
                editor->Text3->setText(u"Zoe"_s);
                editor->PushButton1->click();
            });
            persons->PushButton1->click();
            QCOMPARE(column(persons->ListView1, 0), (QStringList{u"E2"_s, u"E1"_s, u"E3"_s}));

            // Cancelling the editor leaves the list as it is.
            onModal<Form3>([](Form3* editor) { QTest::keyClick(editor, Qt::Key_Escape); });
            persons->PushButton1->click();
            QCOMPARE(persons->ListView1->rowCount(), 3);
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

        Form2 persons;
        persons.Form_Load();
        persons.ListView1->selectRow(0);
        boxes.answerNext(true);
        persons.PushButton2->click();
        QCOMPARE(boxes.errorSteps(), std::vector<int>{104});
        QVERIFY(boxes.errors().at(0).text.contains(u"persons are kept"_s));
        QVERIFY(boxes.errors().at(0).text.contains(u"Form2.PushButton2_Click "_s));
        QCOMPARE(data.personCount(), 1);
        QCOMPARE(data.recordCount(u"E1"_s), 1); // the person's records stay with the person
        QCOMPARE(persons.ListView1->rowCount(), 1);

        // With the connection gone every statement fails in turn; the list keeps its last rows.
        data.db().close();
        boxes.clear();
        boxes.answerNext(true);
        persons.ListView1->selectRow(0); // the rebuild cleared the selection
        persons.PushButton2->click();
        QCOMPARE(boxes.errorSteps(), (std::vector<int>{104, 108}));
        QCOMPARE(persons.ListView1->rowCount(), 1);

        boxes.clear();
        Form2 again;
        again.Form_Load();
        QCOMPARE(boxes.errorSteps(), std::vector<int>{124});
        QVERIFY(boxes.errors().at(0).text.contains(u"Form2.Form_Load "_s));
        QCOMPARE(again.ListView1->columnCount(), 4);
    }
};

TALLYCLOCK_TEST(PersonsWindowTest)
#include "PersonsWindowTest.moc"
