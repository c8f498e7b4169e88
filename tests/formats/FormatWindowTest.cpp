#include "formats/FormatWindow.h"
#include "clock/MainWindowFixture.h"
#include "core/Main.h"
#include "platform/Fonts.h"
#include "platform/MousePointer.h"

#include <QGroupBox>
#include <QLabel>
#include <QTest>
#include <QTimer>

using TestSupport::control;

namespace {

const QString kMissing = QStringLiteral("<missing>");

QString stored(const char* key) {
    return SettingsStore::GetSetting(SettingsStore::kApplication, SettingsStore::kSection,
                                     QString::fromLatin1(key), kMissing);
}

QStringList storedFlags() {
    return {stored("Option1"), stored("Option2"), stored("Option3"), stored("Option4")};
}

// The selected state of monthFirstOption..militaryOption.
QList<bool> selected(const FormatWindow& window) {
    return {control<QRadioButton>(window, "monthFirstOption")->isChecked(),
            control<QRadioButton>(window, "dayFirstOption")->isChecked(),
            control<QRadioButton>(window, "twelveHourOption")->isChecked(),
            control<QRadioButton>(window, "militaryOption")->isChecked()};
}

// Opens the format window with the main window's Format button and runs `action` on it while its
// exec() runs. A window the action leaves open (a failed check) is closed so the test can go on.
template <typename Action> void withFormatWindow(MainWindow& form, Action action) {
    bool acted = false;
    bool leftOpen = false;
    TestSupport::whenModalShows([&](QWidget* modal) {
        auto* window = qobject_cast<FormatWindow*>(modal);
        if (!window)
            return;
        acted = true;
        action(*window);
        if (window->isVisible()) {
            leftOpen = true;
            window->QDialog::done(QDialog::Rejected);
        }
    });
    control<PushButton>(form, "formatButton")->click();
    QVERIFY2(acted, "the format window did not show");
    QVERIFY2(!leftOpen, "the format window stayed open");
}

} // namespace

class FormatWindowTest : public QObject {
    Q_OBJECT
private slots:
    void firstOpeningShowsTheDefaults() {
        MainWindowFixture f;
        MainWindow& form = f.load();
        withFormatWindow(form, [](FormatWindow& window) {
            QCOMPARE(window.windowTitle(), QStringLiteral("Format"));
            QCOMPARE(selected(window), (QList<bool>{true, false, true, false}));
            QCOMPARE(control<QRadioButton>(window, "dayFirstOption")->text(),
                     QStringLiteral("dd/mm/yyyy (European)"));
            QCOMPARE(control<QRadioButton>(window, "militaryOption")->text(), QStringLiteral("Military"));
            QCOMPARE(window.minimumSize(), window.maximumSize());
            QVERIFY(!(window.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
            QVERIFY(window.isModal());
            for (QRadioButton* option : {control<QRadioButton>(window, "monthFirstOption"),
                                         control<QRadioButton>(window, "dayFirstOption"),
                                         control<QRadioButton>(window, "twelveHourOption"),
                                         control<QRadioButton>(window, "militaryOption")})
                QCOMPARE(option->font(), Fonts::window()); // also under the skin's style sheet
            QVERIFY(window.mousePointer()->hasMouseIcon());
            control<PushButton>(window, "cancelButton")->click();
        });
        QCOMPARE(storedFlags(), QStringList(4, kMissing));
        QVERIFY(f.boxes.shown().empty());
    }

    void saveStoresAllFourAndTheClockFollows() {
        MainWindowFixture f(QDateTime(QDate(2026, 3, 5), QTime(14, 5)));
        MainWindow& form = f.load();
        QCOMPARE(control<QLabel>(form, "dateLabel")->text(), QStringLiteral("03/05/2026"));
        QCOMPARE(control<QLabel>(form, "timeLabel")->text(), QStringLiteral("02:05 PM"));
        withFormatWindow(form, [](FormatWindow& window) {
            // On the caption: a radio button takes clicks on its indicator and caption only.
            QTest::mouseClick(control<QRadioButton>(window, "dayFirstOption"), Qt::LeftButton, {},
                              QPoint(20, control<QRadioButton>(window, "dayFirstOption")->height() / 2));
            QTest::mouseClick(control<QRadioButton>(window, "militaryOption"), Qt::LeftButton, {},
                              QPoint(20, control<QRadioButton>(window, "militaryOption")->height() / 2));
            QCOMPARE(selected(window), (QList<bool>{false, true, false, true}));
            QTest::mouseClick(control<PushButton>(window, "saveButton"), Qt::LeftButton);
        });
        QCOMPARE(storedFlags(), (QStringList{"False", "True", "False", "True"}));
        // Nothing tells the clock; its own timer picks the choice up within a second.
        QTRY_COMPARE_WITH_TIMEOUT(control<QLabel>(form, "dateLabel")->text(), QStringLiteral("05/03/2026"),
                                  3000);
        QTRY_COMPARE_WITH_TIMEOUT(control<QLabel>(form, "timeLabel")->text(), QStringLiteral("14:05"), 3000);

        withFormatWindow(form, [](FormatWindow& window) {
            QCOMPARE(selected(window), (QList<bool>{false, true, false, true}));
            control<PushButton>(window, "saveButton")->click(); // unchanged, yet every key is written again
        });
        QCOMPARE(storedFlags(), (QStringList{"False", "True", "False", "True"}));
        QVERIFY(f.boxes.shown().empty());
    }

    void saveWithoutChangesWritesEveryKey() {
        MainWindowFixture f;
        MainWindow& form = f.load();
        withFormatWindow(form,
                         [](FormatWindow& window) { control<PushButton>(window, "saveButton")->click(); });
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
        MainWindow& form = f.load();
        withFormatWindow(form, [&](FormatWindow& window) {
            QCOMPARE(selected(window), (QList<bool>{false, true, true, false}));
            control<QRadioButton>(window, "monthFirstOption")->click();
            control<QRadioButton>(window, "militaryOption")->click();
            if (how == QLatin1String("cancel"))
                QTest::mouseClick(control<PushButton>(window, "cancelButton"), Qt::LeftButton);
            else if (how == QLatin1String("escape"))
                QTest::keyClick(&window, Qt::Key_Escape);
            else
                window.close();
        });
        QCOMPARE(storedFlags(), (QStringList{"False", "True", kMissing, kMissing}));
        withFormatWindow(form, [](FormatWindow& window) {
            QCOMPARE(selected(window), (QList<bool>{false, true, true, false}));
            control<PushButton>(window, "cancelButton")->click();
        });
    }

    void bothOfAPairStoredTrueSelectsTheSecond() {
        MainWindowFixture f(QDateTime(QDate(2026, 3, 5), QTime(14, 5)));
        for (const char* key : {"Option1", "Option2", "Option3", "Option4"})
            SettingsStore::saveFlag(QString::fromLatin1(key), true);
        MainWindow& form = f.load();
        // The clock looks at the first of each pair first.
        QCOMPARE(control<QLabel>(form, "dateLabel")->text(), QStringLiteral("03/05/2026"));
        QCOMPARE(control<QLabel>(form, "timeLabel")->text(), QStringLiteral("02:05 PM"));
        withFormatWindow(form, [](FormatWindow& window) {
            QCOMPARE(selected(window), (QList<bool>{false, true, false, true}));
            control<PushButton>(window, "saveButton")->click();
        });
        QCOMPARE(storedFlags(), (QStringList{"False", "True", "False", "True"}));
    }

    void bothOfAPairStoredFalseSelectsNeither() {
        MainWindowFixture f;
        for (const char* key : {"Option1", "Option2", "Option3", "Option4"})
            SettingsStore::saveFlag(QString::fromLatin1(key), false);
        MainWindow& form = f.load();
        withFormatWindow(form, [](FormatWindow& window) {
            QCOMPARE(selected(window), (QList<bool>{false, false, false, false}));
            // The user's own clicks still select one option of a frame at a time.
            control<QRadioButton>(window, "monthFirstOption")->click();
            control<QRadioButton>(window, "dayFirstOption")->click();
            control<QRadioButton>(window, "dayFirstOption")->click();
            QCOMPARE(selected(window), (QList<bool>{false, true, false, false}));
            control<PushButton>(window, "saveButton")->click();
        });
        QCOMPARE(storedFlags(), (QStringList{"False", "True", "False", "False"}));
    }

    void unreadableStoredValueIsReportedAndKeepsTheOption() {
        MainWindowFixture f;
        MainWindow& form = f.load();
        control<QTimer>(form, "clockTimer")->stop(); // the clock would report the same value on its own
        SettingsStore::SaveSetting(SettingsStore::kApplication, SettingsStore::kSection,
                                   QStringLiteral("Option1"), QStringLiteral("maybe"));
        SettingsStore::saveFlag(QStringLiteral("Option4"), true);
        withFormatWindow(form, [](FormatWindow& window) {
            QCOMPARE(selected(window), (QList<bool>{true, false, false, true}));
            control<PushButton>(window, "cancelButton")->click();
        });
        QCOMPARE(f.boxes.errorSteps(), std::vector<int>{108});
        QVERIFY(f.boxes.errors().at(0).text.contains(QStringLiteral("Tallyclock2021/08/31.Form5.Form_Load")));
        QCOMPARE(stored("Option1"), QStringLiteral("maybe"));
    }

    void pointerFollowsTheMouseUnlessBusy() {
        MainWindowFixture f;
        MainWindow& form = f.load();
        withFormatWindow(form, [](FormatWindow& window) {
            MousePointer& pointer = *window.mousePointer();
            const auto enter = [](QWidget* widget) {
                QEnterEvent entered(QPointF(2, 2), widget->mapTo(widget->window(), QPointF(2, 2)),
                                    widget->mapToGlobal(QPointF(2, 2)));
                QApplication::sendEvent(widget, &entered);
            };
            enter(control<PushButton>(window, "saveButton"));
            QCOMPARE(pointer.value(), MousePointer::Custom);
            enter(control<QGroupBox>(window, "timeFrame"));
            QCOMPARE(pointer.value(), MousePointer::Default);
            enter(control<PushButton>(window, "cancelButton"));
            QCOMPARE(pointer.value(), MousePointer::Custom);
            pointer.setValue(MousePointer::Hourglass);
            enter(control<QGroupBox>(window, "dateFrame"));
            enter(control<PushButton>(window, "saveButton"));
            QCOMPARE(pointer.value(), MousePointer::Hourglass);
            pointer.setValue(MousePointer::Default);

            // Moving on over a button keeps the hand: the move must not reach the window behind it.
            QMouseEvent move(QEvent::MouseMove, QPointF(3, 3),
                             control<PushButton>(window, "saveButton")->mapToGlobal(QPointF(3, 3)),
                             Qt::NoButton, Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(control<PushButton>(window, "saveButton"), &move);
            QCOMPARE(pointer.value(), MousePointer::Custom);
            control<PushButton>(window, "cancelButton")->click();
        });
    }
};

TALLYCLOCK_TEST(FormatWindowTest)
#include "FormatWindowTest.moc"
#include "platform/PushButton.h"
#include <QRadioButton>
