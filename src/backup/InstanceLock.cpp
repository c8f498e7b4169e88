#include "backup/InstanceLock.h"

#include "backup/Backups.h"
#include "backup/SafeFiles.h"
#include "core/SharedFolder.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <stdexcept>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

InstanceLock::~InstanceLock() {
    ::close(m_fd);
}

QString InstanceLock::pathFor(const QString& database) {
    return database + QStringLiteral(".lock");
}

std::unique_ptr<InstanceLock> InstanceLock::acquire(const QString& database, Mode mode, int waitMs) {
    const QString path = pathFor(database);
    const QByteArray name = QFile::encodeName(path);
    struct stat folder {};
    if (::stat(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), &folder) != 0)
        throw std::runtime_error(QStringLiteral("The lock file %1 cannot be opened: %2")
                                     .arg(path, SafeFiles::systemError())
                                     .toStdString());
    // A lock needs no write access, so a lock file that another user created serves everyone.
    int fd = ::open(name.constData(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC,
                    SharedFolder::fileModeFor(folder.st_mode));
    if (fd < 0 && errno == EACCES)
        fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        throw std::runtime_error(QStringLiteral("The lock file %1 cannot be opened: %2")
                                     .arg(path, SafeFiles::systemError())
                                     .toStdString());
    std::unique_ptr<InstanceLock> lock(new InstanceLock(fd));
    if (::fchmod(fd, SharedFolder::fileModeFor(folder.st_mode)) != 0) {
        // Another user's lock file: it already has its modes.
    }
    const int operation = (mode == Mode::Shared ? LOCK_SH : LOCK_EX) | LOCK_NB;
    QElapsedTimer waited;
    waited.start();
    while (::flock(fd, operation) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR)
            throw std::runtime_error(QStringLiteral("The lock file %1 cannot be locked: %2")
                                         .arg(path, SafeFiles::systemError())
                                         .toStdString());
        if (waited.elapsed() >= waitMs)
            return nullptr;
        QThread::msleep(50);
    }
    return lock;
}

std::unique_ptr<InstanceLock> InstanceLock::holdForCommand(const QString& database, int waitMs) {
    if (!QFileInfo(database).isFile())
        return nullptr;
    std::unique_ptr<InstanceLock> lock = acquire(database, Mode::Shared, waitMs);
    if (!lock)
        throw std::runtime_error(
            QStringLiteral("The attendance database %1 is being restored; nothing was done. Try again "
                           "when the restore is done.")
                .arg(database)
                .toStdString());
    return lock;
}

std::unique_ptr<InstanceLock> InstanceLock::holdWhileRunning(const QString& database) {
    try {
        std::unique_ptr<InstanceLock> lock = acquire(database, Mode::Shared, 3000);
        if (!lock)
            Backups::log(database, Backups::Severity::Info,
                         QStringLiteral("A restore holds the lock file %1; the window waits for it and "
                                        "takes no punch until then.")
                             .arg(pathFor(database)));
        return lock;
    } catch (const std::exception& e) {
        Backups::log(database, Backups::Severity::Failure, QString::fromUtf8(e.what()));
    }
    return nullptr;
}
