#pragma once

#include <QString>
#include <QStringList>
#include <cstddef>

// Passwords are kept as Argon2id hashes (libsodium's self-describing text form), never as typed.
// The hash is taken of the case-folded password, so a password typed in other letter case still
// matches, as it always has. Failures throw std::runtime_error with a description for the error box.
namespace PasswordHash {

// Costs chosen so that one verification stays far below the time a person waits at the punch
// (about 20 ms of processor time here) while meeting the common minimum for Argon2id.
constexpr unsigned long long kPasses = 2;
constexpr std::size_t kMemoryBytes = std::size_t{19} << 20;

QString hash(const QString& password);
// Several at once on every processor core, in the order given (the schema upgrade hashes a whole
// file of plain-text passwords).
QStringList hashAll(const QStringList& passwords);
// hashAll for the upgrade of an older file's plain-text passwords, keeping those already hashed:
// with many of them it takes seconds, so a notice says what the program is doing meanwhile.
QStringList hashStoredPlainTexts(const QStringList& passwords);

// Whether `typed` is the password behind `stored`. Anything that is not one of our hashes (a
// missing password, say) matches nothing, after the same work as a real verification.
bool verify(const QString& stored, const QString& typed);
// The work of one verification with no person behind it, so that an unknown person number is
// refused in the same time as a wrong password.
void verifyAgainstNobody(const QString& typed);
// The hash that stands in for a person nobody has: a random password's, with our costs.
QString nobodyHash();

// Whether a stored text is a hash of ours (as opposed to a plain-text password of an old file).
bool isHash(const QString& stored);

} // namespace PasswordHash
