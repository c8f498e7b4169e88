#include "reports/ReportsScene.h"

#include "platform/PushButton.h"

#include <QTest>

using TestSupport::control;

class RecordDeletionTest : public QObject {
    Q_OBJECT
private slots:
    void selectedRecordLeavesDatabaseAndBothLists() {
        ReportsScene scene;
        scene.addPerson(QStringLiteral("07"), QStringLiteral("Ann"));
        scene.addRecord(QStringLiteral("07"), ReportsScene::today(), QStringLiteral("08:00 AM"),
                        QStringLiteral("05:00 PM"));
        scene.addRecord(QStringLiteral("08"), ReportsScene::today(), QStringLiteral("08:00 AM"));
        scene.addRecord(QStringLiteral("07"), QDate(2021, 9, 3), QStringLiteral("08:00 AM"),
                        QStringLiteral("05:00 PM"));
        scene.main->listLogins();
        TestSupport::MessageRecorder boxes;
        QStringList left;
        scene.showReports([&](ReportsWindow& form) {
            control<ListView>(form, "resultsList")->selectRow(0);
            control<PushButton>(form, "deleteButton")->click();
            left = ReportsScene::column(control<ListView>(form, "resultsList"), 0);
        });
        QVERIFY(boxes.shown().empty());
        QCOMPARE(left, QStringList{"08"});
        QCOMPARE(scene.storedRecords(QStringLiteral("07")), 1); // the one of 3 September stays
        QCOMPARE(ReportsScene::column(control<ListView>(*scene.main, "todayList"), 0), QStringList{"08"});
    }

    // Two records alike in person, date and time-in are one record to the statement.
    void identicalOpenRecordsGoTogether() {
        ReportsScene scene;
        scene.addRecord(QStringLiteral("07"), ReportsScene::today(), QStringLiteral("08:00 AM"));
        scene.addRecord(QStringLiteral("07"), ReportsScene::today(), QStringLiteral("08:00 AM"));
        scene.addRecord(QStringLiteral("07"), ReportsScene::today(), QStringLiteral("08:01 AM"));
        TestSupport::MessageRecorder boxes;
        QStringList left;
        scene.showReports([&](ReportsWindow& form) {
            control<ListView>(form, "resultsList")->selectRow(1);
            control<PushButton>(form, "deleteButton")->click();
            left = ReportsScene::column(control<ListView>(form, "resultsList"), 5);
        });
        QVERIFY(boxes.shown().empty());
        QCOMPARE(left, (QStringList{"08:00 AM", "08:01 AM"}));
        QCOMPARE(scene.storedRecords(QStringLiteral("07")), 1);
        QCOMPARE(ReportsScene::column(control<ListView>(*scene.main, "todayList"), 5),
                 QStringList{"08:01 AM"});
    }

    void apostropheNeverReachesAnotherPerson() {
        ReportsScene scene;
        scene.addRecord(QStringLiteral("O'Neil"), ReportsScene::today(), QStringLiteral("08:00 AM"));
        scene.addRecord(QStringLiteral("O"), ReportsScene::today(), QStringLiteral("08:00 AM"));
        scene.addRecord(QStringLiteral("x' OR '1'='1"), ReportsScene::today(), QStringLiteral("08:00 AM"));
        TestSupport::MessageRecorder boxes;
        scene.showReports([&](ReportsWindow& form) {
            for (int row = control<ListView>(form, "resultsList")->rowCount() - 1; row >= 0; --row) {
                if (control<ListView>(form, "resultsList")->itemText(row) != QLatin1String("O")) {
                    control<ListView>(form, "resultsList")->selectRow(row);
                    control<PushButton>(form, "deleteButton")->click();
                }
            }
        });
        QVERIFY(boxes.shown().empty());
        QCOMPARE(scene.storedRecords(QStringLiteral("O'Neil")), 0);
        QCOMPARE(scene.storedRecords(QStringLiteral("x' OR '1'='1")), 0);
        QCOMPARE(scene.storedRecords(QStringLiteral("O")), 1);
    }

    void noSelectionDeletesNothing() {
        ReportsScene scene;
        scene.addRecord(QStringLiteral("07"), ReportsScene::today(), QStringLiteral("08:00 AM"));
        TestSupport::MessageRecorder boxes;
        scene.showReports([&](ReportsWindow& form) {
            control<PushButton>(form, "clearButton")->click();
            // Written behind the main window's back: only the rebuilt list can show it.
            scene.addRecord(QStringLiteral("09"), ReportsScene::today(), QStringLiteral("09:00 AM"));
            control<PushButton>(form, "deleteButton")->click();
        });
        // The date cannot be read from no row, so no statement runs; the list is still rebuilt.
        QCOMPARE(boxes.errorSteps(), (std::vector<int>{100, 102, 104, 106, 110}));
        QVERIFY(boxes.errors().at(0).text.startsWith(QStringLiteral(
            "No record is selected in the list.\r\nin Tallyclock2021/08/31.Form4.PushButton6_Click ")));
        QCOMPARE(scene.storedRecords(QStringLiteral("07")), 1);
        QCOMPARE(ReportsScene::column(control<ListView>(*scene.main, "todayList"), 0),
                 (QStringList{"07", "09"}));
    }

    void unreadableDateDeletesNothing() {
        ReportsScene scene;
        scene.addRecord(QStringLiteral("07"), ReportsScene::today(), QStringLiteral("08:00 AM"));
        TestSupport::MessageRecorder boxes;
        scene.showReports([&](ReportsWindow& form) {
            control<ListView>(form, "resultsList")->setSubItem(0, 4, QStringLiteral("14th"));
            control<ListView>(form, "resultsList")->selectRow(0);
            control<PushButton>(form, "deleteButton")->click();
        });
        QCOMPARE(boxes.errorSteps(), std::vector<int>{106});
        QVERIFY(boxes.errors().at(0).text.contains(QStringLiteral("\"14th\"")));
        QCOMPARE(scene.storedRecords(QStringLiteral("07")), 1);
    }

    // A failed delete still takes the row off the list; the record shows again at the next search.
    void failedDeleteKeepsTheRecord() {
        ReportsScene scene;
        scene.addRecord(QStringLiteral("07"), ReportsScene::today(), QStringLiteral("08:00 AM"));
        TestSupport::MessageRecorder boxes;
        int rowsAfter = -1;
        scene.showReports([&](ReportsWindow& form) {
            const QString path = scene.db().path();
            scene.db().close();
            control<ListView>(form, "resultsList")->selectRow(0);
            control<PushButton>(form, "deleteButton")->click();
            rowsAfter = control<ListView>(form, "resultsList")->rowCount();
            scene.db().open(path);
        });
        QCOMPARE(boxes.errorSteps(), (std::vector<int>{108, 112}));
        QCOMPARE(rowsAfter, 0);
        QCOMPARE(scene.storedRecords(QStringLiteral("07")), 1);
    }

    // The reports window works on the shared connection alone; without a main window there is
    // no list of today to rebuild.
    void deletesWithoutMainWindow() {
        TestSupport::CommonFolder common;
        TestSupport::copyTemplateTo(common.database());
        Globals::createConnection().open(common.database());
        SystemClock::setFixed(QDateTime(ReportsScene::today(), QTime(9, 30)));
        Globals::connection().punchIn(QStringLiteral("07"), ReportsScene::today(),
                                      QStringLiteral("08:00 AM"));
        TestSupport::MessageRecorder boxes;
        ReportsWindow form;
        int rowsBefore = -1;
        TestSupport::whenModalShows([&](QWidget*) {
            rowsBefore = control<ListView>(form, "resultsList")->rowCount();
            control<ListView>(form, "resultsList")->selectRow(0);
            control<PushButton>(form, "deleteButton")->click();
            form.reject();
        });
        form.showModal();
        const int left = Globals::connection().loginsOn(ReportsScene::today()).rowCount();
        Globals::releaseConnection();
        SystemClock::clearFixed();
        QCOMPARE(rowsBefore, 1);
        QVERIFY(boxes.shown().empty());
        QCOMPARE(left, 0);
    }
};

TALLYCLOCK_TEST(RecordDeletionTest)
#include "RecordDeletionTest.moc"
#include "platform/ListView.h"
