#include "data/SqliteBackup.h"

#include <QDir>
#include <QFileInfo>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>
#include <sqlite3.h>

#include <stdexcept>
#include <vector>

namespace {

std::runtime_error failure(const QString& description) {
    return std::runtime_error(description.toStdString());
}

QString engineText(sqlite3* db) {
    return QString::fromUtf8(sqlite3_errmsg(db));
}

// Closes a raw connection however the function that opened it ends.
struct Connection {
    sqlite3* handle = nullptr;
    ~Connection() { sqlite3_close_v2(handle); }
};

void openRaw(Connection& connection, const QString& path, int flags, const QString& what) {
    if (sqlite3_open_v2(path.toUtf8().constData(), &connection.handle, flags | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK)
        throw failure(
            QStringLiteral("%1 %2 cannot be opened: %3").arg(what, path, engineText(connection.handle)));
}

void execRaw(sqlite3* db, const char* sql) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        throw failure(engineText(db));
}

// The lines of an integrity or quick check that are not "ok".
QStringList problemsFound(SQLite::Database& db, const char* pragma) {
    SQLite::Statement check(db, pragma);
    QStringList problems;
    while (check.executeStep()) {
        // One line each, without the engine's heading of the database it checked.
        const QString line = QString::fromStdString(check.getColumn(0).getString())
                                 .remove(QStringLiteral("*** in database main ***"))
                                 .simplified();
        if (line != QLatin1String("ok"))
            problems.append(line);
    }
    return problems;
}

} // namespace

namespace SqliteBackup {

void copy(const QString& source, const QString& target, const std::function<void()>& checkTarget) {
    if (!QFileInfo(source).isFile())
        throw failure(QStringLiteral("The database file %1 does not exist.").arg(source));
    Connection from;
    Connection to;
    // Read-write where the file allows it, so that a journal left by a crashed copy is rolled back
    // rather than copied as half a transaction.
    openRaw(from, source, SQLITE_OPEN_READWRITE, QStringLiteral("The database file"));
    sqlite3_busy_timeout(from.handle, 5000);
    // Never created here, and never through a link: only the file the caller made is written.
    openRaw(to, target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW, QStringLiteral("The backup file"));
    if (checkTarget)
        checkTarget();
    try {
        // The copy is a fresh file that is thrown away on failure: no journal needed, and the
        // caller syncs it once at the end.
        execRaw(to.handle, "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF");
    } catch (const std::runtime_error& e) {
        throw failure(QStringLiteral("The backup file %1 cannot be written: %2")
                          .arg(target, QString::fromUtf8(e.what())));
    }

    sqlite3_backup* backup = sqlite3_backup_init(to.handle, "main", from.handle, "main");
    if (!backup)
        throw failure(QStringLiteral("The backup of %1 cannot begin: %2").arg(source, engineText(to.handle)));
    // All pages in one step: one read transaction, so the copy is one consistent state of the file.
    // A writer holding the file makes the step wait (busy timeout) and then fail; try a few times.
    int rc = SQLITE_OK;
    for (int attempt = 0; attempt < 6; ++attempt) {
        rc = sqlite3_backup_step(backup, -1);
        if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED)
            break;
        sqlite3_sleep(250);
    }
    sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE) {
        QString reason = QString::fromUtf8(sqlite3_errstr(rc));
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
            reason = QStringLiteral("another program kept the database busy");
        else if (rc == SQLITE_NOTADB || rc == SQLITE_CORRUPT)
            reason = QStringLiteral("the database file is damaged or is not an attendance database");
        throw failure(QStringLiteral("The backup of %1 failed: %2.").arg(source, reason));
    }
}

QString backupsFolderOf(const QString& database) {
    return QFileInfo(database).absolutePath() + QStringLiteral("/backups");
}

QStringList rewriteBackupPasswords(const QString& database, int version,
                                   QStringList (*rewrite)(const QStringList& stored)) {
    QStringList failures;
    const QDir folder(backupsFolderOf(database));
    for (const QFileInfo& entry :
         folder.entryInfoList({QStringLiteral("*.mdb")}, QDir::Files | QDir::Hidden)) {
        if (entry.isSymLink())
            continue;
        try {
            // Anyone may put a file here: it is opened as the data it is, never through a link.
            SQLite::Database db(entry.filePath().toStdString(),
                                SQLite::OPEN_READWRITE | SQLite::OPEN_NOMUTEX | SQLite::OPEN_NOFOLLOW, 5000);
            int unused = 0;
            sqlite3_db_config(db.getHandle(), SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, &unused);
            sqlite3_db_config(db.getHandle(), SQLITE_DBCONFIG_DEFENSIVE, 1, &unused);
            if (db.execAndGet("PRAGMA user_version").getInt() >= version || !db.tableExists("tblEmployees"))
                continue;
            SQLite::Transaction transaction(db, SQLite::TransactionBehavior::IMMEDIATE);
            std::vector<int64_t> rows;
            QStringList stored;
            SQLite::Statement select(db,
                                     "SELECT rowid, Password FROM tblEmployees WHERE Password IS NOT NULL");
            while (select.executeStep()) {
                rows.push_back(select.getColumn(0).getInt64());
                stored << QString::fromUtf8(select.getColumn(1).getText());
            }
            const QStringList replaced = rewrite(stored);
            SQLite::Statement update(db, "UPDATE tblEmployees SET Password = ? WHERE rowid = ?");
            for (qsizetype i = 0; i < stored.size(); ++i) {
                if (replaced.at(i) == stored.at(i))
                    continue;
                update.bind(1, replaced.at(i).toStdString());
                update.bind(2, rows[static_cast<size_t>(i)]);
                update.exec();
                update.reset();
            }
            transaction.commit();
        } catch (const std::exception& e) {
            failures << QStringLiteral("%1: %2").arg(entry.filePath(), QString::fromUtf8(e.what()));
        }
    }
    return failures;
}

Contents inspect(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        throw failure(QStringLiteral("The file %1 does not exist.").arg(path));
    if (!info.isFile())
        throw failure(QStringLiteral("%1 is not a database file.").arg(path));
    const QString notOurs = QStringLiteral("The file %1 is not an attendance database").arg(path);
    Contents contents;
    try {
        SQLite::Database db(path.toStdString(), SQLite::OPEN_READONLY | SQLite::OPEN_NOMUTEX, 5000);
        const QStringList problems = problemsFound(db, "PRAGMA integrity_check(5)");
        if (!problems.isEmpty())
            throw failure(
                QStringLiteral("The file %1 is damaged: %2").arg(path, problems.join(QStringLiteral("; "))));

        SQLite::Statement objects(db,
                                  "SELECT name FROM sqlite_master WHERE (type = 'table' AND name IN "
                                  "('tblEmployees','tblLogins')) OR (type = 'view' AND name = 'qryLogins')");
        int found = 0;
        while (objects.executeStep())
            ++found;
        if (found != 3)
            throw failure(notOurs + QStringLiteral(": it lacks the tables tblEmployees, tblLogins or the "
                                                   "query qryLogins."));
        contents.schemaVersion = db.execAndGet("PRAGMA user_version").getInt();
        contents.persons = db.execAndGet("SELECT count(*) FROM tblEmployees").getInt64();
        contents.records = db.execAndGet("SELECT count(*) FROM tblLogins").getInt64();
    } catch (const SQLite::Exception& e) {
        switch (e.getErrorCode()) {
        case SQLITE_NOTADB:
            throw failure(notOurs + QLatin1Char('.'));
        case SQLITE_CORRUPT:
            throw failure(
                QStringLiteral("The file %1 is damaged: %2").arg(path, QString::fromUtf8(e.what())));
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            throw failure(QStringLiteral("The file %1 is locked by another program.").arg(path));
        default:
            throw failure(
                QStringLiteral("The file %1 cannot be read: %2").arg(path, QString::fromUtf8(e.what())));
        }
    }
    return contents;
}

Health quickCheck(const QString& path) {
    try {
        SQLite::Database db(path.toStdString(), SQLite::OPEN_READONLY | SQLite::OPEN_NOMUTEX, 5000);
        const QStringList problems = problemsFound(db, "PRAGMA quick_check(3)");
        if (problems.isEmpty())
            return {Health::State::Sound, QString()};
        return {Health::State::Damaged, problems.join(QStringLiteral("; "))};
    } catch (const SQLite::Exception& e) {
        const int code = e.getErrorCode();
        if (code == SQLITE_NOTADB || code == SQLITE_CORRUPT)
            return {Health::State::Damaged, QString::fromUtf8(e.what())};
        return {Health::State::Unknown, QString::fromUtf8(e.what())};
    }
}

} // namespace SqliteBackup
