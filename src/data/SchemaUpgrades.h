#pragma once

#include <QString>
#include <QStringList>
#include <vector>

// The steps that bring an attendance database to the schema this program works with. Each step
// names the version it reaches and its SQL for each engine side by side. A step only ever adds
// (tables, columns, indexes), so a database any version behind still holds every object of the
// first version. The engines run the missing steps in order at open, all in one transaction, and
// then record the latest version in the database.
struct SchemaUpgrade {
    int version;
    const char* sqlite;
    const char* postgres;
    // What the step stores instead of the persons' passwords (every one that is not Null, in the
    // order given), after its SQL; most steps leave them alone.
    QStringList (*rewritePasswords)(const QStringList& stored) = nullptr;
};

// A table or view every attendance database must have, with the columns the program reads.
struct RequiredObject {
    const char* name;
    bool isView;
    std::vector<const char*> columns;
};

namespace SchemaUpgrades {

// Every step, oldest first; the first one creates the tables of an empty database.
const std::vector<SchemaUpgrade>& steps();
int latestVersion();
const std::vector<RequiredObject>& requiredObjects();

// The SQLite file's triggers that keep the audit trail as written, by name, each with its CREATE
// statement as the steps make it (without the closing semicolon).
struct NamedTrigger {
    QString name;
    QString sql;
};
const std::vector<NamedTrigger>& sqliteAuditTriggers();

// The refusal of a database that a newer program has upgraded.
QString newerThanProgram(const QString& database, int version);

} // namespace SchemaUpgrades
