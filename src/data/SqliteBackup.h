#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// Whole-file work on an SQLite attendance database: consistent copies, checks and counts. These
// functions open their own connections, so they work beside the program's one shared connection
// and beside other running copies of the program. Every failure is a std::runtime_error whose text
// says what went wrong.
namespace SqliteBackup {

// Writes a consistent copy of the database `source` into the new file `target` with the engine's
// online backup: other copies of the program may go on punching meanwhile, and the copy holds every
// change they committed before it began. `target` must exist (an empty file the caller made); it is
// opened without following links, and `checkTarget` (when given) is called once it is open, before
// anything is written to it, to prove that it is still the file made. `target` is written without a
// journal or syncing (the caller syncs and renames it into place); a failure can leave a partial
// `target` behind.
void copy(const QString& source, const QString& target, const std::function<void()>& checkTarget = {});

// The folder "backups" beside a database file, where its copies are kept.
QString backupsFolderOf(const QString& database);

// Rewrites the stored passwords in every copy kept in the backups folder of `database` whose schema
// version is below `version` (the step that stopped storing them as typed): each one becomes what
// `rewrite` makes of it. The copies keep their schema version, so a restore still upgrades them as
// it would have. Links and temporary files there are left alone. Returns a description of each copy
// that could not be rewritten.
QStringList rewriteBackupPasswords(const QString& database, int version,
                                   QStringList (*rewrite)(const QStringList& stored));

// What a file holds, as far as the checks below need it.
struct Contents {
    int schemaVersion = 0;
    long long persons = 0;
    long long records = 0;
};

// Checks that `path` is an intact attendance database: an SQLite file whose integrity check
// passes and which has the tables tblEmployees and tblLogins and the query qryLogins (what each must
// hold is for the catalogue's open to check). Returns its schema version and counts; throws with the
// problem otherwise. Never changes the file.
Contents inspect(const QString& path);

// The engine's quick check of the whole file: whether its pages and records hold together.
struct Health {
    enum class State { Sound, Damaged, Unknown } state;
    QString problem; // for Damaged: what the check found; for Unknown: why it could not check
};
Health quickCheck(const QString& path);

} // namespace SqliteBackup
