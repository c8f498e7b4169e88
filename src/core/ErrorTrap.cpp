#include "core/ErrorTrap.h"

#include "core/Main.h"

namespace {
QString describe(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("Unexpected failure.");
    }
}
} // namespace

ErrorTrap::ErrorTrap(Where where) : m_tag(locationTag(where)) {}

void ErrorTrap::report(const QString& description, int number) {
    ++m_failures;
    Main::ErrorReport(description, m_tag, number);
}

void ErrorTrap::reportCarried(const std::exception_ptr& failure, int number) {
    report(describe(failure), number);
}

void ErrorTrap::carry(std::exception_ptr failure) {
    // The first failure is the one the step reports. A signal emitted outside any step has no
    // handler to report to; the box still shows, without a location.
    if (s_running) {
        if (!s_running->carried)
            s_running->carried = std::move(failure);
        return;
    }
    Main::ErrorReport(describe(failure), QString(), 0);
}
