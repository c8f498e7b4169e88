#pragma once

#include <QDate>
#include <QString>

class MainWindow;

// What punches and today's list take from the clock labels. Each throws std::runtime_error with
// a description for the error box when the label is empty (its format settings are both false),
// so that no statement runs with a missing date or time.
namespace ClockStamp {

// The calendar day the date label shows; never a re-reading of the label's text, so a day-first
// label is never taken month first.
QDate shownDay(const MainWindow& form);
// The time label's text, as punches store it.
QString shownTime(const MainWindow& form);

} // namespace ClockStamp
