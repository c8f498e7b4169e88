#pragma once

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

    ErrorTrap(const QString& window, const QString& handler);

    QString tag() const { return m_tag; }
    bool anyFailed() const { return m_failures > 0; }

    // Runs one step; true when it completed.
    template <typename Action> bool step(int number, Action&& action) {
        try {
            std::forward<Action>(action)();
            return true;
        } catch (const std::exception& e) {
            report(QString::fromUtf8(e.what()), number);
        } catch (...) {
            report(QStringLiteral("Unexpected failure."), number);
        }
        return false;
    }

    // Runs a test step and returns its condition; a failing test counts as `onFailure` says.
    template <typename Condition>
    bool test(int number, Condition&& condition, FailedTest onFailure = FailedTest::Holds) {
        bool result = onFailure == FailedTest::Holds;
        step(number, [&] { result = static_cast<bool>(std::forward<Condition>(condition)()); });
        return result;
    }

private:
    void report(const QString& description, int number);

    QString m_tag;
    int m_failures = 0;
};
