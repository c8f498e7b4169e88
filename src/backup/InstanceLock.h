#pragma once

#include <QString>
#include <memory>

// The lock file beside the live database. Every running copy of the program holds a shared lock on
// it for as long as it has the database open; a restore asks for it exclusively, so it can only run
// while no copy runs, and no copy can start in the middle of it. The lock goes with the process, so
// a crashed copy never leaves it behind.
class InstanceLock {
public:
    enum class Mode { Shared, Exclusive };

    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    static QString pathFor(const QString& database);

    // Takes the lock, waiting up to `waitMs` for a holder of the other kind to let go. Returns null
    // when it is still held then; throws std::runtime_error when the lock file cannot be opened.
    static std::unique_ptr<InstanceLock> acquire(const QString& database, Mode mode, int waitMs);

    // The shared lock of a command that reads or writes the file: waits a few seconds at most for a
    // restore in progress, and throws std::runtime_error saying so when it is not done by then. Null
    // when there is no such file (opening it fails with its own reason).
    static std::unique_ptr<InstanceLock> holdForCommand(const QString& database, int waitMs = 3000);

    // The shared lock of a running copy: waits a few seconds at most for a restore in progress.
    // Never throws: null when it is not held then (the backup log says why); the window then keeps
    // asking for it and takes no punch until it has it.
    static std::unique_ptr<InstanceLock> holdWhileRunning(const QString& database);

private:
    explicit InstanceLock(int fd) : m_fd(fd) {}
    int m_fd;
};
