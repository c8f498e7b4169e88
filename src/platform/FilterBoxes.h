#pragma once

class QDateEdit;
class QLineEdit;
class QString;
class QWidget;

// The boxes a list window filters by: a period's days and a person number.
namespace FilterBoxes {

// A day of the period: the locale's short date with a calendar to drop down.
QDateEdit* dateBox(QWidget* parent, const QString& objectName);
// A person number; left empty it stands for everyone.
QLineEdit* personBox(QWidget* parent, const QString& objectName);

} // namespace FilterBoxes
