#include "backup/SafeFiles.h"

#include "core/SharedFolder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
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

namespace {

const char kFileName[] = "file";
// What the engine may leave beside the file it writes.
const char* const kCompanionNames[] = {"file-journal", "file-wal", "file-shm"};

void (*afterCreate)(const QString&) = nullptr;

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Moves `name` in `folder` onto `final` without replacing anything there. Where the file system has
// no such rename, a second name and the removal of the first do the same.
bool moveNoReplace(int folder, const char* name, const QByteArray& final) {
    if (::renameat2(folder, name, AT_FDCWD, final.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    if (::linkat(folder, name, AT_FDCWD, final.constData(), 0) != 0)
        return false;
    ::unlinkat(folder, name, 0);
    return true;
}

} // namespace

PrivateFile::PrivateFile(const QString& workFolder) {
    // The real path, so that the file can be opened without following any link.
    const QString real = QFileInfo(workFolder).canonicalFilePath();
    if (real.isEmpty())
        throw failure(QStringLiteral("The folder %1 cannot be used: %2").arg(workFolder, systemError()));
    QByteArray pattern = native(real + QLatin1Char('/') + kTemporaryMark + QStringLiteral("XXXXXX"));
    if (!::mkdtemp(pattern.data()))
        throw failure(
            QStringLiteral("No temporary folder can be created in %1: %2").arg(real, systemError()));
    m_folderPath = QFile::decodeName(pattern);
    m_path = m_folderPath + QLatin1Char('/') + QLatin1String(kFileName);
    m_folder = ::open(pattern.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat info {};
    if (m_folder < 0 || ::fstat(m_folder, &info) != 0 || info.st_uid != ::geteuid() ||
        (info.st_mode & 07777) != 0700) {
        release();
        throw failure(QStringLiteral("No temporary folder can be created in %1: another file took its place.")
                          .arg(real));
    }
    m_file = ::openat(m_folder, kFileName, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (m_file < 0) {
        const QString why = systemError();
        release();
        throw failure(QStringLiteral("The file %1 cannot be created: %2").arg(m_path, why));
    }
    if (afterCreate)
        afterCreate(m_path);
}

PrivateFile::~PrivateFile() {
    release();
}

void PrivateFile::release() {
    if (m_folder >= 0) {
        if (!m_published)
            ::unlinkat(m_folder, kFileName, 0);
        for (const char* name : kCompanionNames)
            ::unlinkat(m_folder, name, 0);
        // Only the folder made is removed: it is empty now, and another one in its place is not.
        struct stat made {};
        struct stat there {};
        if (::fstat(m_folder, &made) == 0 && ::lstat(native(m_folderPath).constData(), &there) == 0 &&
            sameFile(made, there))
            ::rmdir(native(m_folderPath).constData());
        ::close(m_folder);
        m_folder = -1;
    }
    if (m_file >= 0) {
        ::close(m_file);
        m_file = -1;
    }
}

void PrivateFile::check() const {
    struct stat folderMade {};
    struct stat folderThere {};
    struct stat fileMade {};
    struct stat fileThere {};
    const bool same =
        ::fstat(m_folder, &folderMade) == 0 && ::lstat(native(m_folderPath).constData(), &folderThere) == 0 &&
        sameFile(folderMade, folderThere) && ::fstat(m_file, &fileMade) == 0 &&
        ::fstatat(m_folder, kFileName, &fileThere, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(fileMade, fileThere);
    if (!same)
        throw failure(
            QStringLiteral("The temporary file %1 was replaced by another file; nothing was written.")
                .arg(m_path));
}

void PrivateFile::publish(const QString& final, Modes modes, Existing existing) {
    check();
    const QString folder = QFileInfo(final).absolutePath();
    const struct stat dir = statOf(folder);
    mode_t mode = 0600;
    if (modes == Modes::OfFolder) {
        mode = SharedFolder::fileModeFor(dir.st_mode);
        if (::fchown(m_file, static_cast<uid_t>(-1), dir.st_gid) != 0) {
            // Not a member of the folder's group: the file keeps ours.
        }
    }
    if (::fchmod(m_file, mode) != 0 || ::fsync(m_file) != 0)
        throw failure(QStringLiteral("The file %1 cannot be written: %2").arg(final, systemError()));
    const QByteArray target = native(final);
    const bool moved = existing == Existing::Replace
                           ? ::renameat(m_folder, kFileName, AT_FDCWD, target.constData()) == 0
                           : moveNoReplace(m_folder, kFileName, target);
    if (!moved)
        throw failure(QStringLiteral("The file %1 cannot be put in place: %2").arg(final, systemError()));
    m_published = true;
    syncFolder(folder);
}

void PrivateFile::setAfterCreate(void (*hook)(const QString& path)) {
    afterCreate = hook;
}

bool isTemporary(const QString& name) {
    return name.contains(kTemporaryMark);
}

void sweepTemporaries(const QString& folder) {
    const QDateTime hourAgo = QDateTime::currentDateTime().addSecs(-3600);
    const QDir dir(folder);
    for (const QFileInfo& entry :
         dir.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)) {
        if (!isTemporary(entry.fileName()) || entry.lastModified() >= hourAgo)
            continue;
        if (entry.isSymLink() || !entry.isDir()) {
            QFile::remove(entry.filePath());
            continue;
        }
        // A private folder: what it holds goes first. Another user's cannot be read, and stays.
        Descriptor inside{
            ::open(native(entry.filePath()).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)};
        if (inside.fd < 0)
            continue;
        ::unlinkat(inside.fd, kFileName, 0);
        for (const char* name : kCompanionNames)
            ::unlinkat(inside.fd, name, 0);
        ::rmdir(native(entry.filePath()).constData());
    }
}

} // namespace SafeFiles
