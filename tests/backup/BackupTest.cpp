#include "BackupFixture.h"
#include "backup/BackupNames.h"
#include "backup/Backups.h"
#include "backup/Restore.h"
#include "common/TestSupport.h"
#include "data/AttendanceDatabase.h"
#include "data/SqliteBackup.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>

#include <csignal>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Adds `count` records straight through the engine, in one transaction.
void addRecords(const QString& database, int count) {
    SQLite::Database db(database.toStdString(), SQLite::OPEN_READWRITE);
    SQLite::Transaction transaction(db);
    SQLite::Statement insert(db,
                             "INSERT INTO tblLogins (EmployeeNo, LogDate, TimeIn) VALUES (?, '2026-12-09', "
                             "'09:00 AM')");
    for (int i = 0; i < count; ++i) {
        insert.bind(1, "person number " + std::to_string(i));
        insert.exec();
        insert.reset();
    }
    transaction.commit();
}

// What another local user does to the private temporary file between its creation and its opening.
enum class Plant { FileByLink, FileByLinkToNothing, FolderByLink, FolderByForeignFolder };
Plant planting = Plant::FileByLink;
QString plantedTarget; // the file or folder the planted link leads to

void plant(const QString& path) {
    const QByteArray file = QFile::encodeName(path);
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const QByteArray target = QFile::encodeName(plantedTarget);
    switch (planting) {
    case Plant::FileByLink:
    case Plant::FileByLinkToNothing:
        ::unlink(file.constData());
        ::symlink(target.constData(), file.constData());
        break;
    case Plant::FolderByLink:
        ::rename(folder.constData(), (folder + "-moved").constData());
        ::symlink(target.constData(), folder.constData());
        break;
    case Plant::FolderByForeignFolder:
        ::rename(folder.constData(), (folder + "-moved").constData());
        ::mkdir(folder.constData(), 0777);
        ::close(::open(file.constData(), O_WRONLY | O_CREAT, 0666));
        break;
    }
}

int modeOf(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? static_cast<int>(info.st_mode & 07777)
                                                                    : -1;
}

} // namespace

class BackupTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_database;

private slots:
    void init() {
        QVERIFY(QDir(m_dir.path()).removeRecursively());
        QVERIFY(QDir().mkpath(m_dir.path()));
        m_database = m_dir.filePath(QStringLiteral("dbData.mdb"));
        TestSupport::copyTemplateTo(m_database);
    }

    void aYearOfStartsKeepsFourteenDailyAndTwelveMonthly() {
        addRecords(m_database, 3);
        const QDate first(2026, 1, 1);
        for (QDate day = first; day < first.addYears(1); day = day.addDays(1)) {
            QCOMPARE(Backups::daily(m_database, day).outcome, Backups::DailyResult::Outcome::Written);
            // Later starts of the same day write nothing.
            const QByteArray before = hashOf(Backups::folderOf(m_database) + '/' + BackupNames::daily(day));
            QCOMPARE(Backups::daily(m_database, day).outcome, Backups::DailyResult::Outcome::AlreadyDone);
            QCOMPARE(hashOf(Backups::folderOf(m_database) + '/' + BackupNames::daily(day)), before);
        }
        QStringList expected{QStringLiteral("backup.log")};
        for (int i = 0; i < 14; ++i)
            expected.append(BackupNames::daily(QDate(2026, 12, 31).addDays(-i)));
        for (int month = 1; month <= 12; ++month)
            expected.append(BackupNames::monthly(QDate(2026, month, 1)));
        expected.sort();
        QCOMPARE(backupsIn(m_database), expected);
        // A monthly copy is the month's first day, and a whole attendance database.
        const QString march = Backups::folderOf(m_database) + QStringLiteral("/dbData-2026-03.mdb");
        QCOMPARE(SqliteBackup::inspect(march).records, 3LL);
    }

    void aFailedBackupLeavesNothingAndIsLogged() {
        QFile live(m_database);
        QVERIFY(live.open(QIODevice::WriteOnly | QIODevice::Truncate));
        live.write(QByteArray(8192, 'x'));
        live.close();
        const QByteArray before = hashOf(m_database);
        const auto result = Backups::daily(m_database, QDate(2026, 12, 9));
        QCOMPARE(result.outcome, Backups::DailyResult::Outcome::Failed);
        QVERIFY2(result.problem.contains(QStringLiteral("failed")), qPrintable(result.problem));
        QCOMPARE(backupsIn(m_database), QStringList{QStringLiteral("backup.log")});
        QFile log(Backups::logOf(m_database));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromUtf8(log.readAll()).contains(result.problem));
        QCOMPARE(hashOf(m_database), before);
    }

    void aBackupDuringPunchesHoldsEveryAcknowledgedPunch() {
        int acks[2];
        int stop[2];
        QVERIFY(::pipe(acks) == 0 && ::pipe(stop) == 0);
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            // Another copy of the program, punching as fast as it can; each number is written to
            // the pipe once its punch is committed.
            ::close(acks[0]);
            ::fcntl(stop[0], F_SETFL, O_NONBLOCK);
            AttendanceDatabase db;
            db.open(m_database);
            char byte = 0;
            for (int i = 1; ::read(stop[0], &byte, 1) != 1; ++i) {
                db.punchIn(QString::number(i), QDate(2026, 12, 9), QStringLiteral("09:00 AM"));
                if (::write(acks[1], &i, sizeof i) != sizeof i)
                    break;
            }
            ::_exit(0);
        }
        ::close(acks[1]);
        int acknowledged = 0;
        while (acknowledged < 150)
            QVERIFY(::read(acks[0], &acknowledged, sizeof acknowledged) == sizeof acknowledged);
        const QString copy = m_dir.filePath(QStringLiteral("copy.mdb"));
        Backups::write(m_database, copy);
        int later = acknowledged;
        QVERIFY(::read(acks[0], &later, sizeof later) == sizeof later); // still punching afterwards
        QVERIFY(::write(stop[1], "x", 1) == 1);
        int status = 0;
        ::waitpid(child, &status, 0);
        ::close(acks[0]);
        ::close(stop[0]);
        ::close(stop[1]);
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);

        // One state of the file: the punches 1..n without a gap, n at least every acknowledged one.
        const SqliteBackup::Contents contents = SqliteBackup::inspect(copy);
        QVERIFY2(contents.records >= acknowledged, qPrintable(QString::number(contents.records)));
        SQLite::Database db(copy.toStdString(), SQLite::OPEN_READONLY);
        QCOMPARE(db.execAndGet("SELECT max(CAST(EmployeeNo AS INTEGER)) FROM tblLogins").getInt64(),
                 contents.records);
        QCOMPARE(db.execAndGet("SELECT count(DISTINCT EmployeeNo) FROM tblLogins").getInt64(),
                 contents.records);
    }

    // Another user swaps the temporary file or its folder for a link, or for a file of theirs: nothing
    // is written through the link, nothing is created where it leads, and nothing is published.
    void aLinkPlantedBeforeTheCopyIsNotFollowed_data() {
        QTest::addColumn<bool>("restoring");
        QTest::addColumn<int>("planted");
        for (const bool restoring : {false, true}) {
            const char* op = restoring ? "restore: " : "backup: ";
            QTest::addRow("%sfile by a link to a file", op) << restoring << int(Plant::FileByLink);
            QTest::addRow("%sfile by a link to nothing", op) << restoring << int(Plant::FileByLinkToNothing);
            QTest::addRow("%sfolder by a link", op) << restoring << int(Plant::FolderByLink);
            QTest::addRow("%sfolder by another folder", op) << restoring << int(Plant::FolderByForeignFolder);
        }
    }

    void aLinkPlantedBeforeTheCopyIsNotFollowed() {
        QFETCH(bool, restoring);
        QFETCH(int, planted);
        planting = Plant(planted);
        const QString elsewhere = m_dir.filePath(QStringLiteral("elsewhere"));
        QVERIFY(QDir().mkpath(elsewhere));
        const QString victim = elsewhere + QStringLiteral("/victim");
        // An empty file: the engine would write a whole database into it.
        QFile file(victim);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        plantedTarget = planting == Plant::FileByLink            ? victim
                        : planting == Plant::FileByLinkToNothing ? elsewhere + QStringLiteral("/new.mdb")
                                                                 : elsewhere;
        addRecords(m_database, 2);
        const QString copy = m_dir.filePath(QStringLiteral("copy.mdb"));
        Backups::write(m_database, copy);
        const QByteArray live = hashOf(m_database);

        SafeFiles::PrivateFile::setAfterCreate(plant);
        const auto unhook = qScopeGuard([] { SafeFiles::PrivateFile::setAfterCreate(nullptr); });
        const QString target = Backups::folderOf(m_database) + QStringLiteral("/manual.mdb");
        SafeFiles::ensureFolder(Backups::folderOf(m_database));
        try {
            if (restoring)
                Restore::restore(copy, m_database, QDateTime(QDate(2026, 12, 9), QTime(9, 0)));
            else
                Backups::write(m_database, target);
            QFAIL("the planted file was written");
        } catch (const std::runtime_error&) {
        }
        QCOMPARE(QDir(elsewhere).entryList(QDir::Files | QDir::System | QDir::Hidden),
                 QStringList{QStringLiteral("victim")});
        QCOMPARE(QFileInfo(victim).size(), 0);
        QVERIFY(!QFileInfo::exists(target));
        QCOMPARE(hashOf(m_database), live);
    }

    // A copy in the shared folder is as open as the live file beside it; one taken out of it is
    // this user's alone, whatever the umask, since it holds every password hash.
    void aCopysModes_data() {
        QTest::addColumn<int>("modes");
        QTest::addColumn<int>("expected");
        QTest::newRow("in the shared folder") << int(SafeFiles::Modes::OfFolder) << 0666;
        QTest::newRow("out of it") << int(SafeFiles::Modes::OfUser) << 0600;
    }

    void aCopysModes() {
        QFETCH(int, modes);
        QFETCH(int, expected);
        QVERIFY(QFile::setPermissions(m_dir.path(), QFileDevice::Permissions(0x7777)));
        const mode_t mask = ::umask(022);
        const auto restoreMask = qScopeGuard([&] { ::umask(mask); });
        const QString copy = m_dir.filePath(QStringLiteral("copy.mdb"));
        Backups::write(m_database, copy, SafeFiles::Modes(modes));
        QCOMPARE(modeOf(copy), expected);
        QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("*partial*")}, QDir::AllEntries | QDir::Hidden),
                 QStringList());
    }

    void aFullDiskLeavesTheLiveFileIntact() {
        if (::geteuid() != 0)
            QSKIP("mounting a small file system needs root");
        QTemporaryDir small;
        if (::mount("tmpfs", QFile::encodeName(small.path()).constData(), "tmpfs", 0, "size=200k") != 0)
            QSKIP("mounting a small file system is not permitted here");
        const auto unmount =
            qScopeGuard([&] { ::umount2(QFile::encodeName(small.path()).constData(), MNT_DETACH); });
        const QString live = small.filePath(QStringLiteral("dbData.mdb"));
        TestSupport::copyTemplateTo(live);
        // More than half the file system, so that no copy fits, and room left for a punch.
        qint64 records = 0;
        for (; QFileInfo(live).size() <= 110 * 1024; records += 100)
            addRecords(live, 100);
        const QByteArray before = hashOf(live);

        const auto result = Backups::daily(live, QDate(2026, 12, 9));
        QCOMPARE(result.outcome, Backups::DailyResult::Outcome::Failed);
        QCOMPARE(hashOf(live), before);
        QCOMPARE(SqliteBackup::inspect(live).records, records);
        // Nothing half-written stays behind to fill the disk, and the next start tries again.
        QCOMPARE(backupsIn(live), QStringList{QStringLiteral("backup.log")});
        QVERIFY(!QFileInfo::exists(result.path));
        AttendanceDatabase db;
        db.open(live);
        db.punchIn(QStringLiteral("7"), QDate(2026, 12, 9), QStringLiteral("10:00 AM"));
    }
};

TALLYCLOCK_TEST(BackupTest)
#include "BackupTest.moc"
