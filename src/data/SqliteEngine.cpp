#include "data/SqliteEngine.h"

#include "data/SchemaUpgrades.h"
#include "data/SqliteBackup.h"
#include "platform/SystemClock.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtDebug>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>
#include <algorithm>
#include <array>
#include <chrono>
#include <map>
#include <optional>
#include <sqlite3.h>
#include <unordered_map>

namespace {

using Kind = DatabaseError::Kind;

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

// The engine's result code, not its message, tells what went wrong.
Kind kindOf(const SQLite::Exception& e) {
    switch (e.getErrorCode()) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return Kind::Busy;
    case SQLITE_INTERRUPT:
        return Kind::Interrupted;
    case SQLITE_CONSTRAINT:
        if (e.getExtendedErrorCode() == SQLITE_CONSTRAINT_UNIQUE ||
            e.getExtendedErrorCode() == SQLITE_CONSTRAINT_PRIMARYKEY)
            return Kind::Duplicate;
        return Kind::Other;
    default:
        return Kind::Other;
    }
}

using Clock = std::chrono::steady_clock;

} // namespace

// The connection and the deadline of the statement it runs: the engine calls back every few thousand
// steps, and a statement past its deadline is stopped, whatever the file asks the engine to do.
struct SqliteEngine::Connection {
    Connection(const QString& path, int busyTimeoutMs)
        : db(path.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_NOMUTEX | SQLite::OPEN_NOFOLLOW,
             busyTimeoutMs) {}

    SQLite::Database db;
    Clock::time_point deadline = Clock::time_point::max();
    int statementLimitMs = SqliteEngine::kStatementLimitMs;

    void startStatement() { deadline = Clock::now() + std::chrono::milliseconds(statementLimitMs); }
    static int overdue(void* self) { return Clock::now() > static_cast<Connection*>(self)->deadline ? 1 : 0; }
};

namespace {

using Connection = SqliteEngine::Connection;

QString describe(const SQLite::Exception& e, const Connection& c) {
    if (kindOf(e) == Kind::Interrupted)
        return EngineText::statementStopped(c.statementLimitMs);
    return QString::fromUtf8(e.what());
}

DatabaseError readFailure(const SQLite::Exception& e, const Connection& c) {
    return EngineText::readFailure(kindOf(e), describe(e, c));
}

DatabaseError changeFailure(const SQLite::Exception& e, const Connection& c) {
    return EngineText::changeFailure(kindOf(e), describe(e, c));
}

RecordSet::Kind kindOfDeclared(const char* declaredType) {
    if (!declaredType)
        return RecordSet::Kind::Text;
    const QString type = QString::fromLatin1(declaredType).toUpper();
    if (type.contains(QLatin1String("DATE")))
        return RecordSet::Kind::Date;
    if (type.contains(QLatin1String("INT")))
        return RecordSet::Kind::Integer;
    if (type.contains(QLatin1String("REAL")) || type.contains(QLatin1String("FLOA")) ||
        type.contains(QLatin1String("DOUB")))
        return RecordSet::Kind::Real;
    return RecordSet::Kind::Text;
}

std::vector<RecordSet::Column> layoutOf(SQLite::Statement& statement) {
    std::vector<RecordSet::Column> layout;
    for (int c = 0; c < statement.getColumnCount(); ++c) {
        const char* declared = nullptr;
        try {
            declared = statement.getColumnDeclaredType(c);
        } catch (const SQLite::Exception&) {
            declared = nullptr; // an expression column has no declared type
        }
        layout.push_back({QString::fromUtf8(statement.getColumnName(c)), kindOfDeclared(declared)});
    }
    return layout;
}

// The current row's cells, in the statement's column order.
class RowReader {
public:
    explicit RowReader(const std::vector<RecordSet::Column>& layout) {
        for (const RecordSet::Column& column : layout)
            m_integer.push_back(column.kind == RecordSet::Kind::Integer);
    }
    const SQLite::Column& field(SQLite::Statement& statement, size_t c) {
        if (m_fields.empty()) {
            for (int i = 0; i < statement.getColumnCount(); ++i)
                m_fields.push_back(statement.getColumn(i));
        }
        return m_fields[c];
    }
    void add(SQLite::Statement& statement, size_t c, RecordSet::Builder& builder) {
        const SQLite::Column& cell = field(statement, c);
        if (m_integer[c] && cell.getType() == SQLITE_INTEGER) {
            builder.addInteger(cell.getInt64());
            return;
        }
        // The engine gives no text for Null, which spares asking for the type of every cell.
        const char* text = cell.getText(nullptr);
        if (text)
            builder.addText(std::string_view(text, static_cast<size_t>(cell.getBytes())));
        else
            builder.addNull();
    }

private:
    std::vector<bool> m_integer;
    std::vector<SQLite::Column> m_fields;
};

// Runs the statement and reads every row; `expectedRows` sizes the storage up front.
RecordSet fetch(SQLite::Statement& statement, int expectedRows) {
    const std::vector<RecordSet::Column> layout = layoutOf(statement);
    RecordSet::Builder builder(layout, expectedRows);
    RowReader row(layout);
    while (statement.executeStep()) {
        for (size_t c = 0; c < layout.size(); ++c)
            row.add(statement, c, builder);
    }
    return builder.finish();
}

// Runs a read, its rows taken by `rows`, and turns engine errors into descriptions.
template <typename Bind, typename Rows>
RecordSet readWith(Connection& c, const std::string& sql, Bind bind, Rows rows) {
    try {
        SQLite::Statement statement(c.db, sql);
        bind(statement);
        c.startStatement();
        return rows(statement);
    } catch (const SQLite::Exception& e) {
        throw readFailure(e, c);
    }
}

template <typename Bind>
RecordSet read(Connection& c, const std::string& sql, Bind bind, int expectedRows = 0) {
    return readWith(c, sql, bind, [&](SQLite::Statement& s) { return fetch(s, expectedRows); });
}

template <typename Bind> int change(Connection& c, const std::string& sql, Bind bind) {
    try {
        SQLite::Statement statement(c.db, sql);
        bind(statement);
        c.startStatement();
        return statement.exec();
    } catch (const SQLite::Exception& e) {
        throw changeFailure(e, c);
    }
}

// A change that returns the identities of the rows it wrote (RETURNING RecordId).
template <typename Bind> std::vector<qint64> changedIds(Connection& c, const std::string& sql, Bind bind) {
    std::vector<qint64> ids;
    try {
        SQLite::Statement statement(c.db, sql);
        bind(statement);
        c.startStatement();
        while (statement.executeStep())
            ids.push_back(statement.getColumn(0).getInt64());
    } catch (const SQLite::Exception& e) {
        throw changeFailure(e, c);
    }
    return ids;
}

const auto noBinding = [](SQLite::Statement&) {};

// Runs `work` in one immediate transaction: the write lock is taken before the first read, so
// another copy of the program cannot slip a change between what `work` reads and what it writes.
// Whatever `work` throws rolls everything back.
template <typename Work> auto inTransaction(Connection& c, Work work) {
    std::unique_ptr<SQLite::Transaction> transaction;
    try {
        c.startStatement();
        transaction = std::make_unique<SQLite::Transaction>(c.db, SQLite::TransactionBehavior::IMMEDIATE);
    } catch (const SQLite::Exception& e) {
        throw changeFailure(e, c);
    }
    auto result = work();
    try {
        c.startStatement();
        transaction->commit();
    } catch (const SQLite::Exception& e) {
        throw changeFailure(e, c);
    }
    return result;
}

void bindNumber(SQLite::Statement& s, const QString& number) {
    s.bind(":no", utf8(number));
}

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

} // namespace

namespace {

DatabaseError notAttendanceDatabase(const QString& path, const QString& why) {
    return DatabaseError(Kind::Other,
                         QStringLiteral("The file %1 is not an attendance database: %2").arg(path, why));
}

// The tables and the view are what they must be, with their columns, before any statement of ours
// touches them: a file whose tblLogins is a view (a recursive one never ends) or a virtual table is
// refused here.
void checkObjects(Connection& c, const QString& path) {
    for (const RequiredObject& required : SchemaUpgrades::requiredObjects()) {
        const QString name = QString::fromLatin1(required.name);
        SQLite::Statement object(c.db, "SELECT type, coalesce(sql, '') FROM sqlite_master "
                                       "WHERE name = ? COLLATE NOCASE AND type IN ('table', 'view')");
        object.bind(1, required.name);
        if (!object.executeStep())
            throw notAttendanceDatabase(path,
                                        QStringLiteral("it lacks the tables tblEmployees, tblLogins or the "
                                                       "query qryLogins."));
        const std::string type = object.getColumn(0).getString();
        const QString sql = QString::fromStdString(object.getColumn(1).getString()).simplified();
        const bool isView = type == "view";
        if (isView != required.isView || sql.startsWith(QLatin1String("CREATE VIRTUAL"), Qt::CaseInsensitive))
            throw notAttendanceDatabase(path, required.isView
                                                  ? QStringLiteral("%1 is not a query.").arg(name)
                                                  : QStringLiteral("%1 is not a table.").arg(name));
        SQLite::Statement columns(c.db, "SELECT name FROM pragma_table_info(?)");
        columns.bind(1, required.name);
        QStringList present;
        while (columns.executeStep())
            present.append(QString::fromStdString(columns.getColumn(0).getString()));
        for (const char* column : required.columns) {
            if (!present.contains(QString::fromLatin1(column), Qt::CaseInsensitive))
                throw notAttendanceDatabase(
                    path, QStringLiteral("%1 lacks the column %2.").arg(name, QString::fromLatin1(column)));
        }
    }
}

// The trail's triggers on the file, by name, as their statements read (blanks evened out).
std::map<QString, QString> auditTriggersPresent(SQLite::Database& db) {
    std::map<QString, QString> present;
    SQLite::Statement triggers(db, "SELECT name, coalesce(sql, '') FROM sqlite_master "
                                   "WHERE type = 'trigger' AND tbl_name = 'tblAudit' COLLATE NOCASE");
    while (triggers.executeStep())
        present[QString::fromStdString(triggers.getColumn(0).getString())] =
            QString::fromStdString(triggers.getColumn(1).getString()).simplified();
    return present;
}

// Every user who may write the file may drop the triggers that keep the audit trail as written (with
// the sqlite3 tool, say); the program puts them back at open, removes any other trigger on the trail,
// and says so in the trail. What changed meanwhile cannot be told; that it happened can.
void restoreAuditTriggers(Connection& c) {
    const auto untouched = [](const std::map<QString, QString>& present) {
        if (present.size() != SchemaUpgrades::sqliteAuditTriggers().size())
            return false;
        for (const SchemaUpgrades::NamedTrigger& trigger : SchemaUpgrades::sqliteAuditTriggers()) {
            const auto found = present.find(trigger.name);
            if (found == present.end() || found->second != trigger.sql.simplified())
                return false;
        }
        return true;
    };
    if (untouched(auditTriggersPresent(c.db)))
        return;
    SQLite::Transaction transaction(c.db, SQLite::TransactionBehavior::IMMEDIATE);
    const std::map<QString, QString> present = auditTriggersPresent(c.db); // another copy may have been first
    if (untouched(present))
        return;
    QJsonArray missing;
    QJsonArray altered;
    QJsonArray removed;
    for (const auto& [name, sql] : present) {
        const auto ours = std::find_if(SchemaUpgrades::sqliteAuditTriggers().begin(),
                                       SchemaUpgrades::sqliteAuditTriggers().end(),
                                       [&](const SchemaUpgrades::NamedTrigger& t) { return t.name == name; });
        if (ours == SchemaUpgrades::sqliteAuditTriggers().end())
            removed.append(name);
        else if (ours->sql.simplified() != sql)
            altered.append(name);
        else
            continue;
        c.db.exec("DROP TRIGGER \"" + name.toStdString() + "\"");
    }
    for (const SchemaUpgrades::NamedTrigger& trigger : SchemaUpgrades::sqliteAuditTriggers()) {
        const auto found = present.find(trigger.name);
        if (found == present.end())
            missing.append(trigger.name);
        if (found == present.end() || found->second != trigger.sql.simplified())
            c.db.exec(trigger.sql.toStdString());
    }
    const QJsonObject found{{QStringLiteral("missing"), missing},
                            {QStringLiteral("altered"), altered},
                            {QStringLiteral("removed"), removed}};
    const AuditStamp stamp = stampNow(QString());
    SQLite::Statement row(c.db,
                          "INSERT INTO tblAudit (ChangedAt, Terminal, Who, What, ValuesBefore, ValuesAfter) "
                          "VALUES (?, ?, ?, ?, ?, '')");
    row.bind(1, stamp.changedAt.toStdString());
    row.bind(2, stamp.terminal.toStdString());
    row.bind(3, stamp.who.toStdString());
    row.bind(4, AuditWhat::TriggersRestored.toStdString());
    row.bind(5, QJsonDocument(found).toJson(QJsonDocument::Compact).toStdString());
    row.exec();
    transaction.commit();
}

int userVersion(Connection& c) {
    return c.db.execAndGet("PRAGMA user_version").getInt();
}

// Replaces every stored password by what `rewrite` makes of it. The work between reading and writing
// may take long (hashing a large workplace), so the statement clock starts again for the writes.
void rewritePasswords(SQLite::Database& db, QStringList (*rewrite)(const QStringList&), Connection* c) {
    std::vector<int64_t> rows;
    QStringList stored;
    SQLite::Statement select(db, "SELECT rowid, Password FROM tblEmployees WHERE Password IS NOT NULL");
    while (select.executeStep()) {
        rows.push_back(select.getColumn(0).getInt64());
        stored << QString::fromUtf8(select.getColumn(1).getText());
    }
    const QStringList replaced = rewrite(stored);
    if (c)
        c->startStatement();
    SQLite::Statement update(db, "UPDATE tblEmployees SET Password = ? WHERE rowid = ?");
    for (size_t i = 0; i < rows.size(); ++i) {
        update.bind(1, utf8(replaced.at(static_cast<qsizetype>(i))));
        update.bind(2, rows[i]);
        update.exec();
        update.reset();
    }
}

// The copies in the backups folder were taken before the upgrade and still hold what it replaced:
// they get the same passwords the live file now has, so that a copy kept for a year does not keep
// them readable for a year. A copy that cannot be rewritten does not stop the program.
void rewriteBackupPasswords(const QString& path, int from) {
    for (const SchemaUpgrade& step : SchemaUpgrades::steps()) {
        if (step.version <= from || !step.rewritePasswords)
            continue;
        for (const QString& problem :
             SqliteBackup::rewriteBackupPasswords(path, step.version, step.rewritePasswords))
            qWarning().noquote() << "Tallyclock Suite: the passwords in a backup could not be protected:"
                                 << problem;
    }
}

// Runs the steps after `from` and records the latest version. A file of the first program carries
// no version (0) but the tables of version 1.
void upgrade(SQLite::Database& db, int from, Connection* c = nullptr) {
    for (const SchemaUpgrade& step : SchemaUpgrades::steps()) {
        if (step.version > from) {
            db.exec(step.sqlite);
            if (step.rewritePasswords)
                rewritePasswords(db, step.rewritePasswords, c);
        }
    }
    db.exec("PRAGMA user_version = " + std::to_string(SchemaUpgrades::latestVersion()));
}

} // namespace

SqliteEngine::SqliteEngine(const QString& path, int busyTimeoutMs) : m_path(path) {
    const QFileInfo info(path);
    if (!info.exists())
        throw DatabaseError(Kind::Other, QStringLiteral("The database file %1 does not exist.").arg(path));
    if (!info.isFile())
        throw DatabaseError(Kind::Other, QStringLiteral("%1 is not a database file.").arg(path));
    try {
        // One thread uses the connection, so the engine's own locking around every call is not needed.
        m_c = std::make_unique<Connection>(path, busyTimeoutMs);
    } catch (const std::exception& e) {
        throw DatabaseError(Kind::Other, QStringLiteral("The database file %1 cannot be opened: %2")
                                             .arg(path, QString::fromUtf8(e.what())));
    }
    sqlite3* handle = m_c->db.getHandle();
    if (sqlite3_db_readonly(handle, "main") == 1)
        throw DatabaseError(
            Kind::Other,
            QStringLiteral("The database file %1 is read-only, so punches and changes cannot be saved. "
                           "Every user of this computer needs write access to it.")
                .arg(path));
    // What the file holds is data, not program: its views and triggers may call no function with side
    // effects, and no statement may write the schema behind the engine's back.
    int unused = 0;
    if (sqlite3_db_config(handle, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, &unused) != SQLITE_OK ||
        sqlite3_db_config(handle, SQLITE_DBCONFIG_DEFENSIVE, 1, &unused) != SQLITE_OK ||
        sqlite3_create_collation_v2(handle, kCollation, SQLITE_UTF8, nullptr, compareIgnoringCase, nullptr) !=
            SQLITE_OK)
        throw DatabaseError(Kind::Other, QStringLiteral("The database file %1 cannot be opened: %2")
                                             .arg(path, QString::fromUtf8(sqlite3_errmsg(handle))));
    sqlite3_progress_handler(handle, 4000, &Connection::overdue, m_c.get());
    try {
        m_c->startStatement();
        const int version = userVersion(*m_c);
        if (version > SchemaUpgrades::latestVersion())
            throw DatabaseError(Kind::Other, SchemaUpgrades::newerThanProgram(path, version));
        checkObjects(*m_c, path);
        if (version < SchemaUpgrades::latestVersion()) {
            SQLite::Transaction transaction(m_c->db, SQLite::TransactionBehavior::IMMEDIATE);
            // Another copy of the program may have upgraded the file while this one waited.
            const int now = userVersion(*m_c);
            if (now < SchemaUpgrades::latestVersion())
                upgrade(m_c->db, std::max(now, 1), m_c.get());
            transaction.commit();
            if (now < SchemaUpgrades::latestVersion())
                rewriteBackupPasswords(path, now);
        }
        restoreAuditTriggers(*m_c);
    } catch (const SQLite::Exception& e) {
        const int code = e.getErrorCode();
        if (code == SQLITE_NOTADB)
            throw DatabaseError(Kind::Other,
                                QStringLiteral("The file %1 is not an attendance database.").arg(path));
        if (code == SQLITE_BUSY || code == SQLITE_LOCKED)
            throw DatabaseError(
                Kind::Busy, QStringLiteral("The database file %1 is locked by another program.").arg(path));
        if (code == SQLITE_INTERRUPT)
            throw notAttendanceDatabase(path, QStringLiteral("its schema takes too long to read."));
        if (code == SQLITE_ERROR)
            throw notAttendanceDatabase(path, QString::fromUtf8(e.what()));
        throw DatabaseError(
            Kind::Other,
            QStringLiteral("The database file %1 cannot be read: %2").arg(path, QString::fromUtf8(e.what())));
    }
}

void SqliteEngine::create(const QString& path) {
    if (QFileInfo::exists(path))
        throw DatabaseError(Kind::Other, QStringLiteral("The file %1 exists already.").arg(path));
    try {
        SQLite::Database db(path.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
        SQLite::Transaction transaction(db);
        upgrade(db, 0);
        transaction.commit();
    } catch (const SQLite::Exception& e) {
        throw DatabaseError(kindOf(e), QStringLiteral("The database file %1 cannot be created: %2")
                                           .arg(path, QString::fromUtf8(e.what())));
    }
}

void SqliteEngine::setStatementTimeout(int milliseconds) {
    m_c->statementLimitMs = milliseconds;
}

SqliteEngine::~SqliteEngine() = default;

void SqliteEngine::setBusyTimeout(int milliseconds) {
    m_c->db.setBusyTimeout(milliseconds);
}

RecordSet SqliteEngine::administrators() {
    return read(*m_c, "SELECT * FROM tblEmployees WHERE IsAdmin = 1", noBinding);
}

RecordSet SqliteEngine::personsByName() {
    return read(*m_c, "SELECT * FROM tblEmployees ORDER BY Name COLLATE UNICODE_NOCASE", noBinding);
}

RecordSet SqliteEngine::personByNumber(const QString& number) {
    return read(*m_c, "SELECT * FROM tblEmployees WHERE " + sameNumber(number, ":no"),
                [&](SQLite::Statement& s) { bindNumber(s, number); });
}

void SqliteEngine::insertPerson(const PersonFields& person) {
    // The clash test and the insert are one statement, so no second copy of the program can slip between.
    const std::string sql =
        "INSERT INTO tblEmployees (EmployeeNo, Password, Name, Department, Position, IsAdmin) "
        "SELECT :no, :pw, :name, :dept, :pos, :admin WHERE NOT EXISTS "
        "(SELECT 1 FROM tblEmployees WHERE " +
        sameNumber(person.number, ":no") + ")";
    int inserted = 0;
    try {
        inserted = change(*m_c, sql, [&](SQLite::Statement& s) { bindPerson(s, person); });
    } catch (const DatabaseError& e) {
        if (e.kind() == Kind::Duplicate)
            throw DatabaseError(Kind::Duplicate, EngineText::numberInUse(person.number));
        throw;
    }
    if (inserted == 0)
        throw DatabaseError(Kind::Duplicate, EngineText::numberInUse(person.number));
}

void SqliteEngine::updatePerson(const QString& current, const PersonFields& person) {
    const std::string sql = "UPDATE tblEmployees SET EmployeeNo = :no, Password = coalesce(:pw, Password), "
                            "Name = :name, "
                            "Department = :dept, Position = :pos, IsAdmin = :admin WHERE " +
                            sameNumber(current, ":current") +
                            " AND NOT EXISTS (SELECT 1 FROM tblEmployees AS other WHERE " +
                            sameNumber(person.number, ":no", "other.EmployeeNo") + " AND NOT " +
                            sameNumber(current, ":current", "other.EmployeeNo") + ")";
    try {
        const int changed = change(*m_c, sql, [&](SQLite::Statement& s) {
            bindPerson(s, person);
            s.bind(":current", utf8(current));
        });
        if (changed > 0)
            return;
    } catch (const DatabaseError& e) {
        if (e.kind() == Kind::Duplicate)
            throw DatabaseError(Kind::Duplicate, EngineText::numberInUse(person.number));
        throw;
    }
    // Nothing changed: either the person is gone (nothing to do) or the new number clashes.
    if (!personByNumber(current).eof() && !personByNumber(person.number).eof())
        throw DatabaseError(Kind::Duplicate, EngineText::numberInUse(person.number));
}

void SqliteEngine::deletePerson(const QString& number) {
    change(*m_c, "DELETE FROM tblEmployees WHERE " + sameNumber(number, ":no"),
           [&](SQLite::Statement& s) { bindNumber(s, number); });
}

void SqliteEngine::deleteRecordsOfPerson(const QString& number) {
    change(*m_c, "DELETE FROM tblLogins WHERE " + sameNumber(number, ":no"),
           [&](SQLite::Statement& s) { bindNumber(s, number); });
}

RecordSet SqliteEngine::recordsOfPerson(const QString& number) {
    return read(*m_c,
                "SELECT RecordId, EmployeeNo, LogDate, TimeIn, TimeOut FROM tblLogins WHERE " +
                    sameNumber(number, ":no") + " ORDER BY rowid",
                [&](SQLite::Statement& s) { bindNumber(s, number); });
}

RecordSet SqliteEngine::latestRecordOfPerson(const QString& number) {
    return read(*m_c,
                "SELECT RecordId, EmployeeNo, LogDate, TimeIn, TimeOut FROM tblLogins WHERE " +
                    sameNumber(number, ":no") + " AND Refused = 0 ORDER BY rowid DESC LIMIT 1",
                [&](SQLite::Statement& s) { bindNumber(s, number); });
}

qint64 SqliteEngine::punchIn(const QString& number, const QDate& day, const QString& timeIn) {
    const std::string date = EngineText::isoDay(day);
    change(*m_c, "INSERT INTO tblLogins (EmployeeNo, LogDate, TimeIn) VALUES (:no, :day, :in)",
           [&](SQLite::Statement& s) {
               bindNumber(s, number);
               s.bind(":day", date);
               s.bind(":in", utf8(timeIn));
           });
    return m_c->db.getLastInsertRowid();
}

std::vector<qint64> SqliteEngine::punchOut(const QString& number, const QDate& day, const QString& timeOut) {
    const std::string date = EngineText::isoDay(day);
    return changedIds(*m_c,
                      "UPDATE tblLogins SET LogDate = :day, TimeOut = :out WHERE " +
                          sameNumber(number, ":no") + " AND TimeOut IS NULL RETURNING RecordId",
                      [&](SQLite::Statement& s) {
                          bindNumber(s, number);
                          s.bind(":day", date);
                          s.bind(":out", utf8(timeOut));
                      });
}

RecordSet SqliteEngine::personByBadge(const QString& code) {
    // The column's own collation: exact, letter case counts.
    return read(*m_c, "SELECT * FROM tblEmployees WHERE BadgeCode = :code",
                [&](SQLite::Statement& s) { s.bind(":code", utf8(code)); });
}

void SqliteEngine::setBadge(const QString& number, const std::optional<QString>& code) {
    try {
        change(*m_c, "UPDATE tblEmployees SET BadgeCode = :code WHERE " + sameNumber(number, ":no"),
               [&](SQLite::Statement& s) {
                   bindNumber(s, number);
                   if (code)
                       s.bind(":code", utf8(*code));
                   else
                       s.bind(":code");
               });
    } catch (const DatabaseError& e) {
        if (e.kind() == Kind::Duplicate)
            throw DatabaseError(Kind::Duplicate, EngineText::badgeInUse());
        throw;
    }
}

void SqliteEngine::closeRecord(qint64 id, const QDate& day, const QString& timeOut) {
    const std::string date = EngineText::isoDay(day);
    change(*m_c, "UPDATE tblLogins SET LogDate = :day, TimeOut = :out WHERE RecordId = :id",
           [&](SQLite::Statement& s) {
               s.bind(":day", date);
               s.bind(":out", utf8(timeOut));
               s.bind(":id", static_cast<int64_t>(id));
           });
}

void SqliteEngine::serialisedForPersons(const QStringList&, const std::function<void()>& work) {
    // An immediate transaction takes the file's write lock before the first read: that serialises
    // every writer, these persons' included.
    inTransaction(*m_c, [&] {
        work();
        return true;
    });
}

void SqliteEngine::deleteRecord(const QString& number, const QDate& day, const QString& timeIn) {
    const std::string date = EngineText::isoDay(day);
    change(*m_c,
           "DELETE FROM tblLogins WHERE " + sameNumber(number, ":no") +
               " AND LogDate = :day AND TimeIn = :in COLLATE UNICODE_NOCASE",
           [&](SQLite::Statement& s) {
               bindNumber(s, number);
               s.bind(":day", date);
               s.bind(":in", utf8(timeIn));
           });
}

RecordSet SqliteEngine::recordById(qint64 id) {
    return read(*m_c,
                "SELECT RecordId, EmployeeNo, LogDate, TimeIn, TimeOut, Corrected, ToCorrect FROM "
                "tblLogins WHERE RecordId = :id",
                [&](SQLite::Statement& s) { s.bind(":id", static_cast<int64_t>(id)); });
}

namespace {
void bindRecord(SQLite::Statement& s, const RecordFields& record, RecordMark mark) {
    bindNumber(s, record.number);
    s.bind(":day", EngineText::isoDay(record.day));
    s.bind(":in", utf8(record.timeIn));
    if (record.timeOut)
        s.bind(":out", utf8(*record.timeOut));
    else
        s.bind(":out");
    s.bind(":mark", static_cast<int>(mark));
}
} // namespace

qint64 SqliteEngine::insertRecord(const RecordFields& record, RecordMark mark) {
    change(*m_c,
           "INSERT INTO tblLogins (EmployeeNo, LogDate, TimeIn, TimeOut, Corrected) "
           "VALUES (:no, :day, :in, :out, :mark)",
           [&](SQLite::Statement& s) { bindRecord(s, record, mark); });
    return m_c->db.getLastInsertRowid();
}

void SqliteEngine::updateRecord(qint64 id, const RecordFields& record, RecordMark mark) {
    // An added record stays marked as added when it is corrected later.
    const int changed = change(*m_c,
                               "UPDATE tblLogins SET EmployeeNo = :no, LogDate = :day, TimeIn = :in, "
                               "TimeOut = :out, Corrected = max(Corrected, :mark), ToCorrect = NULL, "
                               "Refused = 0 WHERE RecordId = :id",
                               [&](SQLite::Statement& s) {
                                   bindRecord(s, record, mark);
                                   s.bind(":id", static_cast<int64_t>(id));
                               });
    if (changed == 0)
        throw DatabaseError(Kind::Other, QStringLiteral("The record %1 no longer exists.").arg(id));
}

void SqliteEngine::appendAudit(const AuditEntry& entry) {
    change(*m_c,
           "INSERT INTO tblAudit (ChangedAt, Terminal, Who, What, RecordId, EmployeeNo, ValuesBefore, "
           "ValuesAfter) VALUES (:at, :terminal, :who, :what, :id, :no, :before, :after)",
           [&](SQLite::Statement& s) {
               s.bind(":at", utf8(entry.stamp.changedAt));
               s.bind(":terminal", utf8(entry.stamp.terminal));
               s.bind(":who", utf8(entry.stamp.who));
               s.bind(":what", utf8(entry.what));
               if (entry.recordId)
                   s.bind(":id", static_cast<int64_t>(*entry.recordId));
               else
                   s.bind(":id");
               bindNumber(s, entry.number);
               s.bind(":before", utf8(entry.before));
               s.bind(":after", utf8(entry.after));
           });
}

RecordSet SqliteEngine::auditEntries(const AuditFilter& filter) {
    const std::string first = EngineText::isoDay(filter.from);
    const std::string after = EngineText::isoDay(filter.to.addDays(1));
    // ISO texts sort as their times do: a day's changes lie from its date up to the next one's.
    std::string sql = "SELECT AuditId, ChangedAt, Terminal, Who, What, RecordId, EmployeeNo, ValuesBefore, "
                      "ValuesAfter, ServerRole, ClientAddress, Claimed FROM tblAudit "
                      "WHERE ChangedAt >= :from AND ChangedAt < :after";
    if (filter.number)
        sql += " AND (EmployeeNo = :no COLLATE UNICODE_NOCASE OR Who = :no COLLATE UNICODE_NOCASE)";
    if (filter.what)
        sql += " AND What = :what";
    return read(*m_c, sql + " ORDER BY AuditId DESC", [&](SQLite::Statement& s) {
        s.bind(":from", first);
        s.bind(":after", after);
        if (filter.number)
            bindNumber(s, *filter.number);
        if (filter.what)
            s.bind(":what", utf8(*filter.what));
    });
}

namespace {
// qryLogins with its join made here: the file's view joins by SQLite's NOCASE, which misses a record
// typed as "ÄBC" for the person "äbc". A number finds its person through the index first; only one
// that could fold onto another across Unicode (a non-ASCII one, or one with i, k or s while some
// person's number is non-ASCII) falls back to a scan.
const std::string kPersonOfNumber =
    "SELECT e.Name AS Name, e.Department AS Department, e.Position AS Position FROM tblEmployees AS e "
    "WHERE e.rowid = coalesce((SELECT p.rowid FROM tblEmployees AS p WHERE p.EmployeeNo = :no), "
    "CASE WHEN :no GLOB '*[^ -~]*' OR (:no GLOB '*[iIkKsS]*' AND "
    "EXISTS (SELECT 1 FROM tblEmployees WHERE EmployeeNo GLOB '*[^ -~]*')) THEN "
    "(SELECT p.rowid FROM tblEmployees AS p WHERE p.EmployeeNo = :no COLLATE UNICODE_NOCASE LIMIT 1) END)";
const std::string kLogins =
    "SELECT l.EmployeeNo AS EmployeeNo, l.LogDate AS LogDate, l.TimeIn AS TimeIn, l.TimeOut AS TimeOut, "
    "l.RecordId AS RecordId, l.Corrected AS Corrected, l.ToCorrect AS ToCorrect FROM tblLogins AS l";

// The records of `records` (kLogins) with their person's name, department and position after the
// number. Each distinct number looks its person up once: a year of records has a few hundred.
RecordSet fetchLogins(Connection& c, SQLite::Statement& records, int expectedRows) {
    SQLite::Statement person(c.db, kPersonOfNumber);
    const std::vector<RecordSet::Column> recordLayout = layoutOf(records);
    const std::vector<RecordSet::Column> personLayout = layoutOf(person);
    std::vector<RecordSet::Column> layout = recordLayout;
    layout.insert(layout.begin() + 1, personLayout.begin(), personLayout.end());
    RecordSet::Builder builder(layout, expectedRows);
    RowReader row(recordLayout);
    using Cells = std::array<std::optional<std::string>, 3>;
    std::unordered_map<std::string, Cells> persons;
    const auto personOf = [&](std::string number) -> const Cells& {
        auto found = persons.find(number);
        if (found != persons.end())
            return found->second;
        Cells cells;
        person.reset();
        person.bind(":no", number);
        if (person.executeStep()) {
            for (int i = 0; i < 3; ++i) {
                const SQLite::Column cell = person.getColumn(i);
                if (const char* text = cell.getText(nullptr))
                    cells[static_cast<size_t>(i)] = std::string(text, static_cast<size_t>(cell.getBytes()));
            }
        }
        return persons.emplace(std::move(number), std::move(cells)).first->second;
    };
    while (records.executeStep()) {
        row.add(records, 0, builder);
        const SQLite::Column& number = row.field(records, 0);
        const char* text = number.getText(nullptr);
        static const Cells kNobody;
        const Cells& cells =
            text ? personOf(std::string(text, static_cast<size_t>(number.getBytes()))) : kNobody;
        for (const std::optional<std::string>& cell : cells) {
            if (cell)
                builder.addText(*cell);
            else
                builder.addNull();
        }
        for (size_t column = 1; column < recordLayout.size(); ++column)
            row.add(records, column, builder);
    }
    return builder.finish();
}

template <typename Bind>
RecordSet readLogins(Connection& c, const std::string& sql, Bind bind, int expectedRows = 0) {
    return readWith(c, sql, bind, [&](SQLite::Statement& s) { return fetchLogins(c, s, expectedRows); });
}
const std::string kInsertOrder = " ORDER BY l.rowid";
} // namespace

RecordSet SqliteEngine::loginsOn(const QDate& day) {
    const std::string date = EngineText::isoDay(day);
    return readLogins(*m_c, kLogins + " WHERE l.LogDate = :day" + kInsertOrder,
                      [&](SQLite::Statement& s) { s.bind(":day", date); });
}

RecordSet SqliteEngine::loginsOfPerson(const QString& number) {
    return readLogins(*m_c, kLogins + " WHERE " + sameNumber(number, ":no", "l.EmployeeNo") + kInsertOrder,
                      [&](SQLite::Statement& s) { bindNumber(s, number); });
}

RecordSet SqliteEngine::allLogins() {
    // Years of records: the count sizes the storage once instead of growing it step by step.
    const int records = read(*m_c, "SELECT count(*) AS Records FROM tblLogins", noBinding)
                            .value(QStringLiteral("Records"))
                            .toInt();
    return readLogins(*m_c, kLogins + kInsertOrder, noBinding, records);
}

RecordSet SqliteEngine::loginsBetween(const QDate& from, const QDate& to,
                                      const std::optional<QString>& number) {
    const std::string first = EngineText::isoDay(from);
    const std::string last = EngineText::isoDay(to);
    // The rows of the period by rowid, in the order they lie in the file: read through the date
    // index, a long period would visit the table's pages at random, each many times.
    std::string sql =
        kLogins + " WHERE l.rowid IN (SELECT rowid FROM tblLogins WHERE LogDate BETWEEN :from AND :to)";
    if (number)
        sql += " AND " + sameNumber(*number, ":no", "l.EmployeeNo");
    // A year of everybody's records: the count (from the date index alone) sizes the storage once.
    const int records =
        number ? 0
               : read(*m_c, "SELECT count(*) AS Records FROM tblLogins WHERE LogDate BETWEEN :from AND :to",
                      [&](SQLite::Statement& s) {
                          s.bind(":from", first);
                          s.bind(":to", last);
                      })
                     .value(QStringLiteral("Records"))
                     .toInt();
    return readLogins(
        *m_c, sql + " ORDER BY l.LogDate, l.rowid",
        [&](SQLite::Statement& s) {
            s.bind(":from", first);
            s.bind(":to", last);
            if (number)
                bindNumber(s, *number);
        },
        records);
}

bool SqliteEngine::hasReceipt(const QString& terminal, qint64 sequence) {
    return !read(*m_c, "SELECT 1 FROM tblDeliveries WHERE TerminalId = :terminal AND Sequence = :sequence",
                 [&](SQLite::Statement& s) {
                     s.bind(":terminal", utf8(terminal));
                     s.bind(":sequence", static_cast<int64_t>(sequence));
                 })
                .eof();
}

void SqliteEngine::addReceipt(const QString& terminal, qint64 sequence) {
    change(*m_c,
           "INSERT INTO tblDeliveries (TerminalId, Sequence, DeliveredAt) VALUES (:terminal, :sequence, :at)",
           [&](SQLite::Statement& s) {
               s.bind(":terminal", utf8(terminal));
               s.bind(":sequence", static_cast<int64_t>(sequence));
               s.bind(":at", utf8(QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)));
           });
}

qint64 SqliteEngine::storeRefused(const DeliveredPunch& punch, const QString& reason) {
    // An empty time, not Null, stands for the side the punch did not give, so that no later punch
    // takes the record for an open one.
    const bool in = punch.kind == PunchKind::In;
    const qint64 id = insertRecord(
        {punch.number, punch.day, in ? punch.time : QStringLiteral(""), in ? QStringLiteral("") : punch.time},
        RecordMark::Punched);
    change(*m_c, "UPDATE tblLogins SET ToCorrect = :reason, Refused = 1 WHERE RecordId = :id",
           [&](SQLite::Statement& s) {
               s.bind(":reason", utf8(reason));
               s.bind(":id", static_cast<int64_t>(id));
           });
    return id;
}

void SqliteEngine::markToCorrect(const DeliveredPunch&, qint64 id, const QString& reason) {
    change(*m_c, "UPDATE tblLogins SET ToCorrect = :reason WHERE RecordId = :id", [&](SQLite::Statement& s) {
        s.bind(":reason", utf8(reason));
        s.bind(":id", static_cast<int64_t>(id));
    });
}

void SqliteEngine::noteClockOff(const QString& terminal, qint64 offSeconds, const AuditStamp& stamp) {
    QJsonObject values;
    values.insert(QStringLiteral("TerminalId"), terminal);
    values.insert(QStringLiteral("OffBySeconds"), offSeconds);
    appendAudit({stamp,
                 AuditWhat::ClockOff,
                 std::nullopt,
                 {},
                 {},
                 QString::fromUtf8(QJsonDocument(values).toJson(QJsonDocument::Compact))});
}

LoginFailures SqliteEngine::loginFailures(const QString& number) {
    return EngineText::loginFailuresOf(
        read(*m_c, "SELECT Failures, Since FROM tblLoginFailures WHERE " + sameNumber(number, ":no"),
             [&](SQLite::Statement& s) { bindNumber(s, number); }));
}

void SqliteEngine::recordLoginFailure(const QString& number, const QDateTime& now) {
    inTransaction(*m_c, [&] {
        const LoginFailures next = CredentialRules::installed().afterFailure(loginFailures(number), now);
        const auto bindCount = [&](SQLite::Statement& s) {
            bindNumber(s, number);
            s.bind(":failures", next.failures);
            s.bind(":since", utf8(EngineText::storedMoment(next.since)));
        };
        if (change(*m_c,
                   "UPDATE tblLoginFailures SET Failures = :failures, Since = :since WHERE " +
                       sameNumber(number, ":no"),
                   bindCount) == 0)
            change(
                *m_c,
                "INSERT INTO tblLoginFailures (EmployeeNo, Failures, Since) VALUES (:no, :failures, :since)",
                bindCount);
        // Counts of numbers nobody has tried for a day are of no use any more.
        change(*m_c, "DELETE FROM tblLoginFailures WHERE Since < :stale", [&](SQLite::Statement& s) {
            s.bind(":stale", utf8(EngineText::storedMoment(now.addDays(-1))));
        });
        return true;
    });
}

QDateTime SqliteEngine::countingMoment() {
    return SystemClock::now();
}

void SqliteEngine::clearLoginFailures(const QString& number) {
    change(*m_c, "DELETE FROM tblLoginFailures WHERE " + sameNumber(number, ":no"),
           [&](SQLite::Statement& s) { bindNumber(s, number); });
}

RecordSet SqliteEngine::payRules() {
    return read(*m_c, "SELECT Rule, Value FROM tblPayRules ORDER BY Rule", noBinding);
}

void SqliteEngine::setPayRule(const QString& rule, const QString& value) {
    if (value.isNull()) {
        change(*m_c, "DELETE FROM tblPayRules WHERE Rule = :rule",
               [&](SQLite::Statement& s) { s.bind(":rule", utf8(rule)); });
        return;
    }
    change(*m_c,
           "INSERT INTO tblPayRules (Rule, Value) VALUES (:rule, :value) "
           "ON CONFLICT (Rule) DO UPDATE SET Value = excluded.Value",
           [&](SQLite::Statement& s) {
               s.bind(":rule", utf8(rule));
               s.bind(":value", utf8(value));
           });
}

void SqliteEngine::serialisedForWorkplace(const std::function<void()>& work) {
    inTransaction(*m_c, [&] {
        work();
        return true;
    });
}

namespace {

// A text column as stored: Null stays apart from the empty text.
QString storedText(const SQLite::Column& column) {
    return column.isNull() ? QString() : QString::fromUtf8(column.getText());
}

void bindStored(SQLite::Statement& s, int index, const QString& text) {
    if (text.isNull())
        s.bind(index);
    else
        s.bind(index, utf8(text));
}

} // namespace

namespace {
std::optional<qint64> storedInteger(const SQLite::Column& column) {
    return column.isNull() ? std::nullopt : std::optional<qint64>(column.getInt64());
}
} // namespace

Workplace SqliteEngine::everything() {
    Workplace workplace;
    try {
        // One snapshot of every table.
        m_c->startStatement();
        SQLite::Transaction snapshot(m_c->db, SQLite::TransactionBehavior::DEFERRED);
        SQLite::Statement persons(m_c->db,
                                  "SELECT EmployeeNo, Password, Name, Department, Position, IsAdmin, "
                                  "BadgeCode FROM tblEmployees ORDER BY rowid");
        while (persons.executeStep())
            workplace.persons.push_back({storedText(persons.getColumn(0)), storedText(persons.getColumn(1)),
                                         storedText(persons.getColumn(2)), storedText(persons.getColumn(3)),
                                         storedText(persons.getColumn(4)), persons.getColumn(5).getInt64(),
                                         storedText(persons.getColumn(6))});
        m_c->startStatement();
        SQLite::Statement records(m_c->db, "SELECT EmployeeNo, LogDate, TimeIn, TimeOut, RecordId, Corrected "
                                           "FROM tblLogins ORDER BY RecordId");
        while (records.executeStep()) {
            const SQLite::Column day = records.getColumn(1);
            workplace.records.push_back(
                {storedText(records.getColumn(0)),
                 EngineText::storedDay(day.isNull() ? nullptr : day.getText(), m_path),
                 storedText(records.getColumn(2)), storedText(records.getColumn(3)),
                 records.getColumn(4).getInt64(), records.getColumn(5).getInt64()});
        }
        m_c->startStatement();
        SQLite::Statement audit(m_c->db,
                                "SELECT AuditId, ChangedAt, Terminal, Who, What, RecordId, EmployeeNo, "
                                "ValuesBefore, ValuesAfter, ServerRole, ClientAddress, Claimed FROM tblAudit "
                                "ORDER BY AuditId");
        while (audit.executeStep()) {
            workplace.audit.push_back({audit.getColumn(0).getInt64(), storedText(audit.getColumn(1)),
                                       storedText(audit.getColumn(2)), storedText(audit.getColumn(3)),
                                       storedText(audit.getColumn(4)), storedInteger(audit.getColumn(5)),
                                       storedText(audit.getColumn(6)), storedText(audit.getColumn(7)),
                                       storedText(audit.getColumn(8)), storedText(audit.getColumn(9)),
                                       storedText(audit.getColumn(10)), audit.getColumn(11).getInt64()});
        }
        m_c->startStatement();
        SQLite::Statement failures(m_c->db,
                                   "SELECT EmployeeNo, Failures, Since FROM tblLoginFailures ORDER BY rowid");
        while (failures.executeStep())
            workplace.loginFailures.push_back({storedText(failures.getColumn(0)),
                                               failures.getColumn(1).getInt64(),
                                               storedText(failures.getColumn(2))});
        m_c->startStatement();
        SQLite::Statement rules(m_c->db, "SELECT Rule, Value FROM tblPayRules ORDER BY Rule");
        while (rules.executeStep())
            workplace.payRules.emplace_back(storedText(rules.getColumn(0)), storedText(rules.getColumn(1)));
        snapshot.commit();
    } catch (const SQLite::Exception& e) {
        throw readFailure(e, *m_c);
    }
    return workplace;
}

void SqliteEngine::loadIntoEmpty(const Workplace& workplace) {
    inTransaction(*m_c, [&] {
        try {
            const qint64 persons = m_c->db.execAndGet("SELECT count(*) FROM tblEmployees").getInt64();
            const qint64 records = m_c->db.execAndGet("SELECT count(*) FROM tblLogins").getInt64();
            if (persons != 0 || records != 0)
                throw EngineText::notEmpty(m_path, persons, records);
            const qint64 trail = m_c->db.execAndGet("SELECT count(*) FROM tblAudit").getInt64();
            if (trail != 0)
                throw EngineText::trailNotEmpty(m_path, trail);
            SQLite::Statement person(m_c->db,
                                     "INSERT INTO tblEmployees (EmployeeNo, Password, Name, Department, "
                                     "Position, IsAdmin, BadgeCode) VALUES (?, ?, ?, ?, ?, ?, ?)");
            for (const StoredPerson& p : workplace.persons) {
                bindStored(person, 1, p.number);
                bindStored(person, 2, p.password);
                bindStored(person, 3, p.name);
                bindStored(person, 4, p.department);
                bindStored(person, 5, p.position);
                person.bind(6, static_cast<int64_t>(p.isAdmin));
                bindStored(person, 7, p.badge);
                m_c->startStatement();
                person.exec();
                person.reset();
            }
            SQLite::Statement record(m_c->db, "INSERT INTO tblLogins (EmployeeNo, LogDate, TimeIn, TimeOut, "
                                              "RecordId, Corrected) VALUES (?, ?, ?, ?, ?, ?)");
            for (const StoredRecord& r : workplace.records) {
                bindStored(record, 1, r.number);
                if (r.day.isValid())
                    record.bind(2, EngineText::isoDay(r.day));
                else
                    record.bind(2);
                bindStored(record, 3, r.timeIn);
                bindStored(record, 4, r.timeOut);
                if (r.id > 0)
                    record.bind(5, static_cast<int64_t>(r.id));
                else
                    record.bind(5);
                record.bind(6, static_cast<int64_t>(r.corrected));
                m_c->startStatement();
                record.exec();
                record.reset();
            }
            SQLite::Statement audit(m_c->db,
                                    "INSERT INTO tblAudit (AuditId, ChangedAt, Terminal, Who, What, "
                                    "RecordId, EmployeeNo, ValuesBefore, ValuesAfter, ServerRole, "
                                    "ClientAddress, Claimed) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
            for (const StoredAudit& a : workplace.audit) {
                audit.bind(1, static_cast<int64_t>(a.id));
                bindStored(audit, 2, a.changedAt);
                bindStored(audit, 3, a.terminal);
                bindStored(audit, 4, a.who);
                bindStored(audit, 5, a.what);
                if (a.recordId)
                    audit.bind(6, static_cast<int64_t>(*a.recordId));
                else
                    audit.bind(6);
                bindStored(audit, 7, a.number);
                bindStored(audit, 8, a.before);
                bindStored(audit, 9, a.after);
                bindStored(audit, 10, a.serverRole);
                bindStored(audit, 11, a.clientAddress);
                audit.bind(12, static_cast<int64_t>(a.claimed));
                m_c->startStatement();
                audit.exec();
                audit.reset();
            }
            SQLite::Statement failures(
                m_c->db, "INSERT INTO tblLoginFailures (EmployeeNo, Failures, Since) VALUES (?, ?, ?)");
            for (const StoredLoginFailures& f : workplace.loginFailures) {
                bindStored(failures, 1, f.number);
                failures.bind(2, static_cast<int64_t>(f.failures));
                bindStored(failures, 3, f.since);
                m_c->startStatement();
                failures.exec();
                failures.reset();
            }
            // The workplace's rules replace any starting value the empty file took.
            m_c->startStatement();
            m_c->db.exec("DELETE FROM tblPayRules");
            SQLite::Statement rule(m_c->db, "INSERT INTO tblPayRules (Rule, Value) VALUES (?, ?)");
            for (const auto& [name, value] : workplace.payRules) {
                bindStored(rule, 1, name);
                bindStored(rule, 2, value);
                m_c->startStatement();
                rule.exec();
                rule.reset();
            }
            // No identity the trail names goes to a new record.
            SQLite::Statement counter(
                m_c->db, "UPDATE sqlite_sequence SET seq = max(seq, ?) WHERE name = 'tblLogins'");
            counter.bind(1, static_cast<int64_t>(EngineText::largestRecordId(workplace)));
            counter.exec();
            if (m_c->db.getChanges() == 0) {
                SQLite::Statement first(m_c->db,
                                        "INSERT INTO sqlite_sequence (name, seq) VALUES ('tblLogins', ?)");
                first.bind(1, static_cast<int64_t>(EngineText::largestRecordId(workplace)));
                first.exec();
            }
        } catch (const SQLite::Exception& e) {
            throw changeFailure(e, *m_c);
        }
        return 0;
    });
}
