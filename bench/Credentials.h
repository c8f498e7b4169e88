#pragma once

#include <QString>

// The schema upgrade that replaces an older file's plain-text passwords by their hashes: the wall
// time of opening a file of the first program with `persons` persons (a fresh copy each time).
double upgradeMs(const QString& templatePath, const QString& folder, int persons);
