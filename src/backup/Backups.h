#pragma once

#include "backup/SafeFiles.h"

#include <QDate>
#include <QDateTime>
#include <QString>

class AttendanceDatabase;

// Copies of the live SQLite database in the folder "backups" beside it.
namespace Backups {

QString folderOf(const QString& database);
// The log of the automatic backups, in the backups folder.
QString logOf(const QString& database);

// Writes a consistent copy of `database` to the new file `target`: into a private temporary folder
// beside the target, synced, then moved into place with the given modes; an existing `target` (a
// link among them) is never replaced. On any failure (a full disk among them) the temporary file is
// removed and the live file is only read. Throws std::runtime_error.
void write(const QString& database, const QString& target,
           SafeFiles::Modes modes = SafeFiles::Modes::OfFolder);

// Where a backup asked for by hand goes: named by day and time, never removed by rotation.
QString manualPath(const QString& database, const QDateTime& now);
// Where the live file is kept before a restore replaces it.
QString keptBeforeRestorePath(const QString& database, const QDateTime& now);

// The daily backup: when `today` has no copy yet, writes it, keeps it as the month's copy when the
// month has none, and removes the copies rotation no longer keeps. Never throws: a failure is logged
// (and left for the next start to try again).
struct DailyResult {
    enum class Outcome { Written, AlreadyDone, Failed } outcome;
    QString path;    // today's copy
    QString problem; // what failed
};
DailyResult daily(const QString& database, const QDate& today);

// What start-up does with the live file: opens it on `db` (or the server the settings name). A file
// that does not open is checked at once, so that the failure names the damage and the newest backup
// to restore.
void openLiveDatabase(AttendanceDatabase& db, const QString& database, const QDate& today);

// The quick check of the whole file, and the day's backup of a file that passed (a failed backup is
// only logged): what start-up leaves to a background thread once the window shows, since it reads
// every page. Returns the description of the damage, naming the newest backup, or nothing for a sound
// file. A damaged file stays open, so that punches are still kept somewhere, and it is not backed up,
// so that rotation keeps the good copies. Never throws.
QString checkAndBackUp(const QString& database, const QDate& today);

// The newest daily or monthly copy dated up to `today`, as a full path; "" when there is none.
QString newest(const QString& database, const QDate& today);

// Appends a time-stamped line to the log; a failure is repeated as a warning on standard error.
// Never throws.
enum class Severity { Info, Failure };
void log(const QString& database, Severity severity, const QString& message);

} // namespace Backups
