#include "credentials/PasswordHash.h"

#include "platform/BusyNotice.h"

#include <sodium.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

namespace PasswordHash {

namespace {

// A hash with our costs of a random password nobody knows; verifying against it costs what a
// real verification costs.
constexpr const char* kNobody =
    "$argon2id$v=19$m=19456,t=2,p=1$hlAHQvJYRHc3GLl5YrV0VQ$vNVEYn5GBUpbilhocCIn9NIZSR9GQU3B8jyMhuTT7W0";

void ensureReady() {
    static const bool ready = sodium_init() >= 0;
    if (!ready)
        throw std::runtime_error("The password library could not be started.");
}

QByteArray folded(const QString& password) {
    return password.toCaseFolded().toUtf8();
}

bool verifyFolded(const char* stored, const QByteArray& typed) {
    return crypto_pwhash_str_verify(stored, typed.constData(),
                                    static_cast<unsigned long long>(typed.size())) == 0;
}

} // namespace

QString hash(const QString& password) {
    ensureReady();
    const QByteArray typed = folded(password);
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str_alg(out, typed.constData(), static_cast<unsigned long long>(typed.size()), kPasses,
                              kMemoryBytes, crypto_pwhash_ALG_ARGON2ID13) != 0)
        throw std::runtime_error("The password could not be protected: the computer is short of memory.");
    return QString::fromLatin1(out);
}

QStringList hashAll(const QStringList& passwords) {
    ensureReady();
    std::vector<QString> hashes(static_cast<std::size_t>(passwords.size()));
    std::atomic<qsizetype> next{0};
    std::atomic<bool> failed{false};
    const auto work = [&] {
        for (qsizetype i = next++; i < passwords.size() && !failed; i = next++) {
            try {
                hashes[static_cast<std::size_t>(i)] = hash(passwords.at(i));
            } catch (const std::exception&) {
                failed = true;
            }
        }
    };
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const auto helpers = std::min<qsizetype>(cores, passwords.size()) - 1;
    std::vector<std::thread> threads;
    for (qsizetype t = 0; t < helpers; ++t)
        threads.emplace_back(work);
    work();
    for (std::thread& thread : threads)
        thread.join();
    if (failed)
        throw std::runtime_error("The passwords could not be protected: the computer is short of memory.");
    return QStringList(hashes.begin(), hashes.end());
}

QStringList hashStoredPlainTexts(const QStringList& passwords) {
    // Hashes stay as they are: a copy whose passwords were hashed after it was taken is upgraded
    // by the same step when it is restored.
    QStringList plain;
    for (const QString& stored : passwords) {
        if (!isHash(stored))
            plain << stored;
    }
    // Below this many the pause is too short to notice (about 20 ms of processor time each).
    constexpr qsizetype kNoticeFrom = 50;
    std::optional<BusyNotice> notice;
    if (plain.size() >= kNoticeFrom)
        notice.emplace(QStringLiteral("Updating the attendance database: the %1 stored passwords are being "
                                      "protected. This is done once and may take a minute; please wait.")
                           .arg(plain.size()));
    const QStringList hashed = hashAll(plain);
    QStringList result;
    qsizetype next = 0;
    for (const QString& stored : passwords)
        result << (isHash(stored) ? stored : hashed.at(next++));
    return result;
}

bool isHash(const QString& stored) {
    return stored.startsWith(QLatin1String("$argon2id$")) && stored.size() < crypto_pwhash_STRBYTES;
}

bool verify(const QString& stored, const QString& typed) {
    ensureReady();
    if (!isHash(stored)) {
        verifyAgainstNobody(typed);
        return false;
    }
    return verifyFolded(stored.toLatin1().constData(), folded(typed));
}

QString nobodyHash() {
    return QString::fromLatin1(kNobody);
}

void verifyAgainstNobody(const QString& typed) {
    ensureReady();
    verifyFolded(kNobody, folded(typed));
}

} // namespace PasswordHash
