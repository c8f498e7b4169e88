#pragma once

#include <QString>

// File steps that keep a file whole across a crash or a full disk: new files are written under a
// temporary name, synced, given the modes of their folder and renamed into place.
namespace SafeFiles {

// Creates `folder` when missing with the modes (and set-group-id bit) of its parent, so that every
// user who may write the parent may write it too. Fails when `folder` is a symbolic link or a file.
void ensureFolder(const QString& folder);

// A new, empty file beside `final` with a unique temporary name (created exclusively, never through
// a symbolic link); returns its path.
QString createTemporary(const QString& final);

// Which modes a published file gets: those of the shared folder it lands in (read and write for
// whoever may write the folder, and its group), or those of any new file of this user (the umask).
enum class Modes { OfFolder, OfUser };

// Gives `temporary` its modes, syncs it to disk, renames it onto `final` (replacing it atomically)
// and syncs the folder.
void publish(const QString& temporary, const QString& final, Modes modes = Modes::OfFolder);

// Removes the temporary files that crashed or failed writes left beside `final` more than an hour ago.
void sweepTemporaries(const QString& folder);

// True for the names createTemporary gives.
bool isTemporary(const QString& name);

// The description of the last system error, for messages.
QString systemError();

} // namespace SafeFiles
