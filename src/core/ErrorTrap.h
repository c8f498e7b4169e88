#pragma once

#include "core/Where.h"

#include <QObject>
#include <QString>
#include <exception>
#include <utility>

// The error trap of an event handler. Each numbered step runs under it: a failure is shown in the
// error box with the handler's location and the step number, and the handler goes on with its
// next step. No exception leaves a handler.
class ErrorTrap {
public:
    // What a failing test means: it held (the guarded branch runs), or the guarded branch is
    // skipped because it would write, delete or open an administrator window.
    enum class FailedTest { Holds, Skips };

    explicit ErrorTrap(Where where);

    QString tag() const { return m_tag; }
    bool anyFailed() const { return m_failures > 0; }

    // Runs one step; true when it completed.
    template <typename Action> bool step(int number, Action&& action) {
        StepInProgress running;
        try {
            std::forward<Action>(action)();
        } catch (const std::exception& e) {
            report(QString::fromUtf8(e.what()), number);
            return false;
        } catch (...) {
            report(QStringLiteral("Unexpected failure."), number);
            return false;
        }
        if (running.carried) {
            reportCarried(running.carried, number);
            return false;
        }
        return true;
    }

    // Runs a test step and returns its condition; a failing test counts as `onFailure` says.
    template <typename Condition>
    bool test(int number, Condition&& condition, FailedTest onFailure = FailedTest::Holds) {
        bool result = onFailure == FailedTest::Holds;
        step(number, [&] { result = static_cast<bool>(std::forward<Condition>(condition)()); });
        return result;
    }

    // Connects a window's signal to another window's routine that has no trap of its own. A
    // failure of the routine travels back to the step that emitted the signal and is reported
    // there, as if the step had called the routine itself (no exception crosses the signal).
    template <typename Sender, typename Signal, typename Receiver>
    static QMetaObject::Connection relay(Sender* sender, Signal signal, Receiver* receiver,
                                         void (Receiver::*routine)()) {
        return QObject::connect(sender, signal, receiver, [receiver, routine] {
            try {
                (receiver->*routine)();
            } catch (...) {
                carry(std::current_exception());
            }
        });
    }

private:
    // Marks the step that runs, so that a failure relayed from a signal's receiver finds it.
    struct StepInProgress {
        StepInProgress() : outer(std::exchange(s_running, this)) {}
        ~StepInProgress() { s_running = outer; }
        StepInProgress(const StepInProgress&) = delete;
        StepInProgress& operator=(const StepInProgress&) = delete;
        StepInProgress* outer;
        std::exception_ptr carried;
    };

    static void carry(std::exception_ptr failure);
    void reportCarried(const std::exception_ptr& failure, int number);
    void report(const QString& description, int number);

    static inline thread_local StepInProgress* s_running = nullptr;

    QString m_tag;
    int m_failures = 0;
};
