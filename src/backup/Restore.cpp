#include "backup/Restore.h"

#include "backup/Backups.h"
#include "backup/InstanceLock.h"
#include "backup/SafeFiles.h"
#include "data/AttendanceDatabase.h"
#include "data/SchemaUpgrades.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace Restore {

namespace {

std::runtime_error failure(const QString& description) {
    return std::runtime_error(description.toStdString());
}

std::unique_ptr<InstanceLock> exclusiveLock(const QString& database) {
    std::unique_ptr<InstanceLock> lock = InstanceLock::acquire(database, InstanceLock::Mode::Exclusive, 0);
    if (!lock)
        throw failure(QStringLiteral("Tallyclock Suite is running on this computer. Close every copy of it "
                                     "(the punch clock too), then restore again."));
    return lock;
}

// The files beside a database that belong to its state: a journal left by a crashed copy holds
// half a transaction, and goes with the file it belongs to.
const QString kCompanions[] = {QStringLiteral("-journal"), QStringLiteral("-wal")};

// Copies the bytes of the file `from` to the descriptor `to`, without following a link at `from`.
bool copyBytes(const QString& from, int to) {
    const int in = ::open(QFile::encodeName(from).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (in < 0)
        return false;
    char buffer[65536];
    ssize_t got = 0;
    bool written = true;
    while (written && (got = ::read(in, buffer, sizeof buffer)) > 0)
        written = ::write(to, buffer, static_cast<size_t>(got)) == got;
    ::close(in);
    return written && got == 0;
}

// Keeps the live file in the backups folder: a second name for the same file, so the bytes stay
// exactly as they were and no space is needed. Its journal moves along. `kept` gets the name as
// soon as the file is there.
void keepLive(const QString& database, const QDateTime& now, QString& kept) {
    QString name = Backups::keptBeforeRestorePath(database, now);
    for (int n = 2; QFileInfo::exists(name) || QFileInfo(name).isSymLink(); ++n)
        name = Backups::keptBeforeRestorePath(database, now)
                   .replace(QStringLiteral(".mdb"), QStringLiteral("-%1.mdb").arg(n));
    if (::link(QFile::encodeName(database).constData(), QFile::encodeName(name).constData()) != 0) {
        // A file system without links: the bytes as they are (no copy of the program runs, and the
        // file may be too damaged for the engine to read it).
        SafeFiles::PrivateFile copy(Backups::folderOf(database));
        if (!copyBytes(database, copy.descriptor()))
            throw failure(QStringLiteral("The database %1 cannot be kept as %2.").arg(database, name));
        copy.publish(name, SafeFiles::Modes::OfFolder, SafeFiles::Existing::Refuse);
    }
    kept = name;
    for (const QString& suffix : kCompanions) {
        if (QFileInfo::exists(database + suffix) && !QFile::rename(database + suffix, kept + suffix))
            throw failure(
                QStringLiteral("The journal %1 cannot be kept beside %2.").arg(database + suffix, kept));
    }
    QFile::remove(database + QStringLiteral("-shm"));
}

void putJournalsBack(const QString& database, const QString& kept) {
    if (kept.isEmpty())
        return;
    for (const QString& suffix : kCompanions) {
        if (QFileInfo::exists(kept + suffix))
            QFile::rename(kept + suffix, database + suffix);
    }
}

} // namespace

Report restore(const QString& file, const QString& database, const QDateTime& now) {
    const QString dataFolder = QFileInfo(database).absolutePath();
    if (!QFileInfo(dataFolder).isDir())
        throw failure(
            QStringLiteral("The data folder %1 does not exist. Start Tallyclock Suite once to create "
                           "it, close it, then restore again.")
                .arg(dataFolder));
    Report report;
    report.checked = SqliteBackup::inspect(file);
    if (report.checked.schemaVersion > SchemaUpgrades::latestVersion())
        throw failure(SchemaUpgrades::newerThanProgram(file, report.checked.schemaVersion));
    // Refuse early; the lock is asked for again, and held, for the swap itself.
    exclusiveLock(database);

    // The copy is made in a private folder among the backups (the same file system as the live file,
    // so that it can be moved into place), and opened only without following links.
    SafeFiles::ensureFolder(Backups::folderOf(database));
    SafeFiles::PrivateFile copy(Backups::folderOf(database));
    const QString temporary = copy.path();
    SqliteBackup::copy(file, temporary, [&] { copy.check(); });
    // The catalogue's own open: what the tables must hold, and the upgrade of an older schema (or the
    // refusal of a newer one), done on the copy.
    try {
        AttendanceDatabase db;
        db.open(temporary);
    } catch (const std::exception& e) {
        throw failure(QString::fromUtf8(e.what()).replace(temporary, file));
    }
    copy.check();
    report.restored = SqliteBackup::inspect(temporary);

    const std::unique_ptr<InstanceLock> lock = exclusiveLock(database);
    try {
        if (QFileInfo::exists(database))
            keepLive(database, now, report.kept);
        copy.publish(database, SafeFiles::Modes::OfFolder, SafeFiles::Existing::Replace);
    } catch (...) {
        putJournalsBack(database, report.kept);
        throw;
    }
    Backups::log(database, Backups::Severity::Info,
                 QStringLiteral("Restored %1; the previous database was kept as %2.").arg(file, report.kept));
    return report;
}

} // namespace Restore
