#pragma once

#include "backup/Backups.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

// What the backup tests compare: a file's bytes, and the names in a database's backups folder.
inline QByteArray hashOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly)
               ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
               : QByteArray();
}

inline QStringList backupsIn(const QString& database) {
    return QDir(Backups::folderOf(database)).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// Overwrites the last page of a database file, where records are, not the schema: the file still
// opens, and the engine's checks find the damage.
inline bool damageLastPage(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) || !file.seek(file.size() - 4096))
        return false;
    return file.write(QByteArray(4096, '\x5a')) == 4096;
}
