#pragma once

#include <QDateTime>

// The current date and time, which tests can pin to a moment of their choice.
namespace SystemClock {

QDateTime now();
void setFixed(const QDateTime& moment);
void clearFixed();

} // namespace SystemClock
