#include "PersonsFixture.h"
#include "data/SettingsStore.h"
#include "persons/Form2.h"
#include "persons/Form3.h"
#include "platform/ListView.h"
#include "platform/PushButton.h"

#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <SQLiteCpp/SQLiteCpp.h>

namespace {

struct Typed {
    QString number{}, password{}, retype{}, name{}, department{}, position{};
};

void type(Form3* editor, const Typed& t) {
    editor->Text1->setText(t.number);
    editor->Text2->setText(t.password);
    editor->Text6->setText(t.retype);
    editor->Text3->setText(t.name);
    editor->Text4->setText(t.department);
    editor->Text5->setText(t.position);
}

// Opens the editor for `number` ("" = new person), lets `act` work on it, and returns exec()'s result.
int runEditor(const QString& number, std::function<void(Form3*)> act, bool presetYes = false) {
    Form3 editor;
    editor.mEmployeeID = number;
    if (presetYes)
        editor.Option1->setChecked(true);
    onModal<Form3>(std::move(act));
    return editor.showModal();
}

int saveTyped(const QString& number, const Typed& t, bool admin = false) {
    return runEditor(number, [&](Form3* editor) {
        type(editor, t);
        (admin ? editor->Option1 : editor->Option2)->setChecked(true);
        editor->PushButton1->click();
    });
}

QString firstTime() {
    return SettingsStore::GetSetting(SettingsStore::kApplication, SettingsStore::kSection,
                                     QStringLiteral("Is First Time"), QStringLiteral("unset"));
}
void setFirstTime(const QString& value) {
    SettingsStore::SaveSetting(SettingsStore::kApplication, SettingsStore::kSection,
                               QStringLiteral("Is First Time"), value);
}

void verifyStored(AttendanceDatabase& db, const Typed& t, bool admin) {
    RecordSet rs = db.personByNumber(t.number);
    QVERIFY2(!rs.eof(), qPrintable(t.number.left(40)));
    QCOMPARE(rs.text(QStringLiteral("EmployeeNo")), t.number);
    QCOMPARE(rs.text(QStringLiteral("Password")), t.password);
    QCOMPARE(rs.text(QStringLiteral("Name")), t.name);
    QCOMPARE(rs.text(QStringLiteral("Department")), t.department);
    QCOMPARE(rs.text(QStringLiteral("Position")), t.position);
    QCOMPARE(rs.text(QStringLiteral("IsAdmin")), admin ? QStringLiteral("1") : QStringLiteral("0"));
    rs.moveNext();
    QVERIFY(rs.eof());
}

} // namespace

class PersonEditorTest : public QObject {
    Q_OBJECT
private slots:
    void checksRunInOrderAndFocusTheNamedBox() {
        PersonsDatabase data;
        TestSupport::MessageRecorder boxes;
        struct Case {
            Typed typed;
            QString message;
            const char* focus;
        };
        const Case cases[] = {
            {{}, QStringLiteral("You forgot to input person number."), "Text1"},
            {{QStringLiteral("   ")}, QStringLiteral("You forgot to input person number."), "Text1"},
            {{QStringLiteral("E1"), QStringLiteral("  "), QStringLiteral("  ")},
             QStringLiteral("You forgot to input password."),
             "Text2"},
            // The retype box is empty too, but the name comes first.
            {{QStringLiteral("E1"), QStringLiteral("pw"), QString(), QStringLiteral("   ")},
             QStringLiteral("You forgot to input name."),
             "Text3"},
            {{QStringLiteral("E1"), QStringLiteral("pw"), QString(), QStringLiteral("Ann")},
             QStringLiteral("Password not retyped properly."),
             "Text6"},
            {{QStringLiteral("E1"), QStringLiteral("pw"), QStringLiteral("PW"), QStringLiteral("Ann")},
             QStringLiteral("Password not retyped properly."),
             "Text6"},
            {{QStringLiteral("E1"), QStringLiteral("pw"), QStringLiteral("pw "), QStringLiteral("Ann")},
             QStringLiteral("Password not retyped properly."),
             "Text6"},
        };
        const int result = runEditor(QString(), [&](Form3* editor) {
            for (const Case& c : cases) {
                boxes.clear();
                type(editor, c.typed);
                editor->PushButton1->click();
                QCOMPARE(boxes.texts(), std::vector<QString>{c.message});
                QCOMPARE(boxes.shown().at(0).kind, MessageBox::Kind::Ok);
                QVERIFY(editor->isVisible());
                QCOMPARE(editor->focusWidget()->objectName(), QString::fromLatin1(c.focus));
                // A refused save keeps every text as typed.
                QCOMPARE(editor->Text3->text(), c.typed.name);
            }
            QCOMPARE(data.personCount(), 0);
            // Spaces around the number pass the check and are stored with it.
            boxes.clear();
            type(editor, {QStringLiteral("  E1  "), QStringLiteral("pw"), QStringLiteral("pw"),
                          QStringLiteral("Ann")});
            editor->PushButton1->click();
            QVERIFY(boxes.shown().empty());
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QVERIFY(data.db().personByNumber(QStringLiteral("E1")).eof());
        verifyStored(data.db(),
                     {QStringLiteral("  E1  "), QStringLiteral("pw"), QString(), QStringLiteral("Ann")},
                     false);
    }

    void hostileTextsRoundTripThroughInsertAndUpdate() {
        PersonsDatabase data;
        TestSupport::MessageRecorder boxes;
        const Typed bystander{QStringLiteral("B1"),        QStringLiteral("secret"), QStringLiteral("secret"),
                              QStringLiteral("Bystander"), QStringLiteral("Dept"),   QStringLiteral("Pos")};
        QCOMPARE(saveTyped(QString(), bystander), int(QDialog::Accepted));

        const QString hostile[] = {
            QStringLiteral("x' OR '1'='1"),
            QStringLiteral("Robert'); DROP TABLE tblEmployees;--"),
            QStringLiteral("\"double\" and 'single' quotes"),
            QStringLiteral("  spaced out  "),
            QString(10000, QLatin1Char('w')),
            QStringLiteral("Łódź Ærøskøbing Ñandú 東京"),
            QStringLiteral("%_ LIKE * ? [IsAdmin]=1"),
        };
        for (const QString& text : hostile) {
            const Typed t{text, text, text, text + QStringLiteral(" name"), text, text};
            QCOMPARE(saveTyped(QString(), t, true), int(QDialog::Accepted));
            verifyStored(data.db(), t, true);
        }
        QCOMPARE(data.personCount(), 1 + int(std::size(hostile)));

        // Each hostile person is edited in turn: the editor loads it back and the update touches it alone.
        for (const QString& text : hostile) {
            const Typed changed{text + QStringLiteral("'2"),
                                QStringLiteral("p'w"),
                                QStringLiteral("p'w"),
                                QStringLiteral("O'Hara"),
                                QString(),
                                QStringLiteral("' OR ''='")};
            const int result = runEditor(text, [&](Form3* editor) {
                QCOMPARE(editor->Text1->text(), text);
                QCOMPARE(editor->Text2->text(), text);
                QCOMPARE(editor->Text6->text(), text);
                QCOMPARE(editor->Text3->text(), text + QStringLiteral(" name"));
                QVERIFY(editor->Option1->isChecked());
                type(editor, changed);
                editor->Option2->setChecked(true);
                editor->PushButton1->click();
            });
            QCOMPARE(result, int(QDialog::Accepted));
            verifyStored(data.db(), changed, false);
            QVERIFY(data.db().personByNumber(text).eof());
        }
        QCOMPARE(data.personCount(), 1 + int(std::size(hostile)));
        verifyStored(data.db(), bystander, false);
        QVERIFY(boxes.shown().empty());
    }

    void firstTimeIsStoredAfterAnInsertOnly() {
        PersonsDatabase data;
        TestSupport::MessageRecorder boxes;
        setFirstTime(QStringLiteral("1"));
        const Typed t{QStringLiteral("E1"), QStringLiteral("pw"), QStringLiteral("pw"),
                      QStringLiteral("Ann")};
        QCOMPARE(saveTyped(QString(), t), int(QDialog::Accepted));
        QCOMPARE(firstTime(), QStringLiteral("0"));

        setFirstTime(QStringLiteral("1"));
        QCOMPARE(saveTyped(QStringLiteral("E1"), {QStringLiteral("E1"), QStringLiteral("pw"),
                                                  QStringLiteral("pw"), QStringLiteral("Anna")}),
                 int(QDialog::Accepted));
        QCOMPARE(firstTime(), QStringLiteral("1"));
        // Cancel writes nothing at all.
        QCOMPARE(runEditor(QString(),
                           [](Form3* editor) {
                               type(editor, {QStringLiteral("E2"), QStringLiteral("pw"), QStringLiteral("pw"),
                                             QStringLiteral("Bo")});
                               QTest::keyClick(editor->Text3, Qt::Key_Escape);
                           }),
                 int(QDialog::Rejected));
        QCOMPARE(firstTime(), QStringLiteral("1"));
        QCOMPARE(data.personCount(), 1);
        QVERIFY(boxes.shown().empty());
    }

    void callersYesSurvivesTheLoadOfANewPerson() {
        PersonsDatabase data;
        TestSupport::MessageRecorder boxes;
        const int result = runEditor(
            QString(),
            [](Form3* editor) {
                QVERIFY(editor->Option1->isChecked());
                QVERIFY(editor->Text1->text().isEmpty());
                type(editor, {QStringLiteral("A1"), QStringLiteral("pw"), QStringLiteral("pw"),
                              QStringLiteral("Admin")});
                editor->PushButton1->click();
            },
            true);
        QCOMPARE(result, int(QDialog::Accepted));
        verifyStored(data.db(), {QStringLiteral("A1"), QStringLiteral("pw"), {}, QStringLiteral("Admin")},
                     true);
        QVERIFY(!data.db().administrators().eof());
    }

    void editingAVanishedPersonUpdatesNothing() {
        PersonsDatabase data;
        TestSupport::MessageRecorder boxes;
        data.db().insertPerson(
            {QStringLiteral("E1"), QStringLiteral("pw"), QStringLiteral("Ann"), {}, {}, true});
        Form2 persons; // open behind the editor: a save rebuilds its list
        persons.Form_Load();
        QCOMPARE(persons.ListView1->rowCount(), 1);
        data.db().insertPerson(
            {QStringLiteral("E2"), QStringLiteral("pw"), QStringLiteral("Bo"), {}, {}, false});

        const int result = runEditor(QStringLiteral("GONE"), [](Form3* editor) {
            for (QLineEdit* box :
                 {editor->Text1, editor->Text2, editor->Text3, editor->Text4, editor->Text5, editor->Text6})
                QVERIFY(box->text().isEmpty());
            QVERIFY(editor->Option2->isChecked());
            type(editor,
                 {QStringLiteral("E1"), QStringLiteral("x"), QStringLiteral("x"), QStringLiteral("Zed")});
            editor->Option1->setChecked(true);
            editor->PushButton1->click();
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QVERIFY(boxes.shown().empty());
        QCOMPARE(data.personCount(), 2);
        verifyStored(data.db(), {QStringLiteral("E1"), QStringLiteral("pw"), {}, QStringLiteral("Ann")},
                     true);
        QCOMPARE(persons.ListView1->rowCount(), 2);
    }

    void changedNumberLeavesRecordsUnderTheOldOne() {
        PersonsDatabase data;
        TestSupport::MessageRecorder boxes;
        data.db().insertPerson(
            {QStringLiteral("E1"), QStringLiteral("pw"), QStringLiteral("Ann"), {}, {}, false});
        data.db().punchIn(QStringLiteral("E1"), QDate(2024, 3, 5), QStringLiteral("09:00 AM"));
        QCOMPARE(saveTyped(QStringLiteral("e1"), {QStringLiteral("E9"), QStringLiteral("pw"),
                                                  QStringLiteral("pw"), QStringLiteral("Ann")}),
                 int(QDialog::Accepted));
        QVERIFY(boxes.shown().empty());
        QVERIFY(data.db().personByNumber(QStringLiteral("E1")).eof());
        QVERIFY(!data.db().personByNumber(QStringLiteral("E9")).eof());
        QCOMPARE(data.recordCount(QStringLiteral("E1")), 1);
        QCOMPARE(data.recordCount(QStringLiteral("E9")), 0);
    }

    void numberInUseIsRefusedWithItsNumber() {
        PersonsDatabase data;
        TestSupport::MessageRecorder boxes;
        data.db().insertPerson(
            {QStringLiteral("Ä1"), QStringLiteral("pa"), QStringLiteral("Ann"), {}, {}, true});
        data.db().insertPerson(
            {QStringLiteral("B2"), QStringLiteral("pb"), QStringLiteral("Bo"), {}, {}, false});
        setFirstTime(QStringLiteral("1"));

        // A new person with another person's number, in other letter case.
        QCOMPARE(saveTyped(QString(), {QStringLiteral("ä1"), QStringLiteral("x"), QStringLiteral("x"),
                                       QStringLiteral("Intruder")}),
                 int(QDialog::Accepted));
        QCOMPARE(boxes.errorSteps(), std::vector<int>{128});
        QVERIFY(boxes.errors().at(0).text.contains(QStringLiteral("\"ä1\" is already in use")));
        QVERIFY(boxes.errors().at(0).text.contains(QStringLiteral("Form3.PushButton1_Click")));

        // An existing person renumbered onto another's number.
        boxes.clear();
        QCOMPARE(saveTyped(QStringLiteral("B2"), {QStringLiteral("Ä1"), QStringLiteral("x"),
                                                  QStringLiteral("x"), QStringLiteral("Changed")}),
                 int(QDialog::Accepted));
        QCOMPARE(boxes.errorSteps(), std::vector<int>{126});
        QVERIFY(boxes.errors().at(0).text.contains(QStringLiteral("\"Ä1\" is already in use")));

        QCOMPARE(data.personCount(), 2);
        verifyStored(data.db(), {QStringLiteral("Ä1"), QStringLiteral("pa"), {}, QStringLiteral("Ann")},
                     true);
        verifyStored(data.db(), {QStringLiteral("B2"), QStringLiteral("pb"), {}, QStringLiteral("Bo")},
                     false);
    }

    void failingDatabaseIsReportedStepByStep() {
        PersonsDatabase data;
        TestSupport::MessageRecorder boxes;
        data.db().insertPerson(
            {QStringLiteral("E1"), QStringLiteral("pw"), QStringLiteral("Ann"), {}, {}, true});

        // Another program holds the write lock: the insert fails, nothing is half-written.
        {
            data.db().setBusyTimeout(50);
            SQLite::Database other(data.path().toStdString(), SQLite::OPEN_READWRITE);
            other.exec("BEGIN IMMEDIATE");
            QCOMPARE(saveTyped(QString(), {QStringLiteral("E2"), QStringLiteral("pw"), QStringLiteral("pw"),
                                           QStringLiteral("Bo")}),
                     int(QDialog::Accepted));
            QCOMPARE(boxes.errorSteps(), std::vector<int>{128});
            other.exec("ROLLBACK");
        }
        QCOMPARE(data.personCount(), 1);

        // A closed connection: loading reports the read and leaves the layout defaults.
        data.db().close();
        boxes.clear();
        const int result = runEditor(QStringLiteral("E1"), [](Form3* editor) {
            QVERIFY(editor->Text1->text().isEmpty());
            QVERIFY(editor->Option2->isChecked());
            editor->PushButton2->click();
        });
        QCOMPARE(result, int(QDialog::Rejected));
        QCOMPARE(boxes.errorSteps(), std::vector<int>{102});
        QVERIFY(boxes.errors().at(0).text.contains(QStringLiteral("Form3.loadEmployeeInfo ")));

        // Saving on it reports the load, the update and the refresh of the open persons window, then closes.
        Form2 persons;
        boxes.clear();
        QCOMPARE(saveTyped(QStringLiteral("E1"), {QStringLiteral("E1"), QStringLiteral("pw"),
                                                  QStringLiteral("pw"), QStringLiteral("Ann")}),
                 int(QDialog::Accepted));
        QCOMPARE(boxes.errorSteps(), (std::vector<int>{102, 126, 132}));
    }
};

TALLYCLOCK_TEST(PersonEditorTest)
#include "PersonEditorTest.moc"
