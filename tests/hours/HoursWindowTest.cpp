#include "hours/HoursWindow.h"
#include "platform/PushButton.h"
#include "reports/ReportsScene.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTreeView>

using TestSupport::control;

namespace {

// Tuesday 14 September 2021; the week (en_US) runs from Sunday the 12th to Saturday the 18th.
QDate day(int d) {
    return QDate(2021, 9, d);
}

QStringList column(const QTreeView* list, int column) {
    QStringList texts;
    for (int row = 0; row < list->model()->rowCount(); ++row)
        texts << list->model()->index(row, column).data().toString();
    return texts;
}

// A week with every kind of record, and one record the week before.
void addWeek(ReportsScene& scene) {
    scene.addPerson(QStringLiteral("2"), QStringLiteral("Ann"));
    scene.addPerson(QStringLiteral("10"), QStringLiteral("Bob"));
    scene.addPerson(QStringLiteral("3"), QStringLiteral("Cy"));
    scene.addRecord(QStringLiteral("2"), day(11), QStringLiteral("08:00 AM"), QStringLiteral("04:00 PM"));
    scene.addRecord(QStringLiteral("2"), day(13), QStringLiteral("08:00 AM"), QStringLiteral("05:00 PM"));
    scene.addRecord(QStringLiteral("2"), day(14), QStringLiteral("10:00 PM"), QStringLiteral("06:00 AM"));
    scene.addRecord(QStringLiteral("10"), day(13), QStringLiteral("08:00"), QStringLiteral("09:00"));
    scene.addRecord(QStringLiteral("10"), day(15), QStringLiteral("07:00 AM"), QStringLiteral("06:30 AM"));
    scene.addRecord(QStringLiteral("3"), day(14), QStringLiteral("09:00 AM"));
    scene.addRecord(QStringLiteral("3"), day(14), QStringLiteral("soon"), QStringLiteral("10:00"));
    scene.addRecord(QStringLiteral("77"), day(13), QStringLiteral("08:00"), QStringLiteral("08:30"));
}

// Opens the window for real and runs `inside` while it shows.
void showHours(ReportsScene& scene, const std::function<void(HoursWindow&)>& inside) {
    HoursWindow window(scene.main.get());
    bool ran = false;
    TestSupport::whenModalShows([&](QWidget* modal) {
        ran = modal == &window;
        if (ran)
            inside(window);
        window.reject();
    });
    window.showModal();
    QVERIFY(ran);
}

} // namespace

class HoursWindowTest : public QObject {
    Q_OBJECT
private slots:
    void opensOnThisWeeksTotals() {
        ReportsScene scene;
        TestSupport::MessageRecorder boxes;
        addWeek(scene);
        showHours(scene, [&](HoursWindow& w) {
            QCOMPARE(w.fromDate->date(), day(12));
            QCOMPARE(w.toDate->date(), day(18));
            QCOMPARE(column(w.totalsList, HoursWindow::Number), (QStringList{"2", "3", "10", "77", "Total"}));
            QCOMPARE(column(w.totalsList, HoursWindow::Name), (QStringList{"Ann", "Cy", "Bob", "", ""}));
            QCOMPARE(column(w.totalsList, HoursWindow::HoursClock),
                     (QStringList{"17:00", "0:00", "24:30", "0:30", "42:00"}));
            QCOMPARE(column(w.totalsList, HoursWindow::HoursDecimal),
                     (QStringList{"17.00", "0.00", "24.50", "0.50", "42.00"}));
            QCOMPARE(column(w.totalsList, HoursWindow::DaysWorked), (QStringList{"2", "0", "2", "1", "5"}));
            QCOMPARE(column(w.totalsList, HoursWindow::OpenRecords), (QStringList{"0", "1", "0", "0", "1"}));
            QCOMPARE(column(w.totalsList, HoursWindow::OvernightRecords),
                     (QStringList{"1", "0", "1", "0", "2"}));
            QCOMPARE(column(w.totalsList, HoursWindow::LongRecords), (QStringList{"0", "0", "1", "0", "1"}));

            QCOMPARE(column(w.correctList, 0), (QStringList{"3", "10"}));
            QCOMPARE(column(w.correctList, 5),
                     (QStringList{"Time cannot be read; not counted", "Longer than 16 hours (23:30)"}));
            QVERIFY(w.correctLabel->text().startsWith(QStringLiteral("Records to correct: 2")));

            // Sorted by hours either way, the totals row stays last.
            w.totalsList->sortByColumn(HoursWindow::HoursDecimal, Qt::AscendingOrder);
            QCOMPARE(column(w.totalsList, HoursWindow::Number), (QStringList{"3", "77", "2", "10", "Total"}));
            w.totalsList->sortByColumn(HoursWindow::HoursClock, Qt::DescendingOrder);
            QCOMPARE(column(w.totalsList, HoursWindow::Number), (QStringList{"10", "2", "77", "3", "Total"}));
        });
        QVERIFY(boxes.shown().empty());
    }

    void presetsAndCustomPeriods() {
        ReportsScene scene;
        TestSupport::MessageRecorder boxes;
        addWeek(scene);
        showHours(scene, [&](HoursWindow& w) {
            w.periodBox->setCurrentText(QStringLiteral("Last week"));
            QCOMPARE(w.fromDate->date(), day(5));
            QCOMPARE(w.toDate->date(), day(11));
            w.showButton->click();
            QCOMPARE(column(w.totalsList, HoursWindow::HoursClock), (QStringList{"8:00", "8:00"}));
            QCOMPARE(w.correctLabel->text(), QStringLiteral("Records to correct: none"));
            // Another period empties the lists until Show: no totals stay under dates they are not of.
            w.periodBox->setCurrentText(QStringLiteral("This week"));
            QCOMPARE(w.totalsList->model()->rowCount(), 0);
            w.periodBox->setCurrentText(QStringLiteral("Last week"));
            w.showButton->click();
            QCOMPARE(column(w.totalsList, HoursWindow::HoursClock), (QStringList{"8:00", "8:00"}));

            // A date set by hand makes the period a custom one; a backwards one lists nothing.
            w.toDate->setDate(day(1));
            QCOMPARE(w.periodBox->currentText(), QStringLiteral("Custom"));
            w.showButton->click();
            QCOMPARE(boxes.texts(),
                     std::vector<QString>{QStringLiteral("The From date is after the To date.")});
            QCOMPARE(w.totalsList->model()->rowCount(), 0);

            w.periodBox->setCurrentText(QStringLiteral("This month"));
            QCOMPARE(w.fromDate->date(), day(1));
            QCOMPARE(w.toDate->date(), day(30));
        });
    }

    // One person's totals: the number as typed, letter case ignored; text that is no number lists none.
    void personBoxChoosesOnePerson_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("numbers");
        QTest::newRow("everyone") << "" << QStringList{"2", "3", "10", "77", "Ab7", "Total"};
        QTest::newRow("one") << "10" << QStringList{"10", "Total"};
        QTest::newRow("letter case") << "aB7" << QStringList{"Ab7", "Total"};
        QTest::newRow("person gone") << "77" << QStringList{"77", "Total"};
        QTest::newRow("quote") << "10' OR '1'='1" << QStringList{};
        QTest::newRow("blank") << " " << QStringList{};
    }
    void personBoxChoosesOnePerson() {
        QFETCH(QString, typed);
        QFETCH(QStringList, numbers);
        ReportsScene scene;
        TestSupport::MessageRecorder boxes;
        addWeek(scene);
        scene.addPerson(QStringLiteral("Ab7"), QStringLiteral("Dee"));
        scene.addRecord(QStringLiteral("Ab7"), day(16), QStringLiteral("08:00"), QStringLiteral("12:00"));
        showHours(scene, [&](HoursWindow& w) {
            w.personBox->setText(typed);
            QTest::keyClick(w.personBox, Qt::Key_Return);
            QCOMPARE(column(w.totalsList, HoursWindow::Number), numbers);
        });
        QVERIFY(boxes.shown().empty());
    }

    void doubleClickListsThePersonsRecords() {
        ReportsScene scene;
        addWeek(scene);
        showHours(scene, [&](HoursWindow& w) {
            QStringList dialog;
            TestSupport::whenModalShows([&](QWidget* modal) {
                auto* list = modal->findChild<QTreeView*>();
                dialog << modal->windowTitle() << column(list, 0) << column(list, 3) << column(list, 4);
                modal->close();
            });
            const QRect bob = w.totalsList->visualRect(w.totalsList->model()->index(2, HoursWindow::Name));
            QTest::mouseClick(w.totalsList->viewport(), Qt::LeftButton, {}, bob.center());
            QTest::mouseDClick(w.totalsList->viewport(), Qt::LeftButton, {}, bob.center());
            QCOMPARE(dialog, (QStringList{"Records of 10 Bob", "9/13/2021", "9/15/2021", "1:00", "23:30", "",
                                          "Longer than 16 hours"}));
        });
    }

    void reportsWindowOpensTheHours() {
        ReportsScene scene;
        QString shown;
        scene.showReports([&](ReportsWindow& reports) {
            TestSupport::whenModalShows([&](QWidget* modal) {
                shown = modal->windowTitle();
                modal->close();
            });
            control<PushButton>(reports, "hoursButton")->click();
        });
        QCOMPARE(shown, QStringLiteral("Hours"));
    }
};

TALLYCLOCK_TEST(HoursWindowTest)
#include "HoursWindowTest.moc"
