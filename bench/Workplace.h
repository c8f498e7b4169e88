#pragma once

#include <QDate>
#include <QString>

// A large workplace generated straight through SQLite: persons and years of attendance records.
struct WorkplaceSize {
    int persons = 500;
    int records = 1'000'000;
    int years = 8;
    int today = 300; // records dated today
};

// Creates (or reuses, when it already holds the requested size) the database at `path`,
// starting from the template. Returns the person number that owns the most records.
QString generateWorkplace(const QString& templatePath, const QString& path, const WorkplaceSize& size,
                          const QDate& today);
