#include "core/ErrorTrap.h"

#include "core/Main.h"

ErrorTrap::ErrorTrap(const QString& window, const QString& handler)
    : m_tag(Main::kTagPrefix + window + QLatin1Char('.') + handler) {}

void ErrorTrap::report(const QString& description, int number) {
    ++m_failures;
    Main::ErrorReport(description, m_tag, number);
}
