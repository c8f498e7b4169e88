#include "common/TestSupport.h"
#include "core/Form1.h"
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

namespace {
QString spokenName(QWidget* widget) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(QAccessible::Name) : QString();
}
} // namespace

class Form1AccessibilityTest : public QObject {
    Q_OBJECT
private slots:
    // Tab walks the controls in the layout's order from the person number box and comes round again;
    // the option buttons are one stop (the selected one) and the arrow keys change the punch mode.
    void tabWalksTheLayoutOrder() {
        Form1 window;
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        window.Text1->setFocus();
        const QList<QWidget*> expected = {window.Text2,       window.PushButton1, window.PushButton2,
                                          window.PushButton3, window.ListView1,   window.PushButton4,
                                          window.Option1,     window.Text1};
        QList<QWidget*> visited;
        for (qsizetype i = 0; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget();
        }
        QCOMPARE(visited, expected);

        window.Option1->setFocus();
        QTest::keyClick(window.Option1, Qt::Key_Right);
        QCOMPARE(QApplication::focusWidget(), window.Option2);
        QVERIFY(window.Option2->isChecked());
        QCOMPARE(window.PushButton1->text(), QStringLiteral("Logout"));
        QTest::keyClick(window.Option2, Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), window.PushButton4);
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
        Form1 window;
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
        choose(window.Option2);
        QVERIFY(window.Option2->isChecked());
        QCOMPARE(window.PushButton1->text(), QStringLiteral("Logout"));
        choose(window.Option1);
        QVERIFY(window.Option1->isChecked());
        QCOMPARE(window.PushButton1->text(), QStringLiteral("Login"));
    }

    // The main window is a window to a screen reader, named by its caption, and no control borrows
    // the title of the frame it sits in: the clock labels have their own names while empty.
    void windowRoleAndOwnNames() {
        TestSupport::CommonFolder common;
        TestSupport::MessageRecorder boxes;
        Form1 window;
        window.Timer1->stop();
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(&window);
        QCOMPARE(face->role(), QAccessible::Window);
        QCOMPARE(spokenName(window.lblDate), QStringLiteral("Date"));
        QCOMPARE(spokenName(window.lblTime), QStringLiteral("Time"));
        window.Form_Load();
        QCOMPARE(face->text(QAccessible::Name), QStringLiteral("Tallyclock Suite"));
        QCOMPARE(spokenName(window.lblDate), window.lblDate->text());
        QCOMPARE(spokenName(window.lblTime), window.lblTime->text());
        QVERIFY(!window.lblTime->text().isEmpty());

        for (QGroupBox* frame : window.findChildren<QGroupBox*>()) {
            for (QWidget* control : frame->findChildren<QWidget*>()) {
                if (!QAccessible::queryAccessibleInterface(control))
                    continue;
                QVERIFY2(spokenName(control) != frame->title(), qPrintable(control->objectName()));
            }
        }
        window.Form_QueryUnload();
    }

    // Every control a keyboard user reaches says what it is, and the login button says the punch mode.
    void everyControlHasASpokenName() {
        Form1 window;
        QCOMPARE(spokenName(window.Text1), QStringLiteral("Person Number"));
        QCOMPARE(spokenName(window.Text2), QStringLiteral("Password"));
        QCOMPARE(spokenName(window.ListView1), QStringLiteral("Today's attendance"));
        QCOMPARE(spokenName(window.Option1), QStringLiteral("Time In"));
        QCOMPARE(spokenName(window.PushButton2), QStringLiteral("Create / Delete / Edit Logins"));
        QCOMPARE(spokenName(window.PushButton1), QStringLiteral("Login"));
        window.Option2->click();
        QCOMPARE(spokenName(window.PushButton1), QStringLiteral("Logout"));

        for (QWidget* widget : window.findChildren<QWidget*>()) {
            if (widget->focusPolicy() & Qt::TabFocus)
                QVERIFY2(!spokenName(widget).isEmpty(), qPrintable(widget->metaObject()->className()));
        }
    }
};

TALLYCLOCK_TEST(Form1AccessibilityTest)
#include "Form1AccessibilityTest.moc"
