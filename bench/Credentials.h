#pragma once

#include <QString>

struct UpgradeTime {
    double wallMs;
    double processorMs; // of every thread of the program together
};

// The schema upgrade that replaces an older file's plain-text passwords by their hashes: opening a
// file of the first program with `persons` persons (a fresh one each time).
UpgradeTime upgradeTime(const QString& folder, int persons);
