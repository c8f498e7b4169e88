#include "data/AttendanceDatabase.h"

#include <QFileInfo>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <sqlite3.h>

#include <stdexcept>

namespace {

std::runtime_error failure(const QString& description) {
    return std::runtime_error(description.toStdString());
}

std::string utf8(const QString& text) {
    return text.toStdString();
}

bool isAscii(const char* text, int length) {
    for (int i = 0; i < length; ++i) {
        if (static_cast<unsigned char>(text[i]) >= 0x80)
            return false;
    }
    return true;
}

// Letter case ignored across Unicode; plain ASCII takes a fast path with the same order.
int compareIgnoringCase(void*, int lengthA, const void* a, int lengthB, const void* b) {
    const auto* textA = static_cast<const char*>(a);
    const auto* textB = static_cast<const char*>(b);
    if (isAscii(textA, lengthA) && isAscii(textB, lengthB)) {
        const int common = std::min(lengthA, lengthB);
        for (int i = 0; i < common; ++i) {
            const int ca = (textA[i] >= 'A' && textA[i] <= 'Z') ? textA[i] + 32 : textA[i];
            const int cb = (textB[i] >= 'A' && textB[i] <= 'Z') ? textB[i] + 32 : textB[i];
            if (ca != cb)
                return ca < cb ? -1 : 1;
        }
        return lengthA == lengthB ? 0 : (lengthA < lengthB ? -1 : 1);
    }
    const QString stringA = QString::fromUtf8(textA, lengthA);
    const QString stringB = QString::fromUtf8(textB, lengthB);
    const int result = QString::compare(stringA, stringB, Qt::CaseInsensitive);
    return result < 0 ? -1 : (result > 0 ? 1 : 0);
}

// SQLite's NOCASE index is a sound first filter for a person number only when no non-ASCII
// letter can fold onto one of its letters (the Kelvin sign onto k, the long s onto s, ...).
bool indexCanFilter(const QString& number) {
    for (QChar c : number) {
        if (c.unicode() >= 0x80)
            return false;
        switch (c.toLatin1()) {
        case 'k':
        case 'K':
        case 's':
        case 'S':
        case 'i':
        case 'I':
            return false;
        default:
            break;
        }
    }
    return true;
}

// "EmployeeNo equals the bound number ignoring case", in the form that can use the index.
std::string sameNumber(const QString& number, const char* parameter,
                       const std::string& column = "EmployeeNo") {
    std::string clause = column + " = " + parameter + " COLLATE UNICODE_NOCASE";
    if (indexCanFilter(number))
        clause = "(" + column + " = " + parameter + " AND " + clause + ")";
    return clause;
}

std::string isoDate(const QDate& day) {
    if (!day.isValid())
        throw failure(QStringLiteral("The date for the attendance database is empty or not a valid date."));
    return utf8(day.toString(Qt::ISODate));
}

} // namespace

AttendanceDatabase::AttendanceDatabase() = default;
AttendanceDatabase::~AttendanceDatabase() = default;

void AttendanceDatabase::setBusyTimeout(int milliseconds) {
    m_busyTimeoutMs = milliseconds;
    if (m_db)
        m_db->setBusyTimeout(milliseconds);
}

void AttendanceDatabase::open(const QString& path) {
    close();
    const QFileInfo info(path);
    if (!info.exists())
        throw failure(QStringLiteral("The database file %1 does not exist.").arg(path));
    if (!info.isFile())
        throw failure(QStringLiteral("%1 is not a database file.").arg(path));
    std::unique_ptr<SQLite::Database> db;
    try {
        // One thread uses the connection, so the engine's own locking around every call is not needed.
        db = std::make_unique<SQLite::Database>(utf8(path), SQLite::OPEN_READWRITE | SQLite::OPEN_NOMUTEX,
                                                m_busyTimeoutMs);
    } catch (const std::exception& e) {
        throw failure(QStringLiteral("The database file %1 cannot be opened: %2")
                          .arg(path, QString::fromUtf8(e.what())));
    }
    if (sqlite3_db_readonly(db->getHandle(), "main") == 1)
        throw failure(
            QStringLiteral("The database file %1 is read-only, so punches and changes cannot be saved. "
                           "Every user of this computer needs write access to it.")
                .arg(path));
    if (sqlite3_create_collation_v2(db->getHandle(), kCollation, SQLITE_UTF8, nullptr, compareIgnoringCase,
                                    nullptr) != SQLITE_OK)
        throw failure(QStringLiteral("The database file %1 cannot be opened: %2")
                          .arg(path, QString::fromUtf8(sqlite3_errmsg(db->getHandle()))));
    try {
        SQLite::Statement tables(*db, "SELECT count(*) FROM sqlite_master WHERE name IN "
                                      "('tblEmployees','tblLogins','qryLogins')");
        tables.executeStep();
        if (tables.getColumn(0).getInt() != 3)
            throw failure(QStringLiteral("The file %1 is not an attendance database: it lacks the tables "
                                         "tblEmployees, tblLogins or the query qryLogins.")
                              .arg(path));
    } catch (const SQLite::Exception& e) {
        const int code = e.getErrorCode();
        if (code == SQLITE_NOTADB)
            throw failure(QStringLiteral("The file %1 is not an attendance database.").arg(path));
        if (code == SQLITE_BUSY || code == SQLITE_LOCKED)
            throw failure(QStringLiteral("The database file %1 is locked by another program.").arg(path));
        throw failure(
            QStringLiteral("The database file %1 cannot be read: %2").arg(path, QString::fromUtf8(e.what())));
    }
    m_db = std::move(db);
    m_path = path;
}

void AttendanceDatabase::close() {
    m_db.reset();
}

SQLite::Database& AttendanceDatabase::connection() {
    if (!m_db)
        throw failure(QStringLiteral("The attendance database is not open."));
    return *m_db;
}

namespace {

// Runs a read and turns engine errors into descriptions.
template <typename Bind>
RecordSet read(SQLite::Database& db, const std::string& sql, Bind bind, int expectedRows = 0) {
    try {
        SQLite::Statement statement(db, sql);
        bind(statement);
        return RecordSet::fetch(statement, expectedRows);
    } catch (const SQLite::Exception& e) {
        throw failure(
            QStringLiteral("The attendance database could not be read: %1").arg(QString::fromUtf8(e.what())));
    }
}

template <typename Bind> int change(SQLite::Database& db, const std::string& sql, Bind bind) {
    try {
        SQLite::Statement statement(db, sql);
        bind(statement);
        return statement.exec();
    } catch (const SQLite::Exception& e) {
        throw failure(QStringLiteral("The attendance database could not be changed: %1")
                          .arg(QString::fromUtf8(e.what())));
    }
}

const auto noBinding = [](SQLite::Statement&) {};

} // namespace

RecordSet AttendanceDatabase::personByCredentials(const QString& number, const QString& password) {
    const std::string sql = "SELECT * FROM tblEmployees WHERE " + sameNumber(number, ":no") +
                            " AND Password = :pw COLLATE UNICODE_NOCASE";
    return read(connection(), sql, [&](SQLite::Statement& s) {
        s.bind(":no", utf8(number));
        s.bind(":pw", utf8(password));
    });
}

RecordSet AttendanceDatabase::administrators() {
    return read(connection(), "SELECT * FROM tblEmployees WHERE IsAdmin = 1", noBinding);
}

RecordSet AttendanceDatabase::personsByName() {
    return read(connection(), "SELECT * FROM tblEmployees ORDER BY Name COLLATE UNICODE_NOCASE", noBinding);
}

RecordSet AttendanceDatabase::personByNumber(const QString& number) {
    return read(connection(), "SELECT * FROM tblEmployees WHERE " + sameNumber(number, ":no"),
                [&](SQLite::Statement& s) { s.bind(":no", utf8(number)); });
}

namespace {
void bindPerson(SQLite::Statement& s, const PersonFields& person) {
    s.bind(":no", utf8(person.number));
    if (person.password)
        s.bind(":pw", utf8(*person.password));
    else
        s.bind(":pw");
    s.bind(":name", utf8(person.name));
    s.bind(":dept", utf8(person.department));
    s.bind(":pos", utf8(person.position));
    s.bind(":admin", person.isAdmin ? 1 : 0);
}

QString numberInUse(const QString& number) {
    return QStringLiteral("The person number \"%1\" is already in use by another person.").arg(number);
}
} // namespace

void AttendanceDatabase::insertPerson(const PersonFields& person) {
    // The clash test and the insert are one statement, so no second copy of the program can slip between.
    const std::string sql =
        "INSERT INTO tblEmployees (EmployeeNo, Password, Name, Department, Position, IsAdmin) "
        "SELECT :no, :pw, :name, :dept, :pos, :admin WHERE NOT EXISTS "
        "(SELECT 1 FROM tblEmployees WHERE " +
        sameNumber(person.number, ":no") + ")";
    int inserted = 0;
    try {
        inserted = change(connection(), sql, [&](SQLite::Statement& s) { bindPerson(s, person); });
    } catch (const std::runtime_error& e) {
        if (QString::fromUtf8(e.what()).contains(QLatin1String("UNIQUE")))
            throw failure(numberInUse(person.number));
        throw;
    }
    if (inserted == 0)
        throw failure(numberInUse(person.number));
}

void AttendanceDatabase::updatePerson(const QString& current, const PersonFields& person) {
    const std::string sql = "UPDATE tblEmployees SET EmployeeNo = :no, Password = coalesce(:pw, Password), "
                            "Name = :name, "
                            "Department = :dept, Position = :pos, IsAdmin = :admin WHERE " +
                            sameNumber(current, ":current") +
                            " AND NOT EXISTS (SELECT 1 FROM tblEmployees AS other WHERE " +
                            sameNumber(person.number, ":no", "other.EmployeeNo") + " AND NOT " +
                            sameNumber(current, ":current", "other.EmployeeNo") + ")";
    try {
        const int changed = change(connection(), sql, [&](SQLite::Statement& s) {
            bindPerson(s, person);
            s.bind(":current", utf8(current));
        });
        if (changed > 0)
            return;
    } catch (const std::runtime_error& e) {
        if (QString::fromUtf8(e.what()).contains(QLatin1String("UNIQUE")))
            throw failure(numberInUse(person.number));
        throw;
    }
    // Nothing changed: either the person is gone (nothing to do) or the new number clashes.
    if (!personByNumber(current).eof() && !personByNumber(person.number).eof())
        throw failure(numberInUse(person.number));
}

void AttendanceDatabase::deletePerson(const QString& number) {
    change(connection(), "DELETE FROM tblEmployees WHERE " + sameNumber(number, ":no"),
           [&](SQLite::Statement& s) { s.bind(":no", utf8(number)); });
}

void AttendanceDatabase::deleteRecordsOfPerson(const QString& number) {
    change(connection(), "DELETE FROM tblLogins WHERE " + sameNumber(number, ":no"),
           [&](SQLite::Statement& s) { s.bind(":no", utf8(number)); });
}

RecordSet AttendanceDatabase::recordsOfPerson(const QString& number) {
    return read(connection(),
                "SELECT * FROM tblLogins WHERE " + sameNumber(number, ":no") + " ORDER BY rowid",
                [&](SQLite::Statement& s) { s.bind(":no", utf8(number)); });
}

RecordSet AttendanceDatabase::latestRecordOfPerson(const QString& number) {
    return read(connection(),
                "SELECT * FROM tblLogins WHERE " + sameNumber(number, ":no") + " ORDER BY rowid DESC LIMIT 1",
                [&](SQLite::Statement& s) { s.bind(":no", utf8(number)); });
}

void AttendanceDatabase::punchIn(const QString& number, const QDate& day, const QString& timeIn) {
    const std::string date = isoDate(day);
    change(connection(), "INSERT INTO tblLogins (EmployeeNo, LogDate, TimeIn) VALUES (:no, :day, :in)",
           [&](SQLite::Statement& s) {
               s.bind(":no", utf8(number));
               s.bind(":day", date);
               s.bind(":in", utf8(timeIn));
           });
}

void AttendanceDatabase::punchOut(const QString& number, const QDate& day, const QString& timeOut) {
    const std::string date = isoDate(day);
    change(connection(),
           "UPDATE tblLogins SET LogDate = :day, TimeOut = :out WHERE " + sameNumber(number, ":no") +
               " AND TimeOut IS NULL",
           [&](SQLite::Statement& s) {
               s.bind(":no", utf8(number));
               s.bind(":day", date);
               s.bind(":out", utf8(timeOut));
           });
}

void AttendanceDatabase::deleteRecord(const QString& number, const QDate& day, const QString& timeIn) {
    const std::string date = isoDate(day);
    change(connection(),
           "DELETE FROM tblLogins WHERE " + sameNumber(number, ":no") +
               " AND LogDate = :day AND TimeIn = :in COLLATE UNICODE_NOCASE",
           [&](SQLite::Statement& s) {
               s.bind(":no", utf8(number));
               s.bind(":day", date);
               s.bind(":in", utf8(timeIn));
           });
}

namespace {
// qryLogins with its join made here: the file's view joins by SQLite's NOCASE, which misses a record
// typed as "ÄBC" for the person "äbc". A record finds its person through the index first; only a
// number that could fold onto another across Unicode (a non-ASCII one, or one with i, k or s while
// some person's number is non-ASCII) falls back to a scan.
const std::string kLogins =
    "SELECT l.EmployeeNo AS EmployeeNo, e.Name AS Name, e.Department AS Department, "
    "e.Position AS Position, l.LogDate AS LogDate, l.TimeIn AS TimeIn, l.TimeOut AS TimeOut "
    "FROM tblLogins AS l LEFT JOIN tblEmployees AS e ON e.rowid = coalesce("
    "(SELECT p.rowid FROM tblEmployees AS p WHERE p.EmployeeNo = l.EmployeeNo), "
    "CASE WHEN l.EmployeeNo GLOB '*[^ -~]*' OR (l.EmployeeNo GLOB '*[iIkKsS]*' AND "
    "EXISTS (SELECT 1 FROM tblEmployees WHERE EmployeeNo GLOB '*[^ -~]*')) THEN "
    "(SELECT p.rowid FROM tblEmployees AS p WHERE p.EmployeeNo = l.EmployeeNo COLLATE UNICODE_NOCASE "
    "LIMIT 1) END)";
const std::string kInsertOrder = " ORDER BY l.rowid";
} // namespace

RecordSet AttendanceDatabase::loginsOn(const QDate& day) {
    const std::string date = isoDate(day);
    return read(connection(), kLogins + " WHERE l.LogDate = :day" + kInsertOrder,
                [&](SQLite::Statement& s) { s.bind(":day", date); });
}

RecordSet AttendanceDatabase::loginsOfPerson(const QString& number) {
    return read(connection(), kLogins + " WHERE " + sameNumber(number, ":no", "l.EmployeeNo") + kInsertOrder,
                [&](SQLite::Statement& s) { s.bind(":no", utf8(number)); });
}

RecordSet AttendanceDatabase::allLogins() {
    // Years of records: the count sizes the storage once instead of growing it step by step.
    const int records = read(connection(), "SELECT count(*) AS Records FROM tblLogins", noBinding)
                            .value(QStringLiteral("Records"))
                            .toInt();
    return read(connection(), kLogins + kInsertOrder, noBinding, records);
}
