#include "core/MainWindow.h"

#include "data/SettingsStore.h"
#include "platform/DateTexts.h"
#include "platform/SystemClock.h"

#include <QLabel>

namespace {
// A clock label speaks what it shows; the name it had while empty gives way to the text.
void showClockText(QLabel* label, const QString& text) {
    label->setText(text);
    if (!label->accessibleName().isEmpty())
        label->setAccessibleName(QString());
}
} // namespace

// The date and time labels, redrawn every second from the stored format choices. The date
// label's calendar day is kept beside its text: punches and today's list use the day itself,
// never a re-reading of the text.
void MainWindow::tick() {
    using DateTexts::DateOrder;
    using DateTexts::HourCycle;

    std::optional<DateOrder> order;
    if (SettingsStore::readFlag(QStringLiteral("Option1"), 1))
        order = DateOrder::MonthFirst;
    else if (SettingsStore::readFlag(QStringLiteral("Option2"), 0))
        order = DateOrder::DayFirst;
    if (order) {
        const QDate today = SystemClock::now().date();
        showClockText(dateLabel, DateTexts::clockDate(today, *order));
        m_shownDate = today;
    }

    std::optional<HourCycle> cycle;
    if (SettingsStore::readFlag(QStringLiteral("Option3"), 1))
        cycle = HourCycle::TwelveHour;
    else if (SettingsStore::readFlag(QStringLiteral("Option4"), 0))
        cycle = HourCycle::TwentyFourHour;
    if (cycle)
        showClockText(timeLabel, DateTexts::clockTime(SystemClock::now().time(), *cycle));
}
