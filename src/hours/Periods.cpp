#include "hours/Periods.h"

namespace Hours {

Period presetPeriod(Preset preset, const QDate& today, const QLocale& locale) {
    const int daysIntoWeek = (today.dayOfWeek() - static_cast<int>(locale.firstDayOfWeek()) + 7) % 7;
    const QDate weekStart = today.addDays(-daysIntoWeek);
    const QDate monthStart(today.year(), today.month(), 1);
    switch (preset) {
    case Preset::ThisWeek:
        return {weekStart, weekStart.addDays(6)};
    case Preset::LastWeek:
        return {weekStart.addDays(-7), weekStart.addDays(-1)};
    case Preset::ThisMonth:
        return {monthStart, monthStart.addMonths(1).addDays(-1)};
    case Preset::LastMonth:
        return {monthStart.addMonths(-1), monthStart.addDays(-1)};
    }
    return {};
}

} // namespace Hours
