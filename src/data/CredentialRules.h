#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// The wrong passwords counted for one person number, as the database keeps them. `since` is the first
// failure of the current window, or, once the number is refused, the moment the refusal began.
struct LoginFailures {
    int failures = 0;
    QDateTime since;
};

// What the data layer needs of the credentials above it: how a typed password is stored, how the plain
// passwords of an older file are replaced when it is upgraded, and how a login failure count grows.
// They are handed down once at start (Credentials::handToData) rather than reached up for, so that
// this layer depends on nothing above the platform.
struct CredentialRules {
    QString (*hash)(const QString& password) = nullptr;
    QStringList (*hashStoredPlainTexts)(const QStringList& passwords) = nullptr;
    LoginFailures (*afterFailure)(const LoginFailures& state, const QDateTime& now) = nullptr;

    static void install(const CredentialRules& rules);
    // The rules installed; throws std::logic_error when none were, rather than store a plain password.
    static const CredentialRules& installed();
};
