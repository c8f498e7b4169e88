#pragma once

#include "platform/ListView.h"

#include <QStringList>

// The reports list as the exports see it: the seven columns and rows with their check marks.
namespace ExportScene {

inline const QStringList kTitles{QStringLiteral("Person Number"), QStringLiteral("Name"),
                                 QStringLiteral("Department"),    QStringLiteral("Position"),
                                 QStringLiteral("Date"),          QStringLiteral("Login"),
                                 QStringLiteral("Logout")};

inline void addColumns(ListView& list) {
    for (const QString& title : kTitles)
        list.addColumnHeader(title);
    list.setCheckBoxes(true);
}

inline void addRow(ListView& list, const QStringList& cells, bool checked) {
    const int row = list.addItem(cells.at(0));
    for (int i = 1; i < cells.size(); ++i)
        list.setSubItem(row, i, cells.at(i));
    list.setChecked(row, checked);
}

} // namespace ExportScene
