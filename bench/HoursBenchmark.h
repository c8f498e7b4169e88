#pragma once

#include "Measure.h"

#include <QDate>
#include <QString>
#include <vector>

class QWidget;

// The hours worked on whichever engine the program is configured for: the Hours window's totals of
// last month for every person, and the command line's totals of a whole year as a payroll script
// runs them (a new process each time).
Row hoursWindowRow(QWidget* parent, const QString& engine, const QDate& today);
Row hoursCommandRow(const QString& engine, int year);
// Both on the embedded file, without pay rules and then with every rule on.
void measureHours(std::vector<Row>& rows, QWidget* parent, const QDate& today);
