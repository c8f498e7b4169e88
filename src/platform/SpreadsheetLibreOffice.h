#pragma once

// The office module's own interface (libtallyclock-office.so): the UNO connection to a running
// office. The program reaches the module only through LibreOffice::Module; the tests link it to
// read back what an office holds.

#include "platform/SpreadsheetOffice.h"

#include <com/sun/star/uno/Reference.hxx>
#include <com/sun/star/uno/XComponentContext.hpp>

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <vector>

namespace LibreOffice {

// Starts the office's start program detached, accepting on `pipe`, so that the office outlives
// this program: in a session of its own, with none of this program's files or signal settings. Returns its
// process id; throws std::runtime_error.
qint64 startOffice(const Settings& settings, const QString& pipe);
// True once the process has gone (zombies count as gone) within `ms`.
bool waitForExit(qint64 pid, int ms);
// The process and every process below it: the office's start program runs the office as its child.
std::vector<qint64> processTree(qint64 root);

// One connection to an office, over the bridge this program keeps to the office's pipe: those who
// connect to one pipe share its bridge, which goes when the last of them has gone. Every call into
// the office runs on the bridge's own thread, and the calling thread waits for it, letting its
// events run, for no longer than its deadline: past it the bridge is disposed, which ends the call
// at once, and the connection, with every other on that bridge, is given up.
class Connection {
public:
    // Connects to the office accepting on `pipe`, asking until the start deadline has passed, or
    // joins the bridge to it that is open already. `pid` is the office process started for us (0:
    // none); once it has gone without accepting, a short grace ends the wait early. Throws
    // std::runtime_error.
    static std::shared_ptr<Connection> open(const QString& pipe, const Settings& settings, qint64 pid);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    const com::sun::star::uno::Reference<com::sun::star::uno::XComponentContext>& context() const;
    qint64 pid() const { return m_pid; }
    const QString& pipe() const { return m_pipe; }
    bool givenUp() const;

    // Runs `work` within the call deadline and returns its result. The office's exceptions come
    // out as std::runtime_error with the description the error box shows; past the deadline, or on
    // a connection given up, SpreadsheetLost.
    template <typename Work> auto call(Work&& work) -> decltype(work()) {
        using Result = decltype(work());
        if constexpr (std::is_void_v<Result>) {
            run(std::forward<Work>(work), m_callTimeoutMs);
        } else {
            std::optional<Result> result;
            run([&] { result.emplace(work()); }, m_callTimeoutMs);
            return std::move(*result);
        }
    }

private:
    struct Private;
    Connection(std::shared_ptr<Private> bridge, int callTimeoutMs, qint64 pid, QString pipe);
    void run(const std::function<void()>& work, int timeoutMs);
    void giveUp();

    std::shared_ptr<Private> d;
    int m_callTimeoutMs;
    qint64 m_pid;
    QString m_pipe;
};

} // namespace LibreOffice
