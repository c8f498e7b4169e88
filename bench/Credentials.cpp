#include "Credentials.h"

#include "Measure.h"
#include "data/AttendanceDatabase.h"

#include <QFile>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>
#include <stdexcept>
#include <string>

double upgradeMs(const QString& templatePath, const QString& folder, int persons) {
    const QString path = folder + QStringLiteral("/first-program-%1.mdb").arg(persons);
    QFile::remove(path);
    if (!QFile::copy(templatePath, path))
        throw std::runtime_error("cannot copy the template database");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    {
        // As the first program left its files: no schema version, no login failure counts,
        // passwords as typed.
        SQLite::Database db(path.toStdString(), SQLite::OPEN_READWRITE);
        db.exec("DROP TABLE tblLoginFailures");
        db.exec("PRAGMA user_version = 0");
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
    const double elapsed = timeMs([&] { db.open(path); });
    db.close();
    QFile::remove(path);
    return elapsed;
}
