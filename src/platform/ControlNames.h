#pragma once

#include <QObject>
#include <QString>
#include <initializer_list>
#include <utility>

// Gives each control of a window the name of its role, the one the window's code holds it by, so that
// tests and tools find it as a reader of the code would (QObject::findChild).
inline void nameControls(std::initializer_list<std::pair<QObject*, const char*>> controls) {
    for (const auto& [control, name] : controls)
        control->setObjectName(QLatin1String(name));
}
