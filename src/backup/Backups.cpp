#include "backup/Backups.h"

#include "backup/BackupNames.h"
#include "backup/SafeFiles.h"
#include "core/SharedFolder.h"
#include "data/AttendanceDatabase.h"
#include "data/SettingsStore.h"
#include "data/SqliteBackup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtDebug>

#include <cerrno>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace Backups {

namespace {

QString inFolder(const QString& database, const QString& name) {
    return folderOf(database) + QLatin1Char('/') + name;
}

QStringList namesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

// Keeps today's copy a second time as the month's: a hard link costs no space; where links are
// not possible, a second backup.
void keepAsMonthly(const QString& database, const QString& dailyPath, const QDate& today) {
    const QString monthlyPath = inFolder(database, BackupNames::monthly(today));
    if (QFileInfo::exists(monthlyPath))
        return;
    if (::link(QFile::encodeName(dailyPath).constData(), QFile::encodeName(monthlyPath).constData()) == 0 ||
        errno == EEXIST)
        return;
    write(database, monthlyPath);
}

void rotate(const QString& database, const QDate& today) {
    const QString folder = folderOf(database);
    for (const QString& name : BackupNames::expired(namesIn(folder), today)) {
        if (!QFile::remove(inFolder(database, name)))
            log(database, Severity::Failure,
                QStringLiteral("The old backup %1 could not be removed.").arg(name));
    }
    SafeFiles::sweepTemporaries(folder);
}

} // namespace

QString folderOf(const QString& database) {
    return SqliteBackup::backupsFolderOf(database);
}

QString logOf(const QString& database) {
    return inFolder(database, QStringLiteral("backup.log"));
}

void write(const QString& database, const QString& target, SafeFiles::Modes modes) {
    SafeFiles::PrivateFile copy(QFileInfo(target).absolutePath());
    SqliteBackup::copy(database, copy.path(), [&] { copy.check(); });
    copy.publish(target, modes, SafeFiles::Existing::Refuse);
}

QString manualPath(const QString& database, const QDateTime& now) {
    return inFolder(database, BackupNames::manual(now));
}

QString keptBeforeRestorePath(const QString& database, const QDateTime& now) {
    return inFolder(database, QStringLiteral("dbData-before-restore-%1.mdb")
                                  .arg(now.toString(QStringLiteral("yyyy-MM-dd-HHmmss"))));
}

DailyResult daily(const QString& database, const QDate& today) {
    DailyResult result{DailyResult::Outcome::Written, inFolder(database, BackupNames::daily(today)),
                       QString()};
    try {
        SafeFiles::ensureFolder(folderOf(database));
        if (QFileInfo::exists(result.path)) {
            result.outcome = DailyResult::Outcome::AlreadyDone;
        } else {
            write(database, result.path);
            log(database, Severity::Info, QStringLiteral("Wrote the backup %1.").arg(result.path));
        }
        keepAsMonthly(database, result.path, today);
        rotate(database, today);
    } catch (const std::exception& e) {
        result.outcome = DailyResult::Outcome::Failed;
        result.problem = QString::fromUtf8(e.what());
        log(database, Severity::Failure,
            QStringLiteral("The daily backup failed; the next start tries again: %1").arg(result.problem));
    }
    return result;
}

namespace {
// What a damaged file's box says: the damage and the newest backup to put back. Nothing for a file that
// is not damaged.
QString damageOf(const QString& database, const SqliteBackup::Health& health, const QDate& today) {
    if (health.state != SqliteBackup::Health::State::Damaged)
        return {};
    const QString backup = newest(database, today);
    QString text = QStringLiteral("The database file %1 is damaged: %2.").arg(database, health.problem);
    if (backup.isEmpty())
        return text + QStringLiteral(" There is no backup of it in %1.").arg(folderOf(database));
    return text + QStringLiteral(" The newest backup is %1. To put it back, close every copy of Tallyclock "
                                 "Suite and run: tallyclock-suite restore \"%1\" (README, section Backups).")
                      .arg(backup);
}
} // namespace

void openLiveDatabase(AttendanceDatabase& db, const QString& database, const QDate& today) {
    // A database on a server is kept safe by the server's own tools; the file is not used.
    if (const QString url = SettingsStore::databaseUrl(); !url.isEmpty()) {
        db.openServer(url);
        return;
    }
    try {
        db.open(database);
    } catch (const std::exception& e) {
        const QString damage = damageOf(database, SqliteBackup::quickCheck(database), today);
        throw std::runtime_error((damage.isEmpty() ? QString::fromUtf8(e.what()) : damage).toStdString());
    }
}

QString checkAndBackUp(const QString& database, const QDate& today) {
    try {
        const SqliteBackup::Health health = SqliteBackup::quickCheck(database);
        if (health.state == SqliteBackup::Health::State::Sound)
            daily(database, today);
        return damageOf(database, health, today);
    } catch (const std::exception& e) {
        log(database, Severity::Failure, QString::fromUtf8(e.what()));
        return {};
    }
}

QString newest(const QString& database, const QDate& today) {
    const QString name = BackupNames::newest(namesIn(folderOf(database)), today);
    return name.isEmpty() ? QString() : inFolder(database, name);
}

void log(const QString& database, Severity severity, const QString& message) {
    if (severity == Severity::Failure)
        qWarning().noquote() << "Tallyclock Suite backup:" << message;
    const QString path = logOf(database);
    struct stat folder {};
    if (::stat(QFile::encodeName(folderOf(database)).constData(), &folder) != 0)
        return;
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC,
               SharedFolder::fileModeFor(folder.st_mode));
    if (fd < 0)
        return;
    if (::fchmod(fd, SharedFolder::fileModeFor(folder.st_mode)) != 0) {
        // Someone else's log: it already has its modes.
    }
    // The real time of the event, whatever clock the program shows.
    const QByteArray line =
        (QDateTime::currentDateTime().toString(Qt::ISODate) + QLatin1Char(' ') + message + QLatin1Char('\n'))
            .toUtf8();
    // One write of the whole line, so that lines of two copies of the program never interleave.
    if (::write(fd, line.constData(), static_cast<size_t>(line.size())) < 0) {
        // A full disk: the warning above is all that can be said.
    }
    ::close(fd);
}

} // namespace Backups
