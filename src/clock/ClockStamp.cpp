#include "clock/ClockStamp.h"

#include "core/Form1.h"

#include <QLabel>
#include <stdexcept>

namespace ClockStamp {

QDate shownDay(const Form1& form) {
    if (form.lblDate->text().isEmpty() || !form.shownDate().isValid())
        throw std::runtime_error("The clock shows no date, so there is no day for the attendance records. "
                                 "Choose a date format with the Format button.");
    return form.shownDate();
}

QString shownTime(const Form1& form) {
    const QString text = form.lblTime->text();
    if (text.isEmpty())
        throw std::runtime_error("The clock shows no time, so there is no time for the attendance record. "
                                 "Choose a time format with the Format button.");
    return text;
}

} // namespace ClockStamp
