#include "credentials/Throttle.h"

namespace Throttle {

namespace {
// Whether `since` still counts at `now`: within `limit` seconds either way, so that terminals whose
// clocks differ a little share one count, and a clock set far back is not refused without end.
bool within(const QDateTime& since, const QDateTime& now, qint64 limit) {
    if (!since.isValid())
        return false;
    const qint64 elapsed = since.secsTo(now);
    return elapsed < limit && elapsed > -limit;
}
} // namespace

std::optional<QDateTime> refusedUntil(const State& state, const QDateTime& now) {
    if (state.failures < kAllowedFailures || !within(state.since, now, kLockoutSeconds))
        return std::nullopt;
    return state.since.addSecs(kLockoutSeconds);
}

State afterFailure(const State& state, const QDateTime& now) {
    const bool refused = state.failures >= kAllowedFailures;
    if (state.failures <= 0 || !within(state.since, now, refused ? kLockoutSeconds : kWindowSeconds))
        return {1, now}; // a count whose window or refusal has passed starts again
    if (refused)
        return state; // refused numbers are not tried, so their count does not grow
    if (state.failures + 1 == kAllowedFailures)
        return {kAllowedFailures, now}; // the refusal begins
    return {state.failures + 1, state.since};
}

} // namespace Throttle
