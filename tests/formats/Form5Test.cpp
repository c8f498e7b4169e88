#include "formats/Form5.h"
#include "clock/MainWindowFixture.h"
#include "core/Main.h"
#include "platform/Fonts.h"
#include "platform/MousePointer.h"

#include <QGroupBox>
#include <QLabel>
#include <QTest>
#include <QTimer>

namespace {

const QString kMissing = QStringLiteral("<missing>");

QString stored(const char* key) {
    return SettingsStore::GetSetting(SettingsStore::kApplication, SettingsStore::kSection,
                                     QString::fromLatin1(key), kMissing);
}

QStringList storedFlags() {
    return {stored("Option1"), stored("Option2"), stored("Option3"), stored("Option4")};
}

// The selected state of Option1..Option4.
QList<bool> selected(const Form5& window) {
    return {window.Option1->isChecked(), window.Option2->isChecked(), window.Option3->isChecked(),
            window.Option4->isChecked()};
}

// Opens the format window with the main window's Format button and runs `action` on it while its
// exec() runs. A window the action leaves open (a failed check) is closed so the test can go on.
template <typename Action> void withFormatWindow(Form1& form, Action action) {
    bool acted = false;
    bool leftOpen = false;
    TestSupport::whenModalShows([&](QWidget* modal) {
        auto* window = qobject_cast<Form5*>(modal);
        if (!window)
            return;
        acted = true;
        action(*window);
        if (window->isVisible()) {
            leftOpen = true;
            window->QDialog::done(QDialog::Rejected);
        }
    });
    form.PushButton4->click();
    QVERIFY2(acted, "the format window did not show");
    QVERIFY2(!leftOpen, "the format window stayed open");
}

} // namespace

class Form5Test : public QObject {
    Q_OBJECT
private slots:
    void firstOpeningShowsTheDefaults() {
        MainWindowFixture f;
        Form1& form = f.load();
        withFormatWindow(form, [](Form5& window) {
            QCOMPARE(window.windowTitle(), QStringLiteral("Format"));
            QCOMPARE(selected(window), (QList<bool>{true, false, true, false}));
            QCOMPARE(window.Option2->text(), QStringLiteral("dd/mm/yyyy (European)"));
            QCOMPARE(window.Option4->text(), QStringLiteral("Military"));
            QCOMPARE(window.minimumSize(), window.maximumSize());
            QVERIFY(!(window.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
            QVERIFY(window.isModal());
            for (QRadioButton* option : {window.Option1, window.Option2, window.Option3, window.Option4})
                QCOMPARE(option->font(), Fonts::window()); // also under the skin's style sheet
            QVERIFY(window.mousePointer()->hasMouseIcon());
            window.PushButton1->click();
        });
        QCOMPARE(storedFlags(), QStringList(4, kMissing));
        QVERIFY(f.boxes.shown().empty());
    }

    void saveStoresAllFourAndTheClockFollows() {
        MainWindowFixture f(QDateTime(QDate(2026, 3, 5), QTime(14, 5)));
        Form1& form = f.load();
        QCOMPARE(form.lblDate->text(), QStringLiteral("03/05/2026"));
        QCOMPARE(form.lblTime->text(), QStringLiteral("02:05 PM"));
        withFormatWindow(form, [](Form5& window) {
            // On the caption: a radio button takes clicks on its indicator and caption only.
            QTest::mouseClick(window.Option2, Qt::LeftButton, {}, QPoint(20, window.Option2->height() / 2));
            QTest::mouseClick(window.Option4, Qt::LeftButton, {}, QPoint(20, window.Option4->height() / 2));
            QCOMPARE(selected(window), (QList<bool>{false, true, false, true}));
            QTest::mouseClick(window.PushButton4, Qt::LeftButton);
        });
        QCOMPARE(storedFlags(), (QStringList{"False", "True", "False", "True"}));
        // Nothing tells the clock; its own timer picks the choice up within a second.
        QTRY_COMPARE_WITH_TIMEOUT(form.lblDate->text(), QStringLiteral("05/03/2026"), 3000);
        QTRY_COMPARE_WITH_TIMEOUT(form.lblTime->text(), QStringLiteral("14:05"), 3000);

        withFormatWindow(form, [](Form5& window) {
            QCOMPARE(selected(window), (QList<bool>{false, true, false, true}));
            window.PushButton4->click(); // unchanged, yet every key is written again
        });
        QCOMPARE(storedFlags(), (QStringList{"False", "True", "False", "True"}));
        QVERIFY(f.boxes.shown().empty());
    }

    void saveWithoutChangesWritesEveryKey() {
        MainWindowFixture f;
        Form1& form = f.load();
        withFormatWindow(form, [](Form5& window) { window.PushButton4->click(); });
        QCOMPARE(storedFlags(), (QStringList{"True", "False", "True", "False"}));
    }

    void leavingWithoutSaveStoresNothing_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("cancel") << "cancel";
        QTest::newRow("escape") << "escape";
        QTest::newRow("close box") << "close";
    }
    void leavingWithoutSaveStoresNothing() {
        QFETCH(QString, how);
        MainWindowFixture f;
        SettingsStore::saveFlag(QStringLiteral("Option1"), false);
        SettingsStore::saveFlag(QStringLiteral("Option2"), true);
        Form1& form = f.load();
        withFormatWindow(form, [&](Form5& window) {
            QCOMPARE(selected(window), (QList<bool>{false, true, true, false}));
            window.Option1->click();
            window.Option4->click();
            if (how == QLatin1String("cancel"))
                QTest::mouseClick(window.PushButton1, Qt::LeftButton);
            else if (how == QLatin1String("escape"))
                QTest::keyClick(&window, Qt::Key_Escape);
            else
                window.close();
        });
        QCOMPARE(storedFlags(), (QStringList{"False", "True", kMissing, kMissing}));
        withFormatWindow(form, [](Form5& window) {
            QCOMPARE(selected(window), (QList<bool>{false, true, true, false}));
            window.PushButton1->click();
        });
    }

    void bothOfAPairStoredTrueSelectsTheSecond() {
        MainWindowFixture f(QDateTime(QDate(2026, 3, 5), QTime(14, 5)));
        for (const char* key : {"Option1", "Option2", "Option3", "Option4"})
            SettingsStore::saveFlag(QString::fromLatin1(key), true);
        Form1& form = f.load();
        // The clock looks at the first of each pair first.
        QCOMPARE(form.lblDate->text(), QStringLiteral("03/05/2026"));
        QCOMPARE(form.lblTime->text(), QStringLiteral("02:05 PM"));
        withFormatWindow(form, [](Form5& window) {
            QCOMPARE(selected(window), (QList<bool>{false, true, false, true}));
            window.PushButton4->click();
        });
        QCOMPARE(storedFlags(), (QStringList{"False", "True", "False", "True"}));
    }

    void bothOfAPairStoredFalseSelectsNeither() {
        MainWindowFixture f;
        for (const char* key : {"Option1", "Option2", "Option3", "Option4"})
            SettingsStore::saveFlag(QString::fromLatin1(key), false);
        Form1& form = f.load();
        withFormatWindow(form, [](Form5& window) {
            QCOMPARE(selected(window), (QList<bool>{false, false, false, false}));
            // The user's own clicks still select one option of a frame at a time.
            window.Option1->click();
            window.Option2->click();
            window.Option2->click();
            QCOMPARE(selected(window), (QList<bool>{false, true, false, false}));
            window.PushButton4->click();
        });
        QCOMPARE(storedFlags(), (QStringList{"False", "True", "False", "False"}));
    }

    void unreadableStoredValueIsReportedAndKeepsTheOption() {
        MainWindowFixture f;
        Form1& form = f.load();
        form.Timer1->stop(); // the clock would report the same value on its own
        SettingsStore::SaveSetting(SettingsStore::kApplication, SettingsStore::kSection,
                                   QStringLiteral("Option1"), QStringLiteral("maybe"));
        SettingsStore::saveFlag(QStringLiteral("Option4"), true);
        withFormatWindow(form, [](Form5& window) {
            QCOMPARE(selected(window), (QList<bool>{true, false, false, true}));
            window.PushButton1->click();
        });
        QCOMPARE(f.boxes.errorSteps(), std::vector<int>{108});
        QVERIFY(f.boxes.errors().at(0).text.contains(QStringLiteral("Tallyclock2021/08/31.Form5.Form_Load")));
        QCOMPARE(stored("Option1"), QStringLiteral("maybe"));
    }

    void pointerFollowsTheMouseUnlessBusy() {
        MainWindowFixture f;
        Form1& form = f.load();
        withFormatWindow(form, [](Form5& window) {
            MousePointer& pointer = *window.mousePointer();
            const auto enter = [](QWidget* widget) {
                QEnterEvent entered(QPointF(2, 2), widget->mapTo(widget->window(), QPointF(2, 2)),
                                    widget->mapToGlobal(QPointF(2, 2)));
                QApplication::sendEvent(widget, &entered);
            };
            enter(window.PushButton4);
            QCOMPARE(pointer.value(), MousePointer::Custom);
            enter(window.Frame2);
            QCOMPARE(pointer.value(), MousePointer::Default);
            enter(window.PushButton1);
            QCOMPARE(pointer.value(), MousePointer::Custom);
            pointer.setValue(MousePointer::Hourglass);
            enter(window.Frame1);
            enter(window.PushButton4);
            QCOMPARE(pointer.value(), MousePointer::Hourglass);
            pointer.setValue(MousePointer::Default);

            // Moving on over a button keeps the hand: the move must not reach the window behind it.
            QMouseEvent move(QEvent::MouseMove, QPointF(3, 3), window.PushButton4->mapToGlobal(QPointF(3, 3)),
                             Qt::NoButton, Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(window.PushButton4, &move);
            QCOMPARE(pointer.value(), MousePointer::Custom);
            window.PushButton1->click();
        });
    }
};

TALLYCLOCK_TEST(Form5Test)
#include "Form5Test.moc"
