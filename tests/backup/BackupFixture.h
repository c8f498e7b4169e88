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
