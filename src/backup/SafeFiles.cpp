#include "backup/SafeFiles.h"

#include "core/SharedFolder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace SafeFiles {

namespace {

const QString kTemporaryMark = QStringLiteral(".partial-");

std::runtime_error failure(const QString& description) {
    return std::runtime_error(description.toStdString());
}

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

// Closes a descriptor however the function that opened it ends.
struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0)
            ::close(fd);
    }
};

struct stat statOf(const QString& path) {
    struct stat info {};
    if (::stat(native(path).constData(), &info) != 0)
        throw failure(QStringLiteral("%1 cannot be read: %2").arg(path, systemError()));
    return info;
}

void syncFolder(const QString& folder) {
    Descriptor dir{::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (dir.fd < 0 || ::fsync(dir.fd) != 0)
        throw failure(QStringLiteral("The folder %1 cannot be synced: %2").arg(folder, systemError()));
}

} // namespace

QString systemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

void ensureFolder(const QString& folder) {
    struct stat info {};
    if (::lstat(native(folder).constData(), &info) == 0) {
        if (!S_ISDIR(info.st_mode))
            throw failure(QStringLiteral("%1 is not a folder.").arg(folder));
        return;
    }
    const struct stat parent = statOf(QFileInfo(folder).absolutePath());
    if (::mkdir(native(folder).constData(), 0700) != 0 && errno != EEXIST)
        throw failure(QStringLiteral("The folder %1 cannot be created: %2").arg(folder, systemError()));
    // The modes go on what was created, through its descriptor: a link put in its place meanwhile
    // is not followed, and another user's folder is left alone.
    Descriptor created{::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)};
    if (created.fd < 0 || ::fstat(created.fd, &info) != 0 || info.st_uid != ::geteuid())
        throw failure(
            QStringLiteral("The folder %1 cannot be created: another file took its place.").arg(folder));
    // Whoever creates it, with whatever umask: the parent's modes and group.
    if (::fchown(created.fd, static_cast<uid_t>(-1), parent.st_gid) != 0) {
        // Not a member of the parent's group: the folder keeps ours, which is all we can do.
    }
    if (::fchmod(created.fd, parent.st_mode & 07777) != 0)
        throw failure(QStringLiteral("The folder %1 cannot be shared: %2").arg(folder, systemError()));
}

QString createTemporary(const QString& final) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString path = final + kTemporaryMark + QString::number(::getpid()) + QLatin1Char('-') +
                             QString::number(attempt);
        Descriptor file{
            ::open(native(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600)};
        if (file.fd >= 0)
            return path;
        if (errno != EEXIST)
            throw failure(QStringLiteral("The file %1 cannot be created: %2").arg(path, systemError()));
    }
    throw failure(QStringLiteral("No temporary file can be created beside %1.").arg(final));
}

void publish(const QString& temporary, const QString& final, Modes modes) {
    const QString folder = QFileInfo(final).absolutePath();
    const struct stat dir = statOf(folder);
    {
        Descriptor file{::open(native(temporary).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC)};
        if (file.fd < 0)
            throw failure(QStringLiteral("The file %1 cannot be opened: %2").arg(temporary, systemError()));
        mode_t mode = SharedFolder::fileModeFor(dir.st_mode);
        if (modes == Modes::OfFolder) {
            if (::fchown(file.fd, static_cast<uid_t>(-1), dir.st_gid) != 0) {
                // Not a member of the folder's group: the file keeps ours.
            }
        } else {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            mode = 0666 & ~mask;
        }
        if (::fchmod(file.fd, mode) != 0 || ::fsync(file.fd) != 0)
            throw failure(QStringLiteral("The file %1 cannot be written: %2").arg(temporary, systemError()));
    }
    if (::rename(native(temporary).constData(), native(final).constData()) != 0)
        throw failure(QStringLiteral("The file %1 cannot be put in place: %2").arg(final, systemError()));
    syncFolder(folder);
}

bool isTemporary(const QString& name) {
    return name.contains(kTemporaryMark);
}

void sweepTemporaries(const QString& folder) {
    const QDateTime hourAgo = QDateTime::currentDateTime().addSecs(-3600);
    const QDir dir(folder);
    for (const QFileInfo& entry : dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (isTemporary(entry.fileName()) && entry.lastModified() < hourAgo)
            QFile::remove(entry.filePath());
    }
}

} // namespace SafeFiles
