#pragma once

#include <QString>
#include <QStringList>

// Creating the data folder and the database in a place other users can write to.
//
// A place is a trusted base folder (the common folder, taken as configured) and the names below it.
// Those names are opened one at a time relative to their parent and none of them is followed when it
// is a symbolic link, so a link that someone else put there first leads nowhere. Modes are set on
// what was actually created, through its descriptor. Every failure throws std::runtime_error with a
// description for the error box.
namespace SharedFolder {

// Whether anything is at `path`, a symbolic link included (the link itself is not followed).
bool entryExists(const QString& path);

// Creates the last of `names` inside the others, readable and writable for every user (0777; the
// set-group-id bit of a group folder above is kept).
void createFolder(const QString& base, const QStringList& names);

// Copies the template database `source` to the last of `names` inside the folder the others name. It is
// written under a temporary name, given its mode and then linked into place, so that it appears
// complete and never replaces anything there. Its mode follows the folder, so that it is never more
// open than the folder: 0666 in a folder open to all, 0660 in a group folder.
void copyTemplate(const QString& source, const QString& base, const QStringList& names);

// Checks that the last of `names` is a folder reached without following any link below `base`;
// throws with the reason otherwise. What the program keeps beside its database (the lock file, the
// backups) is only written there after this check.
void checkFolder(const QString& base, const QStringList& names);

// The mode a new file takes in a folder of mode `folderMode`: the folder's read and write bits.
unsigned fileModeFor(unsigned folderMode);

} // namespace SharedFolder
