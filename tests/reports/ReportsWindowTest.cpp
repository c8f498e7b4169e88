#include "reports/ReportsScene.h"

#include "platform/DateTexts.h"
#include "platform/MousePointer.h"
#include "platform/PushButton.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QTimer>
#include <SQLiteCpp/Transaction.h>
#include <map>

using TestSupport::control;

namespace {

const QString kToday = QStringLiteral("9/14/2021");

// Clicks the check box of a list row where the style draws it.
void clickCheckBox(ListView* list, int row) {
    const QModelIndex index = list->model()->index(row, 0);
    QStyleOptionViewItem option;
    option.initFrom(list);
    option.rect = list->visualRect(index);
    option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    option.text = index.data().toString();
    option.font = list->font();
    const QRect box = list->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, box.center());
}

// Opens the list's context menu and picks the entry with this text.
void pickFromContextMenu(ListView* list, const QString& entry) {
    QTimer::singleShot(50, list, [entry] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        for (QAction* action : menu->actions()) {
            if (action->text() == entry) {
                menu->setActiveAction(action);
                QTest::keyClick(menu, Qt::Key_Return);
                return;
            }
        }
        menu->close();
    });
    const QPoint at = list->viewport()->rect().center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
    QApplication::sendEvent(list->viewport(), &event);
}

std::vector<bool> checkMarks(const ListView* list) {
    std::vector<bool> marks;
    for (int row = 0; row < list->rowCount(); ++row)
        marks.push_back(list->isChecked(row));
    return marks;
}

} // namespace

class ReportsWindowTest : public QObject {
    Q_OBJECT
private slots:
    void opensOnTodaysRecords() {
        ReportsScene scene;
        scene.addPerson(QStringLiteral("07"), QStringLiteral("Ann"));
        scene.addRecord(QStringLiteral("07"), ReportsScene::today(), QStringLiteral("08:00 AM"),
                        QStringLiteral("05:00 PM"));
        scene.addRecord(QStringLiteral("12"), ReportsScene::today(), QStringLiteral("09:05 AM"));
        scene.addRecord(QStringLiteral("07"), ReportsScene::today().addDays(-1), QStringLiteral("08:10 AM"),
                        QStringLiteral("04:00 PM"));
        TestSupport::MessageRecorder boxes;

        QStringList headers;
        std::vector<QStringList> columns;
        int index = -1;
        QString value;
        int defaultValue = 0;
        bool boldInFrame = false;
        bool handLoaded = false;
        std::vector<bool> marks;
        bool closedByEsc = false;
        const int result = scene.showReports([&](ReportsWindow& form) {
            for (int c = 0; c < control<ListView>(form, "resultsList")->columnCount(); ++c) {
                headers << control<ListView>(form, "resultsList")->columnHeader(c);
                columns.push_back(ReportsScene::column(control<ListView>(form, "resultsList"), c));
            }
            index = control<QComboBox>(form, "searchByBox")->currentIndex();
            value = control<QLineEdit>(form, "valueBox")->text();
            defaultValue = control<PushButton>(form, "searchButton")->defaultValue();
            handLoaded = form.mousePointer()->hasMouseIcon();
            boldInFrame = control<QLabel>(form, "searchByCaption")->font().bold() &&
                          control<QComboBox>(form, "searchByBox")->font().bold() &&
                          control<QLineEdit>(form, "valueBox")->font().bold();
            marks = checkMarks(control<ListView>(form, "resultsList"));
            QTest::keyClick(control<QLineEdit>(form, "valueBox"), Qt::Key_Escape);
            closedByEsc = !form.isVisible();
        });

        QCOMPARE(result, int(QDialog::Rejected));
        QVERIFY(closedByEsc);
        QCOMPARE(headers,
                 (QStringList{"Person Number", "Name", "Department", "Position", "Date", "Login", "Logout"}));
        QCOMPARE(columns.at(0), (QStringList{"07", "12"}));
        QCOMPARE(columns.at(1), (QStringList{"Ann", ""}));
        QCOMPARE(columns.at(2), (QStringList{"Dept Ann", ""}));
        QCOMPARE(columns.at(4), (QStringList{kToday, kToday}));
        QCOMPARE(columns.at(5), (QStringList{"08:00 AM", "09:05 AM"}));
        // The open record's Null logout is an empty cell.
        QCOMPARE(columns.at(6), (QStringList{"05:00 PM", ""}));
        QCOMPARE(index, 1);
        QCOMPARE(value, kToday);
        QCOMPARE(defaultValue, 1);
        QVERIFY(boldInFrame);
        QVERIFY(handLoaded);
        QCOMPARE(marks, (std::vector<bool>{false, false}));
        QVERIFY(boxes.shown().empty());
    }

    void opensEmptyWithoutTodaysRecords() {
        ReportsScene scene;
        scene.addRecord(QStringLiteral("07"), ReportsScene::today().addDays(-1), QStringLiteral("08:10 AM"));
        TestSupport::MessageRecorder boxes;
        int rows = -1;
        scene.showReports(
            [&](ReportsWindow& form) { rows = control<ListView>(form, "resultsList")->rowCount(); });
        QCOMPARE(rows, 0);
        QVERIFY(boxes.shown().empty());
    }

    // Today's date in a day-first and in a dotted locale: the loaded value finds today's records.
    void todaysDateFollowsTheLocale_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("shown");
        QTest::newRow("en_GB") << QLocale(QLocale::English, QLocale::UnitedKingdom) << "14/09/2021";
        QTest::newRow("de_DE") << QLocale(QLocale::German, QLocale::Germany) << "14.09.2021";
    }
    void todaysDateFollowsTheLocale() {
        QFETCH(QLocale, locale);
        QFETCH(QString, shown);
        const QLocale before;
        QLocale::setDefault(locale);
        {
            ReportsScene scene;
            scene.addRecord(QStringLiteral("07"), ReportsScene::today(), QStringLiteral("08:00"));
            scene.addRecord(QStringLiteral("07"), QDate(2021, 9, 1), QStringLiteral("08:00"));
            TestSupport::MessageRecorder boxes;
            QString value;
            QStringList dates;
            QStringList firstOfMonth;
            scene.showReports([&](ReportsWindow& form) {
                value = control<QLineEdit>(form, "valueBox")->text();
                dates = ReportsScene::column(control<ListView>(form, "resultsList"), 4);
                control<QLineEdit>(form, "valueBox")->setText(DateTexts::shortDate(QDate(2021, 9, 1)));
                control<PushButton>(form, "searchButton")->click();
                firstOfMonth = ReportsScene::column(control<ListView>(form, "resultsList"), 4);
            });
            QCOMPARE(value, shown);
            QCOMPARE(dates, QStringList{shown});
            QCOMPARE(firstOfMonth, QStringList{DateTexts::shortDate(QDate(2021, 9, 1))});
            QVERIFY(boxes.shown().empty());
        }
        QLocale::setDefault(before);
    }

    void searchValueAndSearchBy() {
        ReportsScene scene;
        scene.addRecord(QStringLiteral("07"), ReportsScene::today(), QStringLiteral("08:00 AM"));
        scene.addRecord(QStringLiteral("08"), ReportsScene::today(), QStringLiteral("08:01 AM"));
        TestSupport::MessageRecorder boxes;
        int rowsAfterEmptySearch = -1;
        QString afterPersonNumber;
        bool focusOnValue = false;
        QString afterDate;
        int valueChanges = 0;
        QString afterSameChoice;
        int rowsFromChosenDate = -1;
        scene.showReports([&](ReportsWindow& form) {
            control<QLineEdit>(form, "valueBox")->clear();
            control<PushButton>(form, "searchButton")->click();
            rowsAfterEmptySearch = control<ListView>(form, "resultsList")->rowCount();

            control<QComboBox>(form, "searchByBox")->setFocus();
            QTest::keyClick(control<QComboBox>(form, "searchByBox"), Qt::Key_Up);
            afterPersonNumber = control<QLineEdit>(form, "valueBox")->text();
            focusOnValue = form.focusWidget() == control<QLineEdit>(form, "valueBox");

            control<QLineEdit>(form, "valueBox")->setText(QStringLiteral("x"));
            // One run per choice: the value is emptied once and filled once.
            const QMetaObject::Connection counting =
                QObject::connect(control<QLineEdit>(form, "valueBox"), &QLineEdit::textChanged,
                                 [&valueChanges] { ++valueChanges; });
            QTest::keyClick(control<QComboBox>(form, "searchByBox"), Qt::Key_Down);
            QObject::disconnect(counting);
            afterDate = control<QLineEdit>(form, "valueBox")->text();

            // Choosing the entry that is already selected runs the choice too.
            control<QLineEdit>(form, "valueBox")->setText(QStringLiteral("x"));
            emit control<QComboBox>(form, "searchByBox")->activated(1);
            afterSameChoice = control<QLineEdit>(form, "valueBox")->text();

            control<ListView>(form, "resultsList")->clearRows();
            control<PushButton>(form, "searchButton")->click();
            rowsFromChosenDate = control<ListView>(form, "resultsList")->rowCount();
        });
        QCOMPARE(rowsAfterEmptySearch, 2);
        QCOMPARE(afterPersonNumber, QString());
        QVERIFY(focusOnValue);
        QCOMPARE(afterDate, kToday);
        QCOMPARE(valueChanges, 2);
        QCOMPARE(afterSameChoice, kToday);
        QCOMPARE(rowsFromChosenDate, 2);
        QVERIFY(boxes.shown().empty());
    }

    void searchByDate() {
        ReportsScene scene;
        scene.addRecord(QStringLiteral("07"), ReportsScene::today(), QStringLiteral("08:00 AM"));
        scene.addRecord(QStringLiteral("07"), QDate(2021, 9, 3), QStringLiteral("07:00 AM"));
        TestSupport::MessageRecorder boxes;
        QStringList found;
        int rowsAfterNoDate = -1;
        QStringList twoDigitsFound;
        scene.showReports([&](ReportsWindow& form) {
            control<QLineEdit>(form, "valueBox")->setText(QStringLiteral("9/3/2021"));
            control<PushButton>(form, "searchButton")->click();
            found = ReportsScene::column(control<ListView>(form, "resultsList"), 5);
            control<QLineEdit>(form, "valueBox")->setText(QStringLiteral("2/30/2021"));
            control<PushButton>(form, "searchButton")->click();
            rowsAfterNoDate = control<ListView>(form, "resultsList")->rowCount();
            control<QLineEdit>(form, "valueBox")->setText(QStringLiteral("09/03/2021"));
            control<PushButton>(form, "searchButton")->click();
            twoDigitsFound = ReportsScene::column(control<ListView>(form, "resultsList"), 5);
        });
        QCOMPARE(found, QStringList{"07:00 AM"});
        QCOMPARE(rowsAfterNoDate, 0);
        QCOMPARE(twoDigitsFound, QStringList{"07:00 AM"});
        QCOMPARE(boxes.shown().size(), size_t(1));
        QCOMPARE(boxes.shown().at(0).kind, MessageBox::Kind::Ok);
        QCOMPARE(boxes.shown().at(0).text, QStringLiteral("Must be date entry."));
    }

    void searchByPersonNumberAsTyped() {
        ReportsScene scene;
        scene.addRecord(QStringLiteral("07"), ReportsScene::today(), QStringLiteral("08:00 AM"));
        scene.addRecord(QStringLiteral("07"), QDate(2021, 9, 3), QStringLiteral("07:00 AM"));
        scene.addRecord(QStringLiteral("Ab"), QDate(2021, 9, 3), QStringLiteral("07:30 AM"));
        TestSupport::MessageRecorder boxes;
        std::map<QString, QStringList> found;
        scene.showReports([&](ReportsWindow& form) {
            control<QComboBox>(form, "searchByBox")->setCurrentIndex(0);
            for (const QString typed : {"7", "07", " 07", "aB", "07' OR '1'='1"}) {
                control<QLineEdit>(form, "valueBox")->setText(typed);
                control<PushButton>(form, "searchButton")->click();
                found[typed] = ReportsScene::column(control<ListView>(form, "resultsList"), 5);
            }
        });
        QCOMPARE(found["7"], QStringList());
        QCOMPARE(found["07"], (QStringList{"08:00 AM", "07:00 AM"}));
        QCOMPARE(found[" 07"], QStringList());
        QCOMPARE(found["aB"], QStringList{"07:30 AM"});
        QCOMPARE(found["07' OR '1'='1"], QStringList());
        QVERIFY(boxes.shown().empty());
    }

    void viewAllFillsInOneBatch() {
        ReportsScene scene;
        {
            SQLite::Database raw(scene.common.database().toStdString(), SQLite::OPEN_READWRITE);
            SQLite::Transaction transaction(raw);
            SQLite::Statement insert(raw, "INSERT INTO tblLogins (EmployeeNo, LogDate, TimeIn) "
                                          "VALUES (?, '2021-08-01', '08:00 AM')");
            for (int i = 0; i < 5000; ++i) {
                insert.bind(1, std::to_string(i));
                insert.exec();
                insert.reset();
            }
            transaction.commit();
        }
        TestSupport::MessageRecorder boxes;
        int batches = 0;
        int rows = -1;
        QString last;
        scene.showReports([&](ReportsWindow& form) {
            QObject::connect(control<ListView>(form, "resultsList")->model(),
                             &QAbstractItemModel::rowsInserted, [&batches] { ++batches; });
            control<PushButton>(form, "viewAllButton")->click();
            rows = control<ListView>(form, "resultsList")->rowCount();
            last = control<ListView>(form, "resultsList")->itemText(rows - 1, 4);
        });
        QCOMPARE(rows, 5000);
        QCOMPARE(batches, 1);
        QCOMPARE(last, QStringLiteral("8/1/2021"));
        QVERIFY(boxes.shown().empty());
    }

    void clearResultsWaitsWhileBusy() {
        ReportsScene scene;
        scene.addRecord(QStringLiteral("07"), ReportsScene::today(), QStringLiteral("08:00 AM"));
        TestSupport::MessageRecorder boxes;
        int whileBusy = -1;
        int whenIdle = -1;
        scene.showReports([&](ReportsWindow& form) {
            form.mousePointer()->setValue(MousePointer::Hourglass);
            control<PushButton>(form, "clearButton")->click();
            whileBusy = control<ListView>(form, "resultsList")->rowCount();
            form.mousePointer()->setValue(MousePointer::Default);
            control<PushButton>(form, "clearButton")->click();
            whenIdle = control<ListView>(form, "resultsList")->rowCount();
        });
        QCOMPARE(whileBusy, 1);
        QCOMPARE(whenIdle, 0);
        QVERIFY(boxes.shown().empty());
    }

    void checkMarksOfRows() {
        ReportsScene scene;
        for (const char* timeIn : {"08:00 AM", "08:01 AM", "08:02 AM", "08:03 AM"})
            scene.addRecord(QStringLiteral("07"), ReportsScene::today(), QString::fromLatin1(timeIn));
        std::vector<bool> afterClick, afterSpace, afterUncheckAll, afterCheckSelected;
        scene.showReports([&](ReportsWindow& form) {
            ListView* list = control<ListView>(form, "resultsList");
            clickCheckBox(list, 1);
            afterClick = checkMarks(list);

            list->setFocus();
            list->selectRow(2);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                              list->visualRect(list->model()->index(3, 2)).center());
            QTest::keyClick(list, Qt::Key_Space);
            afterSpace = checkMarks(list);

            pickFromContextMenu(list, QStringLiteral("Uncheck All Rows"));
            afterUncheckAll = checkMarks(list);
            pickFromContextMenu(list, QStringLiteral("Check Selected Rows"));
            afterCheckSelected = checkMarks(list);
        });
        QCOMPARE(afterClick, (std::vector<bool>{false, true, false, false}));
        QCOMPARE(afterSpace, (std::vector<bool>{false, true, true, true}));
        QCOMPARE(afterUncheckAll, (std::vector<bool>{false, false, false, false}));
        QCOMPARE(afterCheckSelected, (std::vector<bool>{false, false, true, true}));
    }

    // A failed read is reported once, by the step that opened the record set, and nothing else runs.
    void unreadableDatabaseIsReportedOnce() {
        ReportsScene scene;
        scene.addRecord(QStringLiteral("07"), ReportsScene::today(), QStringLiteral("08:00 AM"));
        TestSupport::MessageRecorder boxes;
        std::vector<int> byDate, byPerson, viewAll;
        QString tag;
        scene.showReports([&](ReportsWindow& form) {
            scene.db().close();
            control<PushButton>(form, "searchButton")->click();
            byDate = boxes.errorSteps();
            tag = boxes.errors().empty() ? QString() : boxes.errors().front().text;
            boxes.clear();
            control<QComboBox>(form, "searchByBox")->setCurrentIndex(0);
            control<QLineEdit>(form, "valueBox")->setText(QStringLiteral("07"));
            control<PushButton>(form, "searchButton")->click();
            byPerson = boxes.errorSteps();
            boxes.clear();
            control<PushButton>(form, "viewAllButton")->click();
            viewAll = boxes.errorSteps();
        });
        QCOMPARE(byDate, std::vector<int>{114});
        QVERIFY(tag.contains(QStringLiteral("in Tallyclock2021/08/31.Form4.PushButton1_Click ")));
        QCOMPARE(byPerson, std::vector<int>{108});
        QCOMPARE(viewAll, std::vector<int>{104});
    }
};

TALLYCLOCK_TEST(ReportsWindowTest)
#include "ReportsWindowTest.moc"
#include "platform/ListView.h"
