#include "core/SharedFolder.h"

#include <QFile>
#include <QRandomGenerator>
#include <cerrno>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace SharedFolder {

namespace {

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor(Descriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        std::swap(m_fd, other.m_fd);
        return *this;
    }

    bool valid() const { return m_fd >= 0; }
    int get() const { return m_fd; }
    // Closes now: a written file may report a failed write only here.
    bool close() {
        const int fd = std::exchange(m_fd, -1);
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int m_fd;
};

[[noreturn]] void fail(const QString& description) {
    throw std::runtime_error(description.toStdString());
}

QString systemError(int code) {
    return qt_error_string(code);
}

QString pathOf(const QString& base, const QStringList& names, qsizetype count) {
    QString path = base;
    for (qsizetype i = 0; i < count; ++i)
        path += QLatin1Char('/') + names.at(i);
    return path;
}

// Why the entry `name` of the folder `parent` could not be opened as a folder.
QString whyNotAFolder(int parent, const QString& name, const QString& path, int error) {
    struct stat info {};
    if (::fstatat(parent, QFile::encodeName(name).constData(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISLNK(info.st_mode))
            return QStringLiteral("%1 is a symbolic link, which is not followed here").arg(path);
        if (!S_ISDIR(info.st_mode))
            return QStringLiteral("%1 is not a folder").arg(path);
    }
    return QStringLiteral("%1: %2").arg(path, systemError(error));
}

// Opens `base` and below it the first `count` of `names`, following no link below `base`. On failure
// the descriptor is not valid and `reason` says why.
Descriptor openFolder(const QString& base, const QStringList& names, qsizetype count, QString& reason) {
    // An unresolvable common folder gives an empty base: the paths then start at the root.
    const QString start = base.isEmpty() ? QStringLiteral("/") : base;
    Descriptor folder(::open(QFile::encodeName(start).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!folder.valid()) {
        reason = QStringLiteral("%1: %2").arg(start, systemError(errno));
        return folder;
    }
    for (qsizetype i = 0; i < count; ++i) {
        Descriptor next(::openat(folder.get(), QFile::encodeName(names.at(i)).constData(),
                                 O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!next.valid()) {
            reason = whyNotAFolder(folder.get(), names.at(i), pathOf(base, names, i + 1), errno);
            return next;
        }
        folder = std::move(next);
    }
    return folder;
}

// Removes the temporary copy unless it was taken into place and removed already.
class TemporaryName {
public:
    TemporaryName(int folder, QByteArray name) : m_folder(folder), m_name(std::move(name)) {}
    ~TemporaryName() {
        if (!m_name.isEmpty())
            ::unlinkat(m_folder, m_name.constData(), 0);
    }
    TemporaryName(const TemporaryName&) = delete;
    TemporaryName& operator=(const TemporaryName&) = delete;

    const char* name() const { return m_name.constData(); }
    bool remove() {
        const bool removed = ::unlinkat(m_folder, m_name.constData(), 0) == 0;
        m_name.clear();
        return removed;
    }

private:
    int m_folder;
    QByteArray m_name;
};

bool writeAll(int fd, const char* data, ssize_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

// Copies what is left of `in` to `out`; false with errno set when a read or a write fails.
bool copyContent(int in, int out) {
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(in, buffer, sizeof buffer);
        if (got == 0)
            return true;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (!writeAll(out, buffer, got))
            return false;
    }
}

} // namespace

bool entryExists(const QString& path) {
    struct stat info {};
    return !path.isEmpty() && ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

unsigned fileModeFor(unsigned folderMode) {
    return folderMode & 0666u;
}

void checkFolder(const QString& base, const QStringList& names) {
    QString reason;
    if (!openFolder(base, names, names.size(), reason).valid())
        fail(QStringLiteral("The folder %1 cannot be used: %2.")
                 .arg(pathOf(base, names, names.size()), reason));
}

void createFolder(const QString& base, const QStringList& names) {
    const QString path = pathOf(base, names, names.size());
    const auto cannotCreate = [&](const QString& reason) {
        fail(
            QStringLiteral("Path/File access error: the folder %1 cannot be created: %2.").arg(path, reason));
    };
    QString reason;
    const Descriptor parent = openFolder(base, names, names.size() - 1, reason);
    if (!parent.valid())
        cannotCreate(reason);
    const QByteArray name = QFile::encodeName(names.last());
    // Private until it has its final mode.
    if (::mkdirat(parent.get(), name.constData(), 0700) != 0) {
        // Another copy starting at the same moment made it first: a real folder is used as if it had
        // been there before (a link or a file in its place still fails).
        if (errno == EEXIST && Descriptor(::openat(parent.get(), name.constData(),
                                                   O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC))
                                   .valid())
            return;
        cannotCreate(systemError(errno));
    }
    const Descriptor folder(
        ::openat(parent.get(), name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder.valid())
        cannotCreate(whyNotAFolder(parent.get(), names.last(), path, errno));
    struct stat info {};
    if (::fstat(folder.get(), &info) != 0)
        cannotCreate(systemError(errno));
    // Someone may have swapped the new folder for one of their own before it was opened.
    if (info.st_uid != ::geteuid())
        cannotCreate(QStringLiteral("another user's folder took its place while it was being created"));
    // Every user punches into this folder, whatever the umask of whoever started the program first.
    if (::fchmod(folder.get(), 0777 | (info.st_mode & S_ISGID)) != 0)
        cannotCreate(systemError(errno));
}

void copyTemplate(const QString& source, const QString& base, const QStringList& names) {
    const QString target = pathOf(base, names, names.size());
    const auto cannotCopy = [&](const QString& reason) {
        fail(QStringLiteral("The template database could not be copied to %1: %2.").arg(target, reason));
    };

    const Descriptor in(::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC));
    struct stat sourceInfo {};
    if ((!in.valid() && errno == ENOENT) ||
        (in.valid() && (::fstat(in.get(), &sourceInfo) != 0 || !S_ISREG(sourceInfo.st_mode))))
        fail(QStringLiteral("File not found: the template database %1 is missing.").arg(source));
    if (!in.valid())
        cannotCopy(QStringLiteral("%1: %2").arg(source, systemError(errno)));

    QString reason;
    const Descriptor folder = openFolder(base, names, names.size() - 1, reason);
    if (!folder.valid())
        cannotCopy(reason);
    struct stat folderInfo {};
    if (::fstat(folder.get(), &folderInfo) != 0)
        cannotCopy(systemError(errno));
    const mode_t mode = fileModeFor(folderInfo.st_mode);

    const QByteArray name = QFile::encodeName(names.last());
    Descriptor out;
    QByteArray temporary;
    for (int attempt = 0; attempt < 8 && !out.valid(); ++attempt) {
        temporary = '.' + name + '.' + QByteArray::number(QRandomGenerator::global()->generate64(), 36);
        out = Descriptor(::openat(folder.get(), temporary.constData(),
                                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!out.valid() && errno != EEXIST)
            break;
    }
    if (!out.valid())
        cannotCopy(systemError(errno));
    TemporaryName copy(folder.get(), temporary);

    struct stat copied {};
    if (!copyContent(in.get(), out.get()) || ::fchmod(out.get(), mode) != 0 || ::fsync(out.get()) != 0 ||
        ::fstat(out.get(), &copied) != 0 || !out.close())
        cannotCopy(systemError(errno));
    // A link, unlike a rename, never replaces what is there: a file or link put there meanwhile stays.
    if (::linkat(folder.get(), copy.name(), folder.get(), name.constData(), 0) != 0) {
        if (errno == EEXIST) {
            // Most likely another copy starting at the same moment placed its copy first. A plain file
            // is then opened as if it had been there before, and checked as any database is; anything
            // else (a link) is left alone and refused.
            struct stat there {};
            if (::fstatat(folder.get(), name.constData(), &there, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISREG(there.st_mode))
                return;
            cannotCopy(QStringLiteral("something else is there already, and it is not replaced"));
        }
        cannotCopy(systemError(errno));
    }
    struct stat placed {};
    if (::fstatat(folder.get(), name.constData(), &placed, AT_SYMLINK_NOFOLLOW) != 0 ||
        placed.st_dev != copied.st_dev || placed.st_ino != copied.st_ino)
        cannotCopy(QStringLiteral("another file took its place while it was being created"));
    if (!copy.remove())
        fail(QStringLiteral("The template database was copied to %1, but its temporary copy %2 could not be "
                            "removed: %3.")
                 .arg(target, QFile::decodeName(temporary), systemError(errno)));
}

} // namespace SharedFolder
