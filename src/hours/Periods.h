#pragma once

#include <QDate>
#include <QLocale>

namespace Hours {

// A span of whole days, both ends included.
struct Period {
    QDate from;
    QDate to;
    bool operator==(const Period&) const = default;
};

enum class Preset { ThisWeek, LastWeek, ThisMonth, LastMonth };

// The period a preset names on `today`. Weeks start on the locale's first day of the week.
Period presetPeriod(Preset preset, const QDate& today, const QLocale& locale = QLocale());

} // namespace Hours
