#include "common/TestSupport.h"
#include "core/MainWindow.h"
#include "platform/ListView.h"
#include "platform/PushButton.h"

#include <QAccessible>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

using TestSupport::control;

namespace {
QString spokenName(QWidget* widget) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(QAccessible::Name) : QString();
}
} // namespace

class MainWindowAccessibilityTest : public QObject {
    Q_OBJECT
private slots:
    // Tab walks the controls in the layout's order from the person number box and comes round again;
    // the option buttons are one stop (the selected one) and the arrow keys change the punch mode.
    void tabWalksTheLayoutOrder() {
        MainWindow window;
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        control<QLineEdit>(window, "numberBox")->setFocus();
        const QList<QWidget*> expected = {
            control<QLineEdit>(window, "passwordBox"),     control<PushButton>(window, "punchButton"),
            control<PushButton>(window, "personsButton"),  control<PushButton>(window, "reportsButton"),
            control<ListView>(window, "todayList"),        control<PushButton>(window, "formatButton"),
            control<QRadioButton>(window, "timeInOption"), control<QLineEdit>(window, "numberBox")};
        QList<QWidget*> visited;
        for (qsizetype i = 0; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget();
        }
        QCOMPARE(visited, expected);

        control<QRadioButton>(window, "timeInOption")->setFocus();
        QTest::keyClick(control<QRadioButton>(window, "timeInOption"), Qt::Key_Right);
        QCOMPARE(QApplication::focusWidget(), control<QRadioButton>(window, "timeOutOption"));
        QVERIFY(control<QRadioButton>(window, "timeOutOption")->isChecked());
        QCOMPARE(control<PushButton>(window, "punchButton")->text(), QStringLiteral("Logout"));
        QTest::keyClick(control<QRadioButton>(window, "timeOutOption"), Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), control<PushButton>(window, "formatButton"));
    }

    // However the option comes to be selected, the login button names the punch it makes.
    void punchModeFollowsTheOption_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("mouse") << 0;
        QTest::newRow("accessibility toggle") << 1;
        QTest::newRow("program") << 2;
    }
    void punchModeFollowsTheOption() {
        QFETCH(int, how);
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const auto choose = [&](QRadioButton* option) {
            switch (how) {
            case 0:
                QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(6, option->height() / 2));
                break;
            case 1: {
                QAccessibleActionInterface* actions =
                    QAccessible::queryAccessibleInterface(option)->actionInterface();
                QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::toggleAction()));
                actions->doAction(QAccessibleActionInterface::toggleAction());
                break;
            }
            default:
                option->setChecked(true);
            }
        };
        choose(control<QRadioButton>(window, "timeOutOption"));
        QVERIFY(control<QRadioButton>(window, "timeOutOption")->isChecked());
        QCOMPARE(control<PushButton>(window, "punchButton")->text(), QStringLiteral("Logout"));
        choose(control<QRadioButton>(window, "timeInOption"));
        QVERIFY(control<QRadioButton>(window, "timeInOption")->isChecked());
        QCOMPARE(control<PushButton>(window, "punchButton")->text(), QStringLiteral("Login"));
    }

    // The main window is a window to a screen reader, named by its caption, and no control borrows
    // the title of the frame it sits in: the clock labels have their own names while empty.
    void windowRoleAndOwnNames() {
        TestSupport::CommonFolder common;
        TestSupport::MessageRecorder boxes;
        MainWindow window;
        control<QTimer>(window, "clockTimer")->stop();
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(&window);
        QCOMPARE(face->role(), QAccessible::Window);
        QCOMPARE(spokenName(control<QLabel>(window, "dateLabel")), QStringLiteral("Date"));
        QCOMPARE(spokenName(control<QLabel>(window, "timeLabel")), QStringLiteral("Time"));
        window.start();
        QCOMPARE(face->text(QAccessible::Name), QStringLiteral("Tallyclock Suite"));
        QCOMPARE(spokenName(control<QLabel>(window, "dateLabel")),
                 control<QLabel>(window, "dateLabel")->text());
        QCOMPARE(spokenName(control<QLabel>(window, "timeLabel")),
                 control<QLabel>(window, "timeLabel")->text());
        QVERIFY(!control<QLabel>(window, "timeLabel")->text().isEmpty());

        for (QGroupBox* frame : window.findChildren<QGroupBox*>()) {
            for (QWidget* child : frame->findChildren<QWidget*>()) {
                if (!QAccessible::queryAccessibleInterface(child))
                    continue;
                QVERIFY2(spokenName(child) != frame->title(), qPrintable(child->objectName()));
            }
        }
        window.releaseDatabase();
    }

    // Every control a keyboard user reaches says what it is, and the login button says the punch mode.
    void everyControlHasASpokenName() {
        MainWindow window;
        QCOMPARE(spokenName(control<QLineEdit>(window, "numberBox")), QStringLiteral("Person Number"));
        QCOMPARE(spokenName(control<QLineEdit>(window, "passwordBox")), QStringLiteral("Password"));
        QCOMPARE(spokenName(control<ListView>(window, "todayList")), QStringLiteral("Today's attendance"));
        QCOMPARE(spokenName(control<QRadioButton>(window, "timeInOption")), QStringLiteral("Time In"));
        QCOMPARE(spokenName(control<PushButton>(window, "personsButton")),
                 QStringLiteral("Create / Delete / Edit Logins"));
        QCOMPARE(spokenName(control<PushButton>(window, "punchButton")), QStringLiteral("Login"));
        control<QRadioButton>(window, "timeOutOption")->click();
        QCOMPARE(spokenName(control<PushButton>(window, "punchButton")), QStringLiteral("Logout"));

        for (QWidget* widget : window.findChildren<QWidget*>()) {
            if (widget->focusPolicy() & Qt::TabFocus)
                QVERIFY2(!spokenName(widget).isEmpty(), qPrintable(widget->metaObject()->className()));
        }
    }
};

TALLYCLOCK_TEST(MainWindowAccessibilityTest)
#include "MainWindowAccessibilityTest.moc"
