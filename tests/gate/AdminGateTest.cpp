#include "reports/ReportsScene.h"

#include "persons/PersonEditor.h"
#include "persons/PersonsWindow.h"
#include "platform/PushButton.h"

#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

using TestSupport::control;

namespace {

// Watches for modal windows while it lives: records the class of each one that shows, lets
// `inspect` look at it, then closes it as Esc would.
class ModalLog {
public:
    explicit ModalLog(std::function<void(QWidget*)> inspect = {}) : m_inspect(std::move(inspect)) {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
        m_timer.start(10);
    }
    QStringList shown() const { return m_shown; }

private:
    void poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible() || modal->property("seenByModalLog").toBool())
            return;
        modal->setProperty("seenByModalLog", true);
        m_shown << QString::fromLatin1(modal->metaObject()->className());
        if (m_inspect)
            m_inspect(modal);
        if (auto* dialog = qobject_cast<QDialog*>(modal); dialog && dialog->isVisible())
            dialog->reject();
    }

    std::function<void(QWidget*)> m_inspect;
    QTimer m_timer;
    QStringList m_shown;
};

const QString kFirstAdmin = QStringLiteral(
    "The software must have at least 1 Admin employee.\r\n\rPlease add new one to prevent standard user "
    "from viewing Reports and Employee Lists.");

class GateScene : public ReportsScene {
public:
    void type(const QString& number, const QString& password) {
        control<QLineEdit>(*main, "numberBox")->setText(number);
        control<QLineEdit>(*main, "passwordBox")->setText(password);
    }
    bool typedTextsKept(const QString& number, const QString& password) const {
        return control<QLineEdit>(*main, "numberBox")->text() == number &&
               control<QLineEdit>(*main, "passwordBox")->text() == password;
    }
    // Presses one of the two gate buttons; returns the windows that showed, in order.
    QStringList press(PushButton* button, std::function<void(QWidget*)> inspect = {}) {
        ModalLog log(std::move(inspect));
        button->click();
        QTest::qWait(50); // a window that would open late still gets seen
        return log.shown();
    }
};

} // namespace

class AdminGateTest : public QObject {
    Q_OBJECT
private slots:
    void noAdministrator() {
        GateScene scene;
        scene.addPerson(QStringLiteral("05"), QStringLiteral("Sam"), false, QStringLiteral("pw"));
        scene.type(QStringLiteral("05"), QStringLiteral("pw"));
        TestSupport::MessageRecorder boxes;

        QString editorNumber = QStringLiteral("unset");
        bool yesPreselected = false;
        const QStringList persons =
            scene.press(control<PushButton>(*scene.main, "personsButton"), [&](QWidget* modal) {
                if (auto* editor = qobject_cast<PersonEditor*>(modal)) {
                    editorNumber = editor->editedNumber;
                    yesPreselected = control<QRadioButton>(*editor, "adminYesOption")->isChecked() &&
                                     !control<QRadioButton>(*editor, "adminNoOption")->isChecked();
                }
            });
        QCOMPARE(persons, (QStringList{"PersonEditor", "PersonsWindow"}));
        QCOMPARE(editorNumber, QString());
        QVERIFY(yesPreselected);
        QCOMPARE(boxes.texts(), std::vector<QString>{kFirstAdmin});
        // The persons window was shown: nothing typed stays behind.
        QVERIFY(scene.typedTextsKept(QString(), QString()));
        scene.type(QStringLiteral("05"), QStringLiteral("pw"));

        // The editor was cancelled: there is still no administrator.
        boxes.clear();
        QCOMPARE(scene.press(control<PushButton>(*scene.main, "reportsButton")), QStringList());
        QCOMPARE(boxes.texts(), std::vector<QString>{QStringLiteral(
                                    "You must add an Admin Employee to access this function.")});
        QVERIFY(scene.typedTextsKept(QStringLiteral("05"), QString()));
        QCOMPARE(scene.press(control<PushButton>(*scene.main, "personsButton")),
                 (QStringList{"PersonEditor", "PersonsWindow"}));
        QVERIFY(boxes.errors().empty());
        QVERIFY(scene.typedTextsKept(QString(), QString()));
    }

    void refusals_data() {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("personsMessage");
        QTest::addColumn<QString>("reportsMessage");
        const QString invalid = QStringLiteral("Invalid Person Number or Password");
        const QString invalidReports =
            QStringLiteral("Invalid Person Number or Password. Please use Administrator login.");
        QTest::newRow("unknown number") << "99"
                                        << "secret" << invalid << invalidReports;
        QTest::newRow("wrong password") << "adm"
                                        << "wrong" << invalid << invalidReports;
        QTest::newRow("empty texts") << ""
                                     << "" << invalid << invalidReports;
        QTest::newRow("blank around the number") << " adm"
                                                 << "secret" << invalid << invalidReports;
        QTest::newRow("quote in the number") << "x' OR '1'='1"
                                             << "x' OR '1'='1" << invalid << invalidReports;
        QTest::newRow("standard person") << "05"
                                         << "pw"
                                         << "User must have Admin access."
                                         << "User must have Administrator access.";
        QTest::newRow("IsAdmin 2") << "06"
                                   << "pw"
                                   << "User must have Admin access."
                                   << "User must have Administrator access.";
    }
    void refusals() {
        QFETCH(QString, number);
        QFETCH(QString, password);
        QFETCH(QString, personsMessage);
        QFETCH(QString, reportsMessage);
        GateScene scene;
        scene.addPerson(QStringLiteral("adm"), QStringLiteral("Ada"), true, QStringLiteral("secret"));
        scene.addPerson(QStringLiteral("05"), QStringLiteral("Sam"), false, QStringLiteral("pw"));
        scene.addPerson(QStringLiteral("06"), QStringLiteral("Two"), false, QStringLiteral("pw"));
        {
            SQLite::Database raw(scene.common.database().toStdString(), SQLite::OPEN_READWRITE);
            raw.exec("UPDATE tblEmployees SET IsAdmin = 2 WHERE EmployeeNo = '06'");
        }
        // The password never stays for the next person at the terminal; the number stays only when it
        // matched nobody, so that a typo can be mended.
        const QString numberLeft = personsMessage.startsWith(QLatin1String("User")) ? QString() : number;
        TestSupport::MessageRecorder boxes;
        for (const char* button : {"personsButton", "reportsButton"}) {
            scene.type(number, password);
            QCOMPARE(scene.press(control<PushButton>(*scene.main, button)), QStringList());
            QVERIFY(scene.typedTextsKept(numberLeft, QString()));
        }
        QCOMPARE(boxes.texts(), (std::vector<QString>{personsMessage, reportsMessage}));
        QCOMPARE(boxes.shown().at(0).kind, MessageBox::Kind::Ok);
    }

    void administratorOpensTheWindows_data() {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("password");
        QTest::newRow("as stored") << "adm"
                                   << "Secret";
        QTest::newRow("other letter case") << "ADM"
                                           << "sECRET";
    }
    void administratorOpensTheWindows() {
        QFETCH(QString, number);
        QFETCH(QString, password);
        GateScene scene;
        scene.addPerson(QStringLiteral("adm"), QStringLiteral("Ada"), true, QStringLiteral("Secret"));
        TestSupport::MessageRecorder boxes;
        // While the window is open the texts are still typed; once it closes, both are cleared.
        for (PushButton* button : {control<PushButton>(*scene.main, "personsButton"),
                                   control<PushButton>(*scene.main, "reportsButton")}) {
            scene.type(number, password);
            bool typedWhileOpen = false;
            const QStringList shown = scene.press(
                button, [&](QWidget*) { typedWhileOpen = scene.typedTextsKept(number, password); });
            QCOMPARE(shown, QStringList{button == control<PushButton>(*scene.main, "personsButton")
                                            ? "PersonsWindow"
                                            : "ReportsWindow"});
            QVERIFY(typedWhileOpen);
            QVERIFY(scene.typedTextsKept(QString(), QString()));
        }
        QVERIFY(boxes.shown().empty());
    }

    // A number refused after too many wrong passwords opens nothing, even with the right password,
    // and keeps the number like any refusal.
    void guessingIsRefused() {
        GateScene scene;
        scene.addPerson(QStringLiteral("adm"), QStringLiteral("Ada"), true, QStringLiteral("secret"));
        TestSupport::MessageRecorder boxes;
        SystemClock::setFixed(QDateTime(QDate(2026, 3, 5), QTime(14, 0)));
        for (int i = 0; i < 5; ++i) {
            scene.type(QStringLiteral("ADM"), QStringLiteral("guess"));
            QCOMPARE(scene.press(i % 2 ? control<PushButton>(*scene.main, "personsButton")
                                       : control<PushButton>(*scene.main, "reportsButton")),
                     QStringList());
        }
        boxes.clear();
        for (const char* button : {"personsButton", "reportsButton"}) {
            scene.type(QStringLiteral("adm"), QStringLiteral("secret"));
            QCOMPARE(scene.press(control<PushButton>(*scene.main, button)), QStringList());
        }
        const QString refused =
            QStringLiteral("Too many wrong passwords for this person number. It is refused "
                           "until 02:10 PM; please try again then.");
        QCOMPARE(boxes.texts(), (std::vector<QString>{refused, refused}));
        QVERIFY(scene.typedTextsKept(QStringLiteral("adm"), QString()));
        SystemClock::setFixed(QDateTime(QDate(2026, 3, 5), QTime(14, 10)));
        scene.type(QStringLiteral("adm"), QStringLiteral("secret"));
        QCOMPARE(scene.press(control<PushButton>(*scene.main, "reportsButton")),
                 QStringList{"ReportsWindow"});
    }

    // A look-up that fails is no "no administrator" and no match: nothing opens.
    void unreadableDatabaseOpensNoWindow() {
        GateScene scene;
        scene.addPerson(QStringLiteral("adm"), QStringLiteral("Ada"), true, QStringLiteral("secret"));
        scene.type(QStringLiteral("adm"), QStringLiteral("secret"));
        scene.db().close();
        TestSupport::MessageRecorder boxes;
        QCOMPARE(scene.press(control<PushButton>(*scene.main, "personsButton")), QStringList());
        QCOMPARE(boxes.errorSteps(), (std::vector<int>{102, 132}));
        QVERIFY(boxes.errors().at(0).text.contains(QStringLiteral("Form1.PushButton2_Click ")));
        boxes.clear();
        QCOMPARE(scene.press(control<PushButton>(*scene.main, "reportsButton")), QStringList());
        QCOMPARE(boxes.errorSteps(), std::vector<int>{102});
        QVERIFY(boxes.errors().at(0).text.contains(QStringLiteral("Form1.PushButton3_Click ")));
        QVERIFY(scene.typedTextsKept(QStringLiteral("adm"), QString()));
    }

    // The persons button rebuilds today's list whatever happened; the reports button never does.
    void onlyThePersonsButtonRefreshesToday() {
        GateScene scene;
        scene.addPerson(QStringLiteral("adm"), QStringLiteral("Ada"), true, QStringLiteral("secret"));
        scene.type(QStringLiteral("adm"), QStringLiteral("secret"));
        TestSupport::MessageRecorder boxes;
        scene.addRecord(QStringLiteral("07"), ReportsScene::today(), QStringLiteral("08:00 AM"));
        scene.press(control<PushButton>(*scene.main, "reportsButton"));
        QCOMPARE(control<ListView>(*scene.main, "todayList")->rowCount(), 0);
        scene.type(QStringLiteral("nobody"), QString());
        scene.press(control<PushButton>(*scene.main, "personsButton"));
        QCOMPARE(ReportsScene::column(control<ListView>(*scene.main, "todayList"), 0), QStringList{"07"});
        QVERIFY(boxes.errors().empty());
    }

    // A record deleted in the reports window the gate opened leaves today's list at once.
    void deletionInTheReportsWindowRefreshesToday() {
        GateScene scene;
        scene.addPerson(QStringLiteral("adm"), QStringLiteral("Ada"), true, QStringLiteral("secret"));
        scene.type(QStringLiteral("adm"), QStringLiteral("secret"));
        scene.addRecord(QStringLiteral("07"), ReportsScene::today(), QStringLiteral("08:00 AM"));
        scene.addRecord(QStringLiteral("08"), ReportsScene::today(), QStringLiteral("09:00 AM"));
        scene.main->listLogins();
        TestSupport::MessageRecorder boxes;
        QStringList listedInside;
        const QStringList shown =
            scene.press(control<PushButton>(*scene.main, "reportsButton"), [&](QWidget* modal) {
                auto* reports = qobject_cast<ReportsWindow*>(modal);
                QVERIFY(reports);
                control<ListView>(*reports, "resultsList")->selectRow(0);
                control<PushButton>(*reports, "deleteButton")->click();
                listedInside = ReportsScene::column(control<ListView>(*scene.main, "todayList"), 0);
            });
        QCOMPARE(shown, QStringList{"ReportsWindow"});
        QCOMPARE(listedInside, QStringList{"08"});
        QVERIFY(boxes.shown().empty());
    }
};

TALLYCLOCK_TEST(AdminGateTest)
#include "AdminGateTest.moc"
#include "platform/ListView.h"
