#include "Credentials.h"

#include "Measure.h"
#include "data/AttendanceDatabase.h"
#include "data/SchemaUpgrades.h"

#include <QFile>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>
#include <string>
#include <sys/resource.h>

namespace {

double processorMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto msOf = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
    };
    return msOf(usage.ru_utime) + msOf(usage.ru_stime);
}

} // namespace

UpgradeTime upgradeTime(const QString& folder, int persons) {
    const QString path = folder + QStringLiteral("/first-program-%1.mdb").arg(persons);
    QFile::remove(path);
    {
        // As the first program left its files: its tables, no schema version, passwords as typed.
        SQLite::Database db(path.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
        db.exec(SchemaUpgrades::steps().front().sqlite);
        SQLite::Transaction transaction(db);
        SQLite::Statement insert(db,
                                 "INSERT INTO tblEmployees (EmployeeNo, Password, Name) VALUES (?, ?, ?)");
        for (int p = 1; p <= persons; ++p) {
            insert.bind(1, "U" + std::to_string(p));
            insert.bind(2, "password " + std::to_string(p));
            insert.bind(3, "Person " + std::to_string(p));
            insert.exec();
            insert.reset();
        }
        transaction.commit();
    }
    AttendanceDatabase db;
    const double processorBefore = processorMs();
    const double wall = timeMs([&] { db.open(path); });
    const UpgradeTime taken{wall, processorMs() - processorBefore};
    db.close();
    QFile::remove(path);
    return taken;
}
