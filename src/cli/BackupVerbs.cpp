#include "backup/Backups.h"
#include "backup/InstanceLock.h"
#include "backup/Restore.h"
#include "cli/Verb.h"
#include "core/MainWindow.h"
#include "data/PostgresEngine.h"
#include "data/SettingsStore.h"
#include "data/SqliteBackup.h"
#include "platform/SystemClock.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>
#include <stdexcept>

namespace CommandLine {

namespace {

QString shellQuoted(const QString& text) {
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

// A server's data is saved with the server's own tools; says which command does it.
int onServer(const Invocation& call, const QString& url, const QString& tool, const QString& command) {
    // Without its password: a command line ends up in shell histories and on screens. pg_dump asks
    // for the password itself, or reads it from ~/.pgpass.
    const QString address = shellQuoted(PostgresEngine::shownAddress(url));
    call.out() << "The attendance database is on a PostgreSQL server; " << tool << ":\n  "
               << QString(command).replace(QStringLiteral("URL"), address) << '\n';
    if (PostgresEngine::carriesPassword(url))
        call.out() << "It asks for the password of the server (or reads it from ~/.pgpass).\n";
    call.err() << "tallyclock-suite: " << call.verb() << ": nothing was done\n";
    return DatabaseFailure;
}

int backup(const Invocation& call) {
    const QString now = SystemClock::now().toString(QStringLiteral("yyyy-MM-dd"));
    if (const QString url = SettingsStore::databaseUrl(); !url.isEmpty()) {
        const QString file =
            call.argumentCount() > 0 ? call.argument(0) : QStringLiteral("tallyclock-%1.dump").arg(now);
        return onServer(
            call, url, QStringLiteral("back it up with pg_dump"),
            QStringLiteral("pg_dump --format=custom --file=%1 --dbname=URL").arg(shellQuoted(file)));
    }
    const QString live = MainWindow::liveDatabasePath();
    if (!QFileInfo(live).isFile())
        throw std::runtime_error(
            QStringLiteral("The database file %1 does not exist.").arg(live).toStdString());
    const std::unique_ptr<InstanceLock> lock = InstanceLock::holdForCommand(live);
    QString target;
    SafeFiles::Modes modes = SafeFiles::Modes::OfFolder;
    if (call.argumentCount() > 0) {
        target = QFileInfo(call.argument(0)).absoluteFilePath();
        if (QFileInfo::exists(target) || QFileInfo(target).isSymLink())
            throw UsageError(
                QStringLiteral("backup: %1 exists already; give the name of a new file").arg(target));
        // A copy outside the shared folder is this user's file, made like any other.
        modes = SafeFiles::Modes::OfUser;
    } else {
        SafeFiles::ensureFolder(Backups::folderOf(live));
        target = Backups::manualPath(live, SystemClock::now());
    }
    Backups::write(live, target, modes);
    const SqliteBackup::Contents contents = SqliteBackup::inspect(target);
    call.out() << "Wrote the backup " << target << "\n  persons: " << contents.persons
               << "\n  records: " << contents.records << '\n';
    return Success;
}

int restore(const Invocation& call) {
    const QString file = QFileInfo(call.argument(0)).absoluteFilePath();
    if (const QString url = SettingsStore::databaseUrl(); !url.isEmpty())
        return onServer(
            call, url, QStringLiteral("restore a pg_dump file with pg_restore"),
            QStringLiteral("pg_restore --clean --if-exists --dbname=URL %1").arg(shellQuoted(file)));
    const QString live = MainWindow::liveDatabasePath();
    const Restore::Report report = Restore::restore(file, live, SystemClock::now());
    QTextStream& out = call.out();
    out << "Checked " << file << ": an intact attendance database with " << report.checked.persons
        << " persons and " << report.checked.records << " records, schema version "
        << report.checked.schemaVersion << ".\n";
    if (report.restored.schemaVersion != report.checked.schemaVersion)
        out << "Upgraded the copy to schema version " << report.restored.schemaVersion << ".\n";
    if (report.kept.isEmpty())
        out << "There was no database to keep.\n";
    else
        out << "Kept the previous database as " << report.kept << ".\n";
    out << "Restored it as " << live << ".\n";
    return Success;
}

} // namespace

Verb backupVerb() {
    return {
        QStringLiteral("backup"),
        {QStringLiteral("[FILE]")},
        {},
        QStringLiteral("Write a backup of the attendance database now"),
        QStringLiteral("A consistent copy, even while the punch clock runs: into FILE (a new file), or into\n"
                       "the folder backups beside the database, named by day and time. Prints where it\n"
                       "went and how many persons and records it holds. On a PostgreSQL server it prints\n"
                       "the pg_dump command that backs the database up instead, and exits with 1."),
        backup};
}

Verb restoreVerb() {
    return {QStringLiteral("restore"),
            {QStringLiteral("FILE")},
            {},
            QStringLiteral("Put a backup in the place of the attendance database"),
            QStringLiteral("FILE must be an intact attendance database of a version this program knows; an\n"
                           "older one is upgraded (FILE itself stays as it is). Refused while any copy of\n"
                           "Tallyclock Suite runs on this computer. The current database is kept in the\n"
                           "folder backups first."),
            restore};
}

} // namespace CommandLine
