#include "BackupFixture.h"
#include "backup/BackupNames.h"
#include "backup/Backups.h"
#include "backup/InstanceLock.h"
#include "common/TestSupport.h"
#include "core/Globals.h"
#include "core/MainWindow.h"
#include "data/AttendanceDatabase.h"
#include "platform/SystemClock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

class StartTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        Globals::releaseConnection();
        SystemClock::clearFixed();
    }

    void aWeekOfStartsLeavesSevenDailyCopies() {
        TestSupport::CommonFolder common;
        TestSupport::MessageRecorder boxes;
        QStringList expected{QStringLiteral("backup.log"), QStringLiteral("dbData-2026-12.mdb")};
        for (int day = 1; day <= 7; ++day) {
            const QDate today(2026, 12, day);
            expected.append(BackupNames::daily(today));
            // Two users start the program the same morning: one copy.
            for (const QTime& time : {QTime(7, 58), QTime(8, 30)}) {
                SystemClock::setFixed(QDateTime(today, time));
                MainWindow window;
                TestSupport::startWindow(window);
                window.releaseDatabase();
            }
        }
        expected.sort();
        QCOMPARE(backupsIn(common.database()), expected);
        QCOMPARE(boxes.texts(), std::vector<QString>{});
    }

    void aRunningWindowKeepsARestoreOut() {
        TestSupport::CommonFolder common;
        TestSupport::MessageRecorder boxes;
        SystemClock::setFixed(QDateTime(QDate(2026, 12, 9), QTime(9, 0)));
        {
            MainWindow window;
            window.start();
            QVERIFY(!InstanceLock::acquire(common.database(), InstanceLock::Mode::Exclusive, 0));
            // A second copy starts beside the first.
            QVERIFY(InstanceLock::acquire(common.database(), InstanceLock::Mode::Shared, 0));
        }
        QVERIFY(InstanceLock::acquire(common.database(), InstanceLock::Mode::Exclusive, 0));
    }

    // A window started while a restore holds the file waits for it: no punch until it has the lock,
    // then it opens the database by itself, and from then on keeps restores out.
    void aWindowStartedDuringARestoreWaitsForIt() {
        TestSupport::CommonFolder common;
        TestSupport::copyTemplateTo(common.database());
        TestSupport::MessageRecorder boxes;
        SystemClock::setFixed(QDateTime(QDate(2026, 12, 9), QTime(9, 0)));
        auto restoring = InstanceLock::acquire(common.database(), InstanceLock::Mode::Exclusive, 0);
        QVERIFY(restoring);
        MainWindow window;
        window.start();
        QVERIFY(!Globals::connection().isOpen());
        window.punch();
        QCOMPARE(boxes.texts(), std::vector<QString>{QStringLiteral(
                                    "The attendance database is being restored. Punches are taken again "
                                    "once the restore is done.")});
        restoring.reset();
        QTRY_VERIFY_WITH_TIMEOUT(Globals::connection().isOpen(), 5000);
        QVERIFY(!InstanceLock::acquire(common.database(), InstanceLock::Mode::Exclusive, 0));
        QCOMPARE(boxes.texts().size(), size_t{1});
        window.releaseDatabase();
    }

    // A damaged file is named in the box with the newest backup, and is not backed up over the good
    // copies; a file that is no database at all has no backup to name yet.
    void aDamagedFileNamesTheNewestBackup() {
        TestSupport::CommonFolder common;
        TestSupport::copyTemplateTo(common.database());
        {
            AttendanceDatabase db;
            db.open(common.database());
            for (int i = 0; i < 300; ++i)
                db.punchIn(QString::number(i), QDate(2026, 12, 8), QStringLiteral("09:00 AM"));
        }
        const auto start = [&](int day) {
            SystemClock::setFixed(QDateTime(QDate(2026, 12, day), QTime(9, 0)));
            TestSupport::MessageRecorder boxes;
            MainWindow window;
            QSignalSpy checked(&window, &MainWindow::fileChecked);
            window.start();
            // The window shows before the whole file is checked; the box follows.
            if (checked.isEmpty())
                checked.wait(20000);
            window.releaseDatabase();
            return boxes.errors();
        };
        QCOMPARE(start(8).size(), 0u);
        QVERIFY(damageLastPage(common.database()));

        const auto errors = start(9);
        QCOMPARE(errors.size(), 1u);
        const QString newest =
            Backups::folderOf(common.database()) + QStringLiteral("/dbData-2026-12-08.mdb");
        QVERIFY2(errors[0].text.contains(QStringLiteral("is damaged")), qPrintable(errors[0].text));
        QVERIFY2(errors[0].text.contains(QStringLiteral("The newest backup is ") + newest),
                 qPrintable(errors[0].text));
        QVERIFY(errors[0].text.contains(QStringLiteral("at line 176")));
        QVERIFY(!QFileInfo::exists(Backups::folderOf(common.database()) +
                                   QStringLiteral("/dbData-2026-12-09.mdb")));

        QVERIFY(QDir(Backups::folderOf(common.database())).removeRecursively());
        QFile live(common.database());
        QVERIFY(live.open(QIODevice::WriteOnly | QIODevice::Truncate));
        live.write(QByteArray(4096, 'x'));
        live.close();
        const auto noDatabase = start(10);
        QCOMPARE(noDatabase.size(), 2u); // the open, and the list on the closed connection
        QVERIFY2(noDatabase[0].text.contains(QStringLiteral("There is no backup of it")),
                 qPrintable(noDatabase[0].text));
        QCOMPARE(QDir(Backups::folderOf(common.database())).entryList(QDir::Files), QStringList());
    }
};

TALLYCLOCK_TEST(StartTest)
#include "StartTest.moc"
