#include "credentials/Throttle.h"

namespace Throttle {

namespace {
// Whether `since` still counts at `now`: less than `limit` seconds ago, or later than `now`. A start
// in the future (a clock set back, or a terminal ahead of the one asking) counts, so that no clock
// can erase another's count.
bool within(const QDateTime& since, const QDateTime& now, qint64 limit) {
    if (!since.isValid())
        return false;
    return since.secsTo(now) < limit;
}
} // namespace

std::optional<QDateTime> refusedUntil(const State& state, const QDateTime& now) {
    if (state.failures < kAllowedFailures || !within(state.since, now, kLockoutSeconds))
        return std::nullopt;
    // A refusal that begins further ahead than its own length (a clock set far back) lasts a refusal's
    // length from now, not until the clock catches up with it.
    const QDateTime start = state.since.secsTo(now) < -kLockoutSeconds ? now : state.since;
    return start.addSecs(kLockoutSeconds);
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
