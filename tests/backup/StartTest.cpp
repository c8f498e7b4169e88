#include "backup/BackupNames.h"
#include "backup/Backups.h"
#include "backup/InstanceLock.h"
#include "common/TestSupport.h"
#include "core/Form1.h"
#include "core/Globals.h"
#include "platform/SystemClock.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace {

QStringList backupsIn(const QString& database) {
    return QDir(Backups::folderOf(database)).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

} // namespace

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
                Form1 window;
                window.Form_Load();
                window.Form_QueryUnload();
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
            Form1 window;
            window.Form_Load();
            QVERIFY(!InstanceLock::acquire(common.database(), InstanceLock::Mode::Exclusive, 0));
            // A second copy starts beside the first.
            QVERIFY(InstanceLock::acquire(common.database(), InstanceLock::Mode::Shared, 0));
        }
        QVERIFY(InstanceLock::acquire(common.database(), InstanceLock::Mode::Exclusive, 0));
    }

    void noCopyOfAFileThatDoesNotOpen() {
        TestSupport::CommonFolder common;
        TestSupport::copyTemplateTo(common.database());
        QFile live(common.database());
        QVERIFY(live.open(QIODevice::WriteOnly | QIODevice::Truncate));
        live.write(QByteArray(4096, 'x'));
        live.close();
        TestSupport::MessageRecorder boxes;
        SystemClock::setFixed(QDateTime(QDate(2026, 12, 9), QTime(9, 0)));
        {
            Form1 window;
            window.Form_Load();
        }
        QCOMPARE(boxes.errorSteps(), (std::vector<int>{176, 180}));
        QCOMPARE(backupsIn(common.database()), QStringList());
    }
};

TALLYCLOCK_TEST(StartTest)
#include "StartTest.moc"
