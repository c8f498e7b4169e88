#pragma once

#include "hours/HoursTotals.h"

#include <QDialog>

class AttendanceDatabase;
class MousePointer;
class PushButton;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

// The workplace's pay rules, shown to everyone who opens the Hours window and changed only by the
// administrator who passed the gate: without one, every box is read-only and Save is disabled.
// A change is one audited write of the whole rule set.
class RulesWindow : public QDialog {
    Q_OBJECT
public:
    RulesWindow(AttendanceDatabase& db, QWidget* parent = nullptr);

    // Reads the rules into the boxes; false when they cannot be read (the error box has said why).
    bool load();
    // Checks the boxes, writes the rules and closes; a box that cannot be read keeps the window open.
    void save();

signals:
    void rulesChanged();

private:
    Hours::Rules rulesFromBoxes() const;

    AttendanceDatabase& m_db;
    MousePointer* m_pointer;
    Hours::Rules m_read;
    QComboBox* m_rounding;
    QLineEdit* m_breaks;
    QLineEdit* m_daily;
    QLineEdit* m_weekly;
    QComboBox* m_firstDay;
    QLineEdit* m_longRecords;
    QLabel* m_who;
    PushButton* m_save;
    PushButton* m_close;
};
