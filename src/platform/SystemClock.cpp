#include "platform/SystemClock.h"

#include <optional>

namespace SystemClock {

namespace {
std::optional<QDateTime>& fixedMoment() {
    static std::optional<QDateTime> moment;
    return moment;
}
} // namespace

QDateTime now() {
    return fixedMoment() ? *fixedMoment() : QDateTime::currentDateTime();
}

void setFixed(const QDateTime& moment) {
    fixedMoment() = moment;
}

void clearFixed() {
    fixedMoment().reset();
}

} // namespace SystemClock
