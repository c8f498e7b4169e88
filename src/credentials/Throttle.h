#pragma once

#include "data/CredentialRules.h"

#include <QDateTime>
#include <optional>

// Slows down the guessing of passwords at the terminal: after kAllowedFailures wrong passwords for
// one person number within kWindow, that number is refused for kLockout. The rules are plain
// functions of the stored count, its start and the current moment; the count itself lives in the
// database so that every terminal sees it.
namespace Throttle {

constexpr int kAllowedFailures = 5;
constexpr qint64 kWindowSeconds = 10 * 60;
constexpr qint64 kLockoutSeconds = 10 * 60;

// The wrong passwords counted for one number, as the database keeps them.
using State = LoginFailures;

// Until when the number is refused at `now`; nothing when it may try.
std::optional<QDateTime> refusedUntil(const State& state, const QDateTime& now);
// The count after one more wrong password at `now`.
State afterFailure(const State& state, const QDateTime& now);

} // namespace Throttle
