#include "Workplace.h"

#include "credentials/PasswordHash.h"
#include "data/SchemaUpgrades.h"
#include "platform/DateTexts.h"

#include <QFile>
#include <QFileInfo>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>
#include <random>
#include <stdexcept>

namespace {
QString number(int person) {
    return QStringLiteral("E%1").arg(person, 4, 10, QLatin1Char('0'));
}

bool alreadyGenerated(const QString& path, const WorkplaceSize& size, const QDate& today) {
    if (!QFileInfo::exists(path))
        return false;
    try {
        SQLite::Database db(path.toStdString(), SQLite::OPEN_READONLY);
        const int records = db.execAndGet("SELECT count(*) FROM tblLogins").getInt();
        const int persons = db.execAndGet("SELECT count(*) FROM tblEmployees").getInt();
        SQLite::Statement dated(db, "SELECT count(*) FROM tblLogins WHERE LogDate = ?");
        dated.bind(1, today.toString(Qt::ISODate).toStdString());
        dated.executeStep();
        return db.execAndGet("PRAGMA user_version").getInt() == SchemaUpgrades::latestVersion() &&
               records == size.records && persons == size.persons &&
               dated.getColumn(0).getInt() == size.today;
    } catch (const std::exception&) {
        return false;
    }
}
} // namespace

QString generateWorkplace(const QString& templatePath, const QString& path, const WorkplaceSize& size,
                          const QDate& today) {
    if (alreadyGenerated(path, size, today))
        return number(1);
    QFile::remove(path);
    if (!QFile::copy(templatePath, path))
        throw std::runtime_error("cannot copy the template database");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);

    SQLite::Database db(path.toStdString(), SQLite::OPEN_READWRITE);
    db.exec("PRAGMA journal_mode = OFF");
    db.exec("PRAGMA synchronous = OFF");
    SQLite::Transaction transaction(db);
    SQLite::Statement person(db,
                             "INSERT INTO tblEmployees (EmployeeNo, Password, Name, Department, Position, "
                             "IsAdmin) VALUES (?, ?, ?, ?, ?, ?)");
    // Stored as the program stores them: hashes (of "pw1", "pw2", ...), all cores at once.
    QStringList passwords;
    for (int p = 1; p <= size.persons; ++p)
        passwords << QStringLiteral("pw%1").arg(p);
    const QStringList hashes = PasswordHash::hashAll(passwords);
    const char* departments[] = {"Assembly", "Shipping", "Office", "Workshop", "Sales", "Kitchen"};
    const char* positions[] = {"Operator", "Clerk", "Foreman", "Driver", "Manager"};
    for (int p = 1; p <= size.persons; ++p) {
        person.bind(1, number(p).toStdString());
        person.bind(2, hashes.at(p - 1).toStdString());
        person.bind(3, QStringLiteral("Person %1 Lastname").arg(p).toStdString());
        person.bind(4, departments[p % 6]);
        person.bind(5, positions[p % 5]);
        person.bind(6, p == 1 ? 1 : 0);
        person.exec();
        person.reset();
    }

    // Person 1 keeps 2,000 records; the rest spread over the other persons and the days.
    std::mt19937 random(20261209);
    const int days = size.years * 365;
    const QDate first = today.addDays(-days);
    SQLite::Statement record(
        db, "INSERT INTO tblLogins (EmployeeNo, LogDate, TimeIn, TimeOut) VALUES (?, ?, ?, ?)");
    const auto timeText = [](int minutes) {
        return DateTexts::clockTime(QTime(minutes / 60, minutes % 60), DateTexts::HourCycle::TwelveHour)
            .toStdString();
    };
    for (int r = 0; r < size.records; ++r) {
        int who = 0;
        QDate day;
        if (r < size.today) {
            who = 2 + r % (size.persons - 1);
            day = today;
        } else if (r < size.today + 2000) {
            who = 1;
            day = first.addDays(static_cast<int>(random() % static_cast<unsigned>(days)));
        } else {
            who = 2 + static_cast<int>(random() % static_cast<unsigned>(size.persons - 1));
            day = first.addDays(static_cast<int>(random() % static_cast<unsigned>(days)));
        }
        const int in = 6 * 60 + static_cast<int>(random() % 240);
        const int out = in + 240 + static_cast<int>(random() % 300);
        record.bind(1, number(who).toStdString());
        record.bind(2, day.toString(Qt::ISODate).toStdString());
        record.bind(3, timeText(in));
        record.bind(4, timeText(out % (24 * 60)));
        record.exec();
        record.reset();
    }
    transaction.commit();
    db.exec("ANALYZE");
    return number(1);
}
