#pragma once

#include "data/SqliteBackup.h"

#include <QDateTime>
#include <QString>

// Puts a backup in the place of the live database, so that it cannot make things worse: the file is
// checked first (an intact attendance database of a schema this program knows; an older one is
// upgraded on the way, the file itself is left as it was), nothing happens while any copy of the
// program runs, and the live file is kept in the backups folder before it is replaced.
namespace Restore {

struct Report {
    SqliteBackup::Contents checked;  // the file as it was given
    SqliteBackup::Contents restored; // what is now live (after any upgrade)
    QString kept;                    // where the previous live file went; "" when there was none
};

// Throws std::runtime_error with the reason for a refusal or a failure; the live file is then as
// it was.
Report restore(const QString& file, const QString& database, const QDateTime& now);

} // namespace Restore
