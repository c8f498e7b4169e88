#include "clock/ClockStamp.h"

#include "core/MainWindow.h"

#include <stdexcept>

namespace ClockStamp {

QDate shownDay(const MainWindow& form) {
    if (form.shownDateText().isEmpty() || !form.shownDate().isValid())
        throw std::runtime_error("The clock shows no date, so there is no day for the attendance records. "
                                 "Choose a date format with the Format button.");
    return form.shownDate();
}

QString shownTime(const MainWindow& form) {
    const QString text = form.shownTimeText();
    if (text.isEmpty())
        throw std::runtime_error("The clock shows no time, so there is no time for the attendance record. "
                                 "Choose a time format with the Format button.");
    return text;
}

} // namespace ClockStamp
