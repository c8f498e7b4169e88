#include "persons/PersonEditor.h"
#include "PersonsFixture.h"
#include "core/ErrorTrap.h"
#include "credentials/Login.h"
#include "credentials/PasswordHash.h"
#include "data/SettingsStore.h"
#include "persons/PersonsWindow.h"
#include "platform/ListView.h"
#include "platform/PushButton.h"
#include "platform/SystemClock.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <SQLiteCpp/SQLiteCpp.h>

using TestSupport::control;

using namespace Qt::Literals::StringLiterals;

namespace {

struct Typed {
    QString number{}, password{}, retype{}, name{}, department{}, position{};
};

void type(PersonEditor* editor, const Typed& t) {
    control<QLineEdit>(*editor, "numberBox")->setText(t.number);
    control<QLineEdit>(*editor, "passwordBox")->setText(t.password);
    control<QLineEdit>(*editor, "retypeBox")->setText(t.retype);
    control<QLineEdit>(*editor, "nameBox")->setText(t.name);
    control<QLineEdit>(*editor, "departmentBox")->setText(t.department);
    control<QLineEdit>(*editor, "positionBox")->setText(t.position);
}

// Opens the editor for `number` ("" = new person), lets `act` work on it, and returns exec()'s result.
// A persons window given as `listening` rebuilds its list on a save, as it does for its own editors.
int runEditor(const QString& number, std::function<void(PersonEditor*)> act, bool presetYes = false,
              PersonsWindow* listening = nullptr) {
    PersonEditor editor;
    if (listening)
        ErrorTrap::relay(&editor, &PersonEditor::personsChanged, listening, &PersonsWindow::listEmployees);
    editor.editedNumber = number;
    if (presetYes)
        control<QRadioButton>(editor, "adminYesOption")->setChecked(true);
    onModal<PersonEditor>(std::move(act));
    return editor.showModal();
}

int saveTyped(const QString& number, const Typed& t, bool admin = false, PersonsWindow* listening = nullptr) {
    return runEditor(
        number,
        [&](PersonEditor* editor) {
            type(editor, t);
            (admin ? control<QRadioButton>(*editor, "adminYesOption")
                   : control<QRadioButton>(*editor, "adminNoOption"))
                ->setChecked(true);
            control<PushButton>(*editor, "saveButton")->click();
        },
        false, listening);
}

QString firstTime() {
    return SettingsStore::GetSetting(SettingsStore::kApplication, SettingsStore::kSection, u"Is First Time"_s,
                                     u"unset"_s);
}
void setFirstTime(const QString& value) {
    SettingsStore::SaveSetting(SettingsStore::kApplication, SettingsStore::kSection, u"Is First Time"_s,
                               value);
}

void verifyStored(AttendanceDatabase& db, const Typed& t, bool admin) {
    RecordSet rs = db.personByNumber(t.number);
    QVERIFY2(!rs.eof(), qPrintable(t.number.left(40)));
    QCOMPARE(rs.text(u"EmployeeNo"_s), t.number);
    // Only a hash is stored, and it is the typed password's.
    QVERIFY(PasswordHash::isHash(rs.text(u"Password"_s)));
    QVERIFY(PasswordHash::verify(rs.text(u"Password"_s), t.password));
    QCOMPARE(rs.text(u"Name"_s), t.name);
    QCOMPARE(rs.text(u"Department"_s), t.department);
    QCOMPARE(rs.text(u"Position"_s), t.position);
    QCOMPARE(rs.text(u"IsAdmin"_s), admin ? u"1"_s : u"0"_s);
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
            {{}, u"You forgot to input person number."_s, "numberBox"},
            {{u"   "_s}, u"You forgot to input person number."_s, "numberBox"},
            {{u"E1"_s, u"  "_s, u"  "_s}, u"You forgot to input password."_s, "passwordBox"},
            // The retype box is empty too, but the name comes first.
            {{u"E1"_s, u"pw"_s, QString(), u"   "_s}, u"You forgot to input name."_s, "nameBox"},
            {{u"E1"_s, u"pw"_s, QString(), u"Ann"_s}, u"Password not retyped properly."_s, "retypeBox"},
            {{u"E1"_s, u"pw"_s, u"PW"_s, u"Ann"_s}, u"Password not retyped properly."_s, "retypeBox"},
            {{u"E1"_s, u"pw"_s, u"pw "_s, u"Ann"_s}, u"Password not retyped properly."_s, "retypeBox"},
        };
        const int result = runEditor(QString(), [&](PersonEditor* editor) {
            for (const Case& c : cases) {
                boxes.clear();
                type(editor, c.typed);
                control<PushButton>(*editor, "saveButton")->click();
                QCOMPARE(boxes.texts(), std::vector<QString>{c.message});
                QCOMPARE(boxes.shown().at(0).kind, MessageBox::Kind::Ok);
                QVERIFY(editor->isVisible());
                QCOMPARE(editor->focusWidget()->objectName(), QString::fromLatin1(c.focus));
                // A refused save keeps every text as typed.
                QCOMPARE(control<QLineEdit>(*editor, "nameBox")->text(), c.typed.name);
            }
            QCOMPARE(data.personCount(), 0);
            // Spaces around the number pass the check and are stored with it.
            boxes.clear();
            type(editor, {u"  E1  "_s, u"pw"_s, u"pw"_s, u"Ann"_s});
            control<PushButton>(*editor, "saveButton")->click();
            QVERIFY(boxes.shown().empty());
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QVERIFY(data.db().personByNumber(u"E1"_s).eof());
        verifyStored(data.db(), {u"  E1  "_s, u"pw"_s, QString(), u"Ann"_s}, false);
    }

    void hostileTextsRoundTripThroughInsertAndUpdate() {
        PersonsDatabase data;
        TestSupport::MessageRecorder boxes;
        const Typed bystander{u"B1"_s, u"secret"_s, u"secret"_s, u"Bystander"_s, u"Dept"_s, u"Pos"_s};
        QCOMPARE(saveTyped(QString(), bystander), int(QDialog::Accepted));

        const QString hostile[] = {
            u"x' OR '1'='1"_s,
            u"Robert'); DROP TABLE tblEmployees;--"_s,
            u"\"double\" and 'single' quotes"_s,
            u"  spaced out  "_s,
            QString(10000, QLatin1Char('w')),
            u"Łódź Ærøskøbing Ñandú 東京"_s,
            u"%_ LIKE * ? [IsAdmin]=1"_s,
        };
        for (const QString& text : hostile) {
            const Typed t{text, text, text, text + u" name"_s, text, text};
            QCOMPARE(saveTyped(QString(), t, true), int(QDialog::Accepted));
            verifyStored(data.db(), t, true);
        }
        QCOMPARE(data.personCount(), 1 + int(std::size(hostile)));

        // Each hostile person is edited in turn: the editor loads it back and the update touches it alone.
        for (const QString& text : hostile) {
            const Typed changed{text + u"'2"_s, u"p'w"_s, u"p'w"_s, u"O'Hara"_s, QString(), u"' OR ''='"_s};
            const int result = runEditor(text, [&](PersonEditor* editor) {
                QCOMPARE(control<QLineEdit>(*editor, "numberBox")->text(), text);
                QVERIFY(control<QLineEdit>(*editor, "passwordBox")->text().isEmpty() &&
                        control<QLineEdit>(*editor, "retypeBox")->text().isEmpty());
                QCOMPARE(control<QLineEdit>(*editor, "nameBox")->text(), text + u" name"_s);
                QVERIFY(control<QRadioButton>(*editor, "adminYesOption")->isChecked());
                type(editor, changed);
                control<QRadioButton>(*editor, "adminNoOption")->setChecked(true);
                control<PushButton>(*editor, "saveButton")->click();
            });
            QCOMPARE(result, int(QDialog::Accepted));
            verifyStored(data.db(), changed, false);
            QVERIFY(data.db().personByNumber(text).eof());
        }
        QCOMPARE(data.personCount(), 1 + int(std::size(hostile)));
        verifyStored(data.db(), bystander, false);
        QVERIFY(boxes.shown().empty());
    }

    // A person being changed opens with empty password boxes: left empty they keep the password,
    // typed they change it, and a password typed in only one of them is refused.
    void passwordBoxesOnUpdate_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("retype");
        QTest::addColumn<QString>("message"); // "" = saved
        QTest::addColumn<QString>("stored");
        QTest::newRow("both empty keep") << QString() << QString() << QString() << u"old"_s;
        QTest::newRow("both typed change") << u"new"_s << u"new"_s << QString() << u"new"_s;
        QTest::newRow("retype missing")
            << u"new"_s << QString() << u"Password not retyped properly."_s << u"old"_s;
        QTest::newRow("password missing")
            << QString() << u"new"_s << u"You forgot to input password."_s << u"old"_s;
        QTest::newRow("blanks are no password")
            << u"  "_s << u"  "_s << u"You forgot to input password."_s << u"old"_s;
    }
    void passwordBoxesOnUpdate() {
        QFETCH(QString, password);
        QFETCH(QString, retype);
        QFETCH(QString, message);
        QFETCH(QString, stored);
        PersonsDatabase data;
        TestSupport::MessageRecorder boxes;
        data.db().insertPerson({u"E1"_s, u"old"_s, u"Ann"_s, {}, {}, false});
        const int result = runEditor(u"E1"_s, [&](PersonEditor* editor) {
            QVERIFY(control<QLineEdit>(*editor, "passwordBox")->text().isEmpty() &&
                    control<QLineEdit>(*editor, "retypeBox")->text().isEmpty());
            QVERIFY(!control<QLineEdit>(*editor, "passwordBox")->placeholderText().isEmpty());
            QCOMPARE(control<QLineEdit>(*editor, "nameBox")->text(), u"Ann"_s);
            control<QLineEdit>(*editor, "passwordBox")->setText(password);
            control<QLineEdit>(*editor, "retypeBox")->setText(retype);
            control<QLineEdit>(*editor, "nameBox")->setText(u"Anna"_s);
            control<PushButton>(*editor, "saveButton")->click();
        });
        QCOMPARE(boxes.texts(), message.isEmpty() ? std::vector<QString>{} : std::vector<QString>{message});
        QCOMPARE(result, message.isEmpty() ? int(QDialog::Accepted) : -1);
        verifyStored(data.db(), {u"E1"_s, stored, {}, message.isEmpty() ? u"Anna"_s : u"Ann"_s}, false);
    }

    // A number refused after wrong passwords shows a box to lift the refusal; ticked, the save lets
    // the person in again at once, left alone the refusal stays.
    void administratorLiftsTheRefusal_data() {
        QTest::addColumn<bool>("lift");
        QTest::newRow("lifted") << true;
        QTest::newRow("left alone") << false;
    }
    void administratorLiftsTheRefusal() {
        QFETCH(bool, lift);
        PersonsDatabase data;
        TestSupport::MessageRecorder boxes;
        data.db().insertPerson({u"E1"_s, u"pw"_s, u"Ann"_s, {}, {}, false});
        runEditor(u"E1"_s, [](PersonEditor* editor) {
            QVERIFY(control<QCheckBox>(*editor, "unlockCheck")->isHidden());
            control<PushButton>(*editor, "cancelButton")->click();
        });
        SystemClock::setFixed(QDateTime(QDate(2026, 3, 5), QTime(9, 0)));
        for (int i = 0; i < 5; ++i)
            Login::check(data.db(), u"E1"_s, u"guess"_s);
        QCOMPARE(Login::check(data.db(), u"E1"_s, u"pw"_s).outcome, Login::Outcome::Refused);
        runEditor(u"e1"_s, [&](PersonEditor* editor) {
            QVERIFY(!control<QCheckBox>(*editor, "unlockCheck")->isHidden());
            QVERIFY(control<QCheckBox>(*editor, "unlockCheck")->toolTip().contains(u"09:10 AM"_s));
            control<QCheckBox>(*editor, "unlockCheck")->setChecked(lift);
            control<PushButton>(*editor, "saveButton")->click();
        });
        QCOMPARE(Login::check(data.db(), u"E1"_s, u"pw"_s).outcome,
                 lift ? Login::Outcome::Match : Login::Outcome::Refused);
        SystemClock::clearFixed();
        QVERIFY(boxes.shown().empty());
    }

    // A new person has no password to keep.
    void newPersonNeedsAPassword() {
        PersonsDatabase data;
        TestSupport::MessageRecorder boxes;
        runEditor(QString(), [&](PersonEditor* editor) {
            QVERIFY(control<QLineEdit>(*editor, "passwordBox")->placeholderText().isEmpty());
            type(editor, {u"E1"_s, QString(), QString(), u"Ann"_s});
            control<PushButton>(*editor, "saveButton")->click();
        });
        QCOMPARE(boxes.texts(), std::vector<QString>{u"You forgot to input password."_s});
        QCOMPARE(data.personCount(), 0);
    }

    void insertStoresFirstTimeAndKeepsTheCallersYes() {
        PersonsDatabase data;
        TestSupport::MessageRecorder boxes;
        setFirstTime(u"1"_s);
        const int inserted = runEditor(
            QString(),
            [](PersonEditor* editor) {
                QVERIFY(control<QRadioButton>(*editor, "adminYesOption")
                            ->isChecked()); // the caller's choice survives the load
                type(editor, {u"A1"_s, u"pw"_s, u"pw"_s, u"Admin"_s});
                control<PushButton>(*editor, "saveButton")->click();
            },
            true);
        QCOMPARE(inserted, int(QDialog::Accepted));
        verifyStored(data.db(), {u"A1"_s, u"pw"_s, {}, u"Admin"_s}, true);
        QCOMPARE(firstTime(), u"0"_s);

        setFirstTime(u"1"_s);
        QCOMPARE(saveTyped(u"A1"_s, {u"A1"_s, u"pw"_s, u"pw"_s, u"Anna"_s}), int(QDialog::Accepted));
        QCOMPARE(firstTime(), u"1"_s);
        // Esc cancels and writes nothing at all.
        QCOMPARE(runEditor(QString(),
                           [](PersonEditor* editor) {
                               type(editor, {u"E2"_s, u"pw"_s, u"pw"_s, u"Bo"_s});
                               QTest::keyClick(control<QLineEdit>(*editor, "nameBox"), Qt::Key_Escape);
                           }),
                 int(QDialog::Rejected));
        QCOMPARE(firstTime(), u"1"_s);
        QCOMPARE(data.personCount(), 1);
        QVERIFY(boxes.shown().empty());
    }

    void editingAVanishedPersonUpdatesNothing() {
        PersonsDatabase data;
        TestSupport::MessageRecorder boxes;
        data.db().insertPerson({u"E1"_s, u"pw"_s, u"Ann"_s, {}, {}, true});
        PersonsWindow persons; // open behind the editor: a save rebuilds its list
        persons.start();
        QCOMPARE(control<ListView>(persons, "personsList")->rowCount(), 1);
        data.db().insertPerson({u"E2"_s, u"pw"_s, u"Bo"_s, {}, {}, false});

        const int result = runEditor(
            u"GONE"_s,
            [](PersonEditor* editor) {
                for (QLineEdit* box :
                     {control<QLineEdit>(*editor, "numberBox"), control<QLineEdit>(*editor, "passwordBox"),
                      control<QLineEdit>(*editor, "nameBox"), control<QLineEdit>(*editor, "departmentBox"),
                      control<QLineEdit>(*editor, "positionBox"), control<QLineEdit>(*editor, "retypeBox")})
                    QVERIFY(box->text().isEmpty());
                QVERIFY(control<QRadioButton>(*editor, "adminNoOption")->isChecked());
                type(editor, {u"E1"_s, u"x"_s, u"x"_s, u"Zed"_s});
                control<QRadioButton>(*editor, "adminYesOption")->setChecked(true);
                control<PushButton>(*editor, "saveButton")->click();
            },
            false, &persons);
        QCOMPARE(result, int(QDialog::Accepted));
        QVERIFY(boxes.shown().empty());
        QCOMPARE(data.personCount(), 2);
        verifyStored(data.db(), {u"E1"_s, u"pw"_s, {}, u"Ann"_s}, true);
        QCOMPARE(control<ListView>(persons, "personsList")->rowCount(), 2);
    }

    void numberInUseIsRefusedAndRenumberingKeepsRecords() {
        PersonsDatabase data;
        TestSupport::MessageRecorder boxes;
        data.db().insertPerson({u"Ä1"_s, u"pa"_s, u"Ann"_s, {}, {}, true});
        data.db().insertPerson({u"B2"_s, u"pb"_s, u"Bo"_s, {}, {}, false});
        setFirstTime(u"1"_s);

        // A new person with another person's number, in other letter case.
        QCOMPARE(saveTyped(QString(), {u"ä1"_s, u"x"_s, u"x"_s, u"Intruder"_s}), int(QDialog::Accepted));
        QCOMPARE(boxes.errorSteps(), std::vector<int>{128});
        QVERIFY(boxes.errors().at(0).text.contains(u"\"ä1\" is already in use"_s));
        QVERIFY(boxes.errors().at(0).text.contains(u"Form3.PushButton1_Click"_s));

        // An existing person renumbered onto another's number.
        boxes.clear();
        QCOMPARE(saveTyped(u"B2"_s, {u"Ä1"_s, u"x"_s, u"x"_s, u"Changed"_s}), int(QDialog::Accepted));
        QCOMPARE(boxes.errorSteps(), std::vector<int>{126});
        QVERIFY(boxes.errors().at(0).text.contains(u"\"Ä1\" is already in use"_s));

        QCOMPARE(data.personCount(), 2);
        verifyStored(data.db(), {u"Ä1"_s, u"pa"_s, {}, u"Ann"_s}, true);
        verifyStored(data.db(), {u"B2"_s, u"pb"_s, {}, u"Bo"_s}, false);

        // A free number is taken; the attendance records stay under the old one.
        data.db().punchIn(u"B2"_s, QDate(2024, 3, 5), u"09:00 AM"_s);
        boxes.clear();
        QCOMPARE(saveTyped(u"b2"_s, {u"E9"_s, u"pb"_s, u"pb"_s, u"Bo"_s}), int(QDialog::Accepted));
        QVERIFY(boxes.shown().empty());
        QVERIFY(data.db().personByNumber(u"B2"_s).eof());
        QCOMPARE(data.recordCount(u"B2"_s), 1);
        QCOMPARE(data.recordCount(u"E9"_s), 0);
    }

    void failingDatabaseIsReportedStepByStep() {
        PersonsDatabase data;
        TestSupport::MessageRecorder boxes;
        data.db().insertPerson({u"E1"_s, u"pw"_s, u"Ann"_s, {}, {}, true});

        // Another program holds the write lock: the insert fails, nothing is half-written.
        {
            data.db().setBusyTimeout(50);
            SQLite::Database other(data.path().toStdString(), SQLite::OPEN_READWRITE);
            other.exec("BEGIN IMMEDIATE");
            QCOMPARE(saveTyped(QString(), {u"E2"_s, u"pw"_s, u"pw"_s, u"Bo"_s}), int(QDialog::Accepted));
            QCOMPARE(boxes.errorSteps(), std::vector<int>{128});
            other.exec("ROLLBACK");
        }
        QCOMPARE(data.personCount(), 1);

        // A closed connection: loading reports the read and leaves the layout defaults.
        data.db().close();
        boxes.clear();
        const int result = runEditor(u"E1"_s, [](PersonEditor* editor) {
            QVERIFY(control<QLineEdit>(*editor, "numberBox")->text().isEmpty());
            QVERIFY(control<QRadioButton>(*editor, "adminNoOption")->isChecked());
            control<PushButton>(*editor, "cancelButton")->click();
        });
        QCOMPARE(result, int(QDialog::Rejected));
        QCOMPARE(boxes.errorSteps(), std::vector<int>{102});
        QVERIFY(boxes.errors().at(0).text.contains(u"Form3.loadEmployeeInfo "_s));

        // Saving on it reports the load, the update and the refresh of the open persons window, then closes.
        PersonsWindow persons;
        boxes.clear();
        QCOMPARE(saveTyped(u"E1"_s, {u"E1"_s, u"pw"_s, u"pw"_s, u"Ann"_s}, false, &persons),
                 int(QDialog::Accepted));
        // The persons window's failure to rebuild its list is the save's step 132.
        QCOMPARE(boxes.errorSteps(), (std::vector<int>{102, 126, 132}));
        QVERIFY(boxes.errors().at(2).text.contains(u"Form3.PushButton1_Click "_s));
    }
};

TALLYCLOCK_TEST(PersonEditorTest)
#include "PersonEditorTest.moc"
