#include "data/PostgresEngine.h"

#include "data/SchemaUpgrades.h"

#include <QRegularExpression>
#include <QScopeGuard>
#include <QStringList>
#include <libpq-fe.h>
#include <poll.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Kind = DatabaseError::Kind;
using Params = std::vector<std::optional<std::string>>;

// Every statement of the catalogue, prepared once per connection under its number. Column names
// are quoted so that they keep their letter case in the server and in the record sets.
enum Sql {
    Administrators,
    PersonsByName,
    PersonByNumber,
    InsertPerson,
    UpdatePerson,
    DeletePerson,
    DeleteRecordsOfPerson,
    RecordsOfPerson,
    LatestRecordOfPerson,
    PunchIn,
    PunchOut,
    DeleteRecord,
    LoginsOn,
    LoginsOfPerson,
    AllLogins,
    LoginsBetween,
    LoginsOfPersonBetween,
    LoginFailures,
    LockLoginFailures,
    AddLoginFailures,
    UpdateLoginFailures,
    DeleteStaleLoginFailures,
    ClearLoginFailures,
    RecordById,
    InsertRecord,
    UpdateRecord,
    Claim,
    AuditEntries,
    PersonByBadge,
    SetBadge,
    CloseRecord,
    HasReceipt,
    AddReceipt,
    KeepRefused,
    MarkToCorrect,
    NoteClockOff,
    ServerMoment,
    PayRules,
    SetPayRule,
    DeletePayRule,
    LockWorkplace,
    LockPersons,
    LockNumbers,
    Receipts,
    SqlCount
};

#define TALLYCLOCK_LOGINS                                                                                    \
    "SELECT l.\"EmployeeNo\", e.\"Name\", e.\"Department\", e.\"Position\", l.\"LogDate\", l.\"TimeIn\", "   \
    "l.\"TimeOut\", l.\"RecordId\", l.\"Corrected\", l.\"ToCorrect\" FROM \"tblLogins\" AS l LEFT JOIN "     \
    "\"tblEmployees\" AS "                                                                                   \
    "e ON e.\"EmployeeNo\" = "                                                                               \
    "l.\"EmployeeNo\""
#define TALLYCLOCK_RECORDS                                                                                   \
    "SELECT \"RecordId\", \"EmployeeNo\", \"LogDate\", \"TimeIn\", \"TimeOut\" FROM \"tblLogins\" "
#define TALLYCLOCK_FAILURES                                                                                  \
    "SELECT \"Failures\", to_char(\"Since\" AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"') AS "    \
    "\"Since\" FROM \"tblLoginFailures\" WHERE \"EmployeeNo\" = $1"

// "EmployeeNo" compares through the column's collation: letter case ignored across Unicode.
const std::array<const char*, SqlCount> kSql = {
    "SELECT * FROM \"tblEmployees\" WHERE \"IsAdmin\" = 1",
    // Folded names in code point order, as the SQLite file orders them.
    "SELECT * FROM \"tblEmployees\" ORDER BY lower(\"Name\" COLLATE \"tallyclock_nocase\") COLLATE \"C\"",
    "SELECT * FROM \"tblEmployees\" WHERE \"EmployeeNo\" = $1",
    "INSERT INTO \"tblEmployees\" (\"EmployeeNo\", \"Password\", \"Name\", \"Department\", \"Position\", "
    "\"IsAdmin\") VALUES ($1, $2, $3, $4, $5, $6)",
    "UPDATE \"tblEmployees\" SET \"EmployeeNo\" = $1, \"Password\" = coalesce($2, \"Password\"), \"Name\" = "
    "$3, "
    "\"Department\" = $4, \"Position\" = $5, \"IsAdmin\" = $6 WHERE \"EmployeeNo\" = $7",
    "DELETE FROM \"tblEmployees\" WHERE \"EmployeeNo\" = $1",
    "DELETE FROM \"tblLogins\" WHERE \"EmployeeNo\" = $1",
    TALLYCLOCK_RECORDS "WHERE \"EmployeeNo\" = $1 ORDER BY \"RecordId\"",
    // A refused delivery kept to correct is no punch of the person's until it is corrected.
    TALLYCLOCK_RECORDS "WHERE \"EmployeeNo\" = $1 AND \"Refused\" = 0 ORDER BY \"RecordId\" DESC LIMIT 1",
    "INSERT INTO \"tblLogins\" (\"EmployeeNo\", \"LogDate\", \"TimeIn\") VALUES ($1, $2, $3) RETURNING "
    "\"RecordId\"",
    "UPDATE \"tblLogins\" SET \"LogDate\" = $2, \"TimeOut\" = $3 WHERE \"EmployeeNo\" = $1 AND \"TimeOut\" "
    "IS NULL RETURNING \"RecordId\"",
    "DELETE FROM \"tblLogins\" WHERE \"EmployeeNo\" = $1 AND \"LogDate\" = $2 AND "
    "\"TimeIn\" = $3 COLLATE \"tallyclock_nocase\"",
    TALLYCLOCK_LOGINS " WHERE l.\"LogDate\" = $1 ORDER BY l.\"RecordId\"",
    TALLYCLOCK_LOGINS " WHERE l.\"EmployeeNo\" = $1 ORDER BY l.\"RecordId\"",
    TALLYCLOCK_LOGINS " ORDER BY l.\"RecordId\"",
    TALLYCLOCK_LOGINS " WHERE l.\"LogDate\" BETWEEN $1 AND $2 ORDER BY l.\"LogDate\", l.\"RecordId\"",
    TALLYCLOCK_LOGINS " WHERE l.\"LogDate\" BETWEEN $1 AND $2 AND l.\"EmployeeNo\" = $3 "
                      "ORDER BY l.\"LogDate\", l.\"RecordId\"",
    // The moment as the program writes it everywhere: UTC, milliseconds, ISO 8601.
    TALLYCLOCK_FAILURES,
    TALLYCLOCK_FAILURES " FOR UPDATE",
    "INSERT INTO \"tblLoginFailures\" (\"EmployeeNo\", \"Failures\", \"Since\") VALUES ($1, 0, $2) "
    "ON CONFLICT DO NOTHING",
    "UPDATE \"tblLoginFailures\" SET \"Failures\" = $2, \"Since\" = $3 WHERE \"EmployeeNo\" = $1",
    "DELETE FROM \"tblLoginFailures\" WHERE \"Since\" < $1",
    "DELETE FROM \"tblLoginFailures\" WHERE \"EmployeeNo\" = $1",
    "SELECT \"RecordId\", \"EmployeeNo\", \"LogDate\", \"TimeIn\", \"TimeOut\", \"Corrected\", "
    "\"ToCorrect\" FROM \"tblLogins\" WHERE \"RecordId\" = $1",
    "INSERT INTO \"tblLogins\" (\"EmployeeNo\", \"LogDate\", \"TimeIn\", \"TimeOut\", \"Corrected\") "
    "VALUES ($1, $2, $3, $4, $5) RETURNING \"RecordId\"",
    // An added record stays marked as added when it is corrected later.
    "UPDATE \"tblLogins\" SET \"EmployeeNo\" = $1, \"LogDate\" = $2, \"TimeIn\" = $3, \"TimeOut\" = $4, "
    "\"Corrected\" = greatest(\"Corrected\", $5::integer), \"ToCorrect\" = NULL, \"Refused\" = 0 "
    "WHERE \"RecordId\" = $6",
    // Who acts, for the audit rows the server writes in this transaction: the program's word for it.
    "SELECT set_config('tallyclock.who', $1, true), set_config('tallyclock.terminal', $2, true)",
    // ISO texts in byte order sort as their times do, whatever the server's collation.
    "SELECT \"AuditId\", \"ChangedAt\", \"Terminal\", \"Who\", \"What\", \"RecordId\", \"EmployeeNo\", "
    "\"ValuesBefore\", \"ValuesAfter\", \"ServerRole\", \"ClientAddress\", \"Claimed\" FROM \"tblAudit\" "
    "WHERE \"ChangedAt\" COLLATE \"C\" >= $1 AND "
    "\"ChangedAt\" COLLATE \"C\" < $2 AND ($3::text IS NULL OR \"EmployeeNo\" = $3 OR "
    "\"Who\" = $3 COLLATE \"tallyclock_nocase\") AND ($4::text IS NULL OR \"What\" = $4) "
    "ORDER BY \"AuditId\" DESC",
    // The column's own collation ("C"): exact, letter case counts.
    "SELECT * FROM \"tblEmployees\" WHERE \"BadgeCode\" = $1",
    "UPDATE \"tblEmployees\" SET \"BadgeCode\" = $2 WHERE \"EmployeeNo\" = $1",
    "UPDATE \"tblLogins\" SET \"LogDate\" = $2, \"TimeOut\" = $3 WHERE \"RecordId\" = $1",
    "SELECT 1 FROM \"tblDeliveries\" WHERE \"TerminalId\" = $1 AND \"Sequence\" = $2",
    "INSERT INTO \"tblDeliveries\" (\"TerminalId\", \"Sequence\") VALUES ($1, $2)",
    "SELECT \"tallyclock_keep_refused\"($1, $2, $3, $4, $5, $6, $7) AS \"RecordId\"",
    "SELECT \"tallyclock_mark_to_correct\"($1, $2, $3, $4)",
    "SELECT \"tallyclock_note_clock_off\"($1, $2)",
    // The server's clock, in milliseconds since the epoch; in a transaction, the moment it began.
    "SELECT (extract(epoch FROM now()) * 1000)::bigint AS \"Moment\"",
    "SELECT \"Rule\", \"Value\" FROM \"tblPayRules\" ORDER BY \"Rule\" COLLATE \"C\"",
    "INSERT INTO \"tblPayRules\" (\"Rule\", \"Value\") VALUES ($1, $2) "
    "ON CONFLICT (\"Rule\") DO UPDATE SET \"Value\" = excluded.\"Value\"",
    "DELETE FROM \"tblPayRules\" WHERE \"Rule\" = $1",
    // Changes to the workplace as a whole (its pay rules) one after the other.
    "SELECT pg_advisory_xact_lock(7146317033)",
    // Several persons' rows in the order given (a function scan keeps the array's order); a count
    // of 0 for a number without a row.
    "SELECT \"tallyclock_lock_person\"(n) FROM unnest($1::text[]) AS n",
    // A number without a person row: its letter case folded as well as the server can.
    "SELECT pg_advisory_xact_lock(hashtext(lower(n COLLATE \"tallyclock_nocase\"))) FROM unnest($1::text[]) "
    "AS n",
    "SELECT \"Sequence\" FROM \"tblDeliveries\" WHERE \"TerminalId\" = $1 AND \"Sequence\" = "
    "ANY($2::bigint[])",
};

#undef TALLYCLOCK_LOGINS
#undef TALLYCLOCK_RECORDS
#undef TALLYCLOCK_FAILURES

// Schema creation and upgrades of several terminals at once wait for each other on this lock.
constexpr const char* kSchemaLock = "SELECT pg_advisory_xact_lock(7146317032)";

std::string utf8(const QString& text) {
    return text.toStdString();
}

struct ResultDeleter {
    void operator()(PGresult* result) const { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

RecordSet::Kind kindOfType(Oid type) {
    switch (type) {
    case 1082: // date
        return RecordSet::Kind::Date;
    case 20: // int8
    case 21: // int2
    case 23: // int4
        return RecordSet::Kind::Integer;
    case 700:  // float4
    case 701:  // float8
    case 1700: // numeric
        return RecordSet::Kind::Real;
    default:
        return RecordSet::Kind::Text;
    }
}

} // namespace

struct PostgresEngine::Session {
    PGconn* conn = nullptr;
    QString address;
    int statementLimitMs = 0;
    // Work that lifts the server's own time limit waits for its answer as long as it takes.
    bool unbounded = false;
    // Why the connection was dropped here, when it was.
    QString droppedBecause;
    std::array<bool, SqlCount> prepared = {};

    ~Session() {
        if (conn)
            PQfinish(conn);
    }

    bool lost() const { return PQstatus(conn) != CONNECTION_OK; }

    // How long the client waits for the next byte of an answer. By then the server's statement time
    // limit has ended any statement and said so; silence past it means a cut network or a server that
    // stopped answering, where waiting would freeze the program for ever.
    int silenceLimitMs() const { return std::max(statementLimitMs, 0) + 5000; }

    // Drops the connection (the next statement connects anew). No cancel request is sent: it would
    // wait on the same silent network.
    void drop(const QString& why) {
        droppedBecause = why;
        PQfinish(conn);
        conn = nullptr;
    }

    // Waits until the answer in progress can be taken without blocking; drops the connection when
    // the server stays silent too long.
    void await() {
        using Clock = std::chrono::steady_clock;
        auto until = Clock::now() + std::chrono::milliseconds(silenceLimitMs());
        while (conn && PQisBusy(conn)) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
            pollfd wait{PQsocket(conn), POLLIN, 0};
            const int ready =
                ::poll(&wait, 1, unbounded ? -1 : static_cast<int>(std::max<qint64>(left.count(), 0)));
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready == 0) {
                drop(QStringLiteral("no answer within %1 seconds").arg(silenceLimitMs() / 1000));
                return;
            }
            until = Clock::now() + std::chrono::milliseconds(silenceLimitMs());
            if (ready < 0 || !PQconsumeInput(conn))
                return; // the connection failed: libpq reports it with the result
        }
    }

    // The next result of the answer in progress; null at its end or when the connection is gone.
    Result next() {
        await();
        return Result(conn ? PQgetResult(conn) : nullptr);
    }

    // The whole answer as PQexec gives it: the first failed result, else the last one; a copy's start
    // ends it.
    Result finish() {
        Result kept;
        while (Result result = next()) {
            const ExecStatusType status = PQresultStatus(result.get());
            const bool failed = status == PGRES_BAD_RESPONSE || status == PGRES_FATAL_ERROR;
            const bool keptFailed = kept && (PQresultStatus(kept.get()) == PGRES_BAD_RESPONSE ||
                                             PQresultStatus(kept.get()) == PGRES_FATAL_ERROR);
            if (!keptFailed || failed)
                kept = std::move(result);
            if (status == PGRES_COPY_IN || status == PGRES_COPY_OUT)
                break;
        }
        return kept;
    }

    // PQexec and its kin, bounded as above.
    Result exec(const char* sql) { return PQsendQuery(conn, sql) ? finish() : Result(); }
    Result exec(const char* sql, const std::vector<const char*>& bound) {
        return PQsendQueryParams(conn, sql, static_cast<int>(bound.size()), nullptr, bound.data(), nullptr,
                                 nullptr, 0)
                   ? finish()
                   : Result();
    }

    Kind kindOf(const PGresult* result) const {
        if (lost())
            return Kind::Unreachable;
        const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
        const std::string_view code = state ? state : "";
        if (code == "23505") // unique_violation
            return Kind::Duplicate;
        if (code == "42501") // insufficient_privilege: the role this terminal logs in as may not
            return Kind::NotPermitted;
        if (code == "57014") // query_canceled: the statement timeout
            return Kind::Interrupted;
        if (code == "55P03" || code == "40001" || code == "40P01") // lock timeout, serialisation, deadlock
            return Kind::Busy;
        if (code.substr(0, 2) == "08" || code == "57P01" || code == "57P02" || code == "57P03")
            return Kind::Unreachable;
        return Kind::Other;
    }

    QString detail(const PGresult* result, Kind kind) const {
        if (kind == Kind::Interrupted)
            return EngineText::statementStopped(statementLimitMs);
        if (kind == Kind::NotPermitted)
            return EngineText::onlyPunching();
        const char* primary = result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
        QString text =
            !conn ? droppedBecause : QString::fromUtf8(primary ? primary : PQerrorMessage(conn)).trimmed();
        if (kind == Kind::Unreachable)
            text = QStringLiteral("the server %1 cannot be reached: %2").arg(address, text);
        return text;
    }

    // A lacking right is said plainly, without the engine's account of it.
    DatabaseError readFailure(const PGresult* result) const {
        const Kind kind = kindOf(result);
        if (kind == Kind::NotPermitted)
            return DatabaseError(kind, EngineText::onlyPunching());
        return EngineText::readFailure(kind, detail(result, kind));
    }

    DatabaseError changeFailure(const PGresult* result) const {
        const Kind kind = kindOf(result);
        if (kind == Kind::NotPermitted)
            return DatabaseError(kind, EngineText::onlyPunching());
        return EngineText::changeFailure(kind, detail(result, kind));
    }

    // A command without values and without rows (transaction control, settings, schema steps).
    void command(const char* sql) {
        const Result result = exec(sql);
        if (PQresultStatus(result.get()) != PGRES_COMMAND_OK &&
            PQresultStatus(result.get()) != PGRES_TUPLES_OK)
            throw changeFailure(result.get());
    }

    static std::string name(Sql sql) { return "tallyclock_" + std::to_string(static_cast<int>(sql)); }

    void prepare(Sql sql, bool reading) {
        if (prepared[sql])
            return;
        const Result result =
            PQsendPrepare(conn, name(sql).c_str(), kSql[sql], 0, nullptr) ? finish() : Result();
        if (PQresultStatus(result.get()) != PGRES_COMMAND_OK)
            throw reading ? readFailure(result.get()) : changeFailure(result.get());
        prepared[sql] = true;
    }

    static std::vector<const char*> values(const Params& params) {
        std::vector<const char*> values;
        for (const auto& param : params)
            values.push_back(param ? param->c_str() : nullptr);
        return values;
    }

    // Runs a read, taking the rows one at a time from the connection straight into the record set.
    RecordSet read(Sql sql, const Params& params) {
        prepare(sql, true);
        const std::vector<const char*> bound = values(params);
        if (!PQsendQueryPrepared(conn, name(sql).c_str(), static_cast<int>(bound.size()), bound.data(),
                                 nullptr, nullptr, 0))
            throw readFailure(nullptr);
        PQsetSingleRowMode(conn);
        std::optional<RecordSet::Builder> builder;
        std::optional<DatabaseError> failure;
        while (const Result result = next()) {
            PGresult* raw = result.get();
            const ExecStatusType status = PQresultStatus(raw);
            if (status != PGRES_SINGLE_TUPLE && status != PGRES_TUPLES_OK) {
                if (!failure)
                    failure = readFailure(raw);
                continue;
            }
            if (failure)
                continue;
            const int columns = PQnfields(raw);
            if (!builder) {
                std::vector<RecordSet::Column> layout;
                for (int c = 0; c < columns; ++c)
                    layout.push_back({QString::fromUtf8(PQfname(raw, c)), kindOfType(PQftype(raw, c))});
                builder.emplace(layout);
            }
            for (int row = 0; row < PQntuples(raw); ++row) {
                for (int c = 0; c < columns; ++c) {
                    if (PQgetisnull(raw, row, c))
                        builder->addNull();
                    else
                        builder->addText(std::string_view(PQgetvalue(raw, row, c),
                                                          static_cast<size_t>(PQgetlength(raw, row, c))));
                }
            }
        }
        if (failure)
            throw *failure;
        if (!builder)
            throw readFailure(nullptr);
        return builder->finish();
    }

    // Runs a statement of a change; anything but the status expected is a failure.
    Result execute(Sql sql, const Params& params, ExecStatusType expected) {
        prepare(sql, false);
        const std::vector<const char*> bound = values(params);
        Result result = PQsendQueryPrepared(conn, name(sql).c_str(), static_cast<int>(bound.size()),
                                            bound.data(), nullptr, nullptr, 0)
                            ? finish()
                            : Result();
        if (PQresultStatus(result.get()) != expected)
            throw changeFailure(result.get());
        return result;
    }

    // Takes a lock for a change to come; returns how many rows it locked.
    int lock(Sql sql, const Params& params) { return PQntuples(execute(sql, params, PGRES_TUPLES_OK).get()); }

    // Runs a change; returns how many rows it changed.
    int change(Sql sql, const Params& params) {
        return std::atoi(PQcmdTuples(execute(sql, params, PGRES_COMMAND_OK).get()));
    }
};

namespace {

using Session = PostgresEngine::Session;

// One transaction: rolled back unless committed, also when the connection is gone (then the
// server has already dropped it).
class Transaction {
public:
    explicit Transaction(Session& s) : m_s(s) { m_s.command("BEGIN"); }
    ~Transaction() {
        if (!m_done && !m_s.lost())
            m_s.exec("ROLLBACK");
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit() {
        m_s.command("COMMIT");
        m_done = true;
    }

private:
    Session& m_s;
    bool m_done = false;
};

QString singleValue(Session& s, const char* sql, const Params& params = {}) {
    const std::vector<const char*> bound = Session::values(params);
    const Result result = s.exec(sql, bound);
    if (PQresultStatus(result.get()) != PGRES_TUPLES_OK)
        throw s.readFailure(result.get());
    if (PQntuples(result.get()) == 0 || PQgetisnull(result.get(), 0, 0))
        return QString();
    return QString::fromUtf8(PQgetvalue(result.get(), 0, 0));
}

DatabaseError notAttendanceDatabase(const Session& s, const QString& why) {
    return DatabaseError(
        Kind::Other, QStringLiteral("The database %1 is not an attendance database: %2").arg(s.address, why));
}

// The tables and the view are what they must be, with their columns.
void checkObjects(Session& s) {
    for (const RequiredObject& required : SchemaUpgrades::requiredObjects()) {
        const QString name = QString::fromLatin1(required.name);
        const std::string quoted = "\"" + std::string(required.name) + "\"";
        const QString kind =
            singleValue(s, "SELECT relkind::text FROM pg_class WHERE oid = to_regclass($1)", {quoted});
        if (kind.isEmpty())
            throw notAttendanceDatabase(
                s, QStringLiteral("it lacks the tables tblEmployees, tblLogins or the query qryLogins."));
        const bool isTable = kind == QLatin1String("r") || kind == QLatin1String("p");
        const bool isView = kind == QLatin1String("v");
        if (required.isView ? !isView : !isTable)
            throw notAttendanceDatabase(s, required.isView ? QStringLiteral("%1 is not a query.").arg(name)
                                                           : QStringLiteral("%1 is not a table.").arg(name));
        const QStringList present =
            singleValue(s,
                        "SELECT string_agg(attname, ',') FROM pg_attribute WHERE "
                        "attrelid = to_regclass($1) AND attnum > 0 AND NOT attisdropped",
                        {quoted})
                .split(QLatin1Char(','));
        for (const char* column : required.columns) {
            if (!present.contains(QString::fromLatin1(column)))
                throw notAttendanceDatabase(
                    s, QStringLiteral("%1 lacks the column %2.").arg(name, QString::fromLatin1(column)));
        }
    }
}

// Replaces every stored password by what `rewrite` makes of it. The rows stay locked from the read to
// the write, so that their places (ctid) still hold them.
void rewritePasswords(Session& s, QStringList (*rewrite)(const QStringList&)) {
    const Result rows = s.exec("SELECT ctid::text, \"Password\" FROM \"tblEmployees\" "
                               "WHERE \"Password\" IS NOT NULL FOR UPDATE");
    if (PQresultStatus(rows.get()) != PGRES_TUPLES_OK)
        throw s.readFailure(rows.get());
    QStringList stored;
    for (int r = 0; r < PQntuples(rows.get()); ++r)
        stored << QString::fromUtf8(PQgetvalue(rows.get(), r, 1));
    const QStringList replaced = rewrite(stored);
    for (int r = 0; r < PQntuples(rows.get()); ++r) {
        const std::string password = utf8(replaced.at(r));
        const Result updated = s.exec("UPDATE \"tblEmployees\" SET \"Password\" = $1 WHERE ctid = $2::tid",
                                      {password.c_str(), PQgetvalue(rows.get(), r, 0)});
        if (PQresultStatus(updated.get()) != PGRES_COMMAND_OK)
            throw s.changeFailure(updated.get());
    }
}

// Creates the schema in an empty database or runs the upgrades it lacks, then checks what is there;
// all in one transaction, which other terminals starting at the same time wait for.
void bringSchemaUpToDate(Session& s) {
    Transaction transaction(s);
    s.command(kSchemaLock);
    int version = 0;
    if (!singleValue(s, "SELECT to_regclass('\"tblSchemaVersion\"')::text").isEmpty())
        version = singleValue(s, "SELECT max(\"Version\") FROM \"tblSchemaVersion\"").toInt();
    else if (!singleValue(s, "SELECT to_regclass('\"tblEmployees\"')::text").isEmpty())
        throw notAttendanceDatabase(s, QStringLiteral("it has no schema version."));
    if (version > SchemaUpgrades::latestVersion())
        throw DatabaseError(Kind::Other, SchemaUpgrades::newerThanProgram(s.address, version));
    if (version < SchemaUpgrades::latestVersion()) {
        for (const SchemaUpgrade& step : SchemaUpgrades::steps()) {
            if (step.version > version) {
                s.command(step.postgres);
                if (step.rewritePasswords)
                    rewritePasswords(s, step.rewritePasswords);
            }
        }
        s.command(
            ("DELETE FROM \"tblSchemaVersion\"; INSERT INTO \"tblSchemaVersion\" (\"Version\") VALUES (" +
             std::to_string(SchemaUpgrades::latestVersion()) + ")")
                .c_str());
    }
    checkObjects(s);
    transaction.commit();
}

} // namespace

namespace {

struct OptionsDeleter {
    void operator()(PQconninfoOption* options) const { PQconninfoFree(options); }
};
using Options = std::unique_ptr<PQconninfoOption, OptionsDeleter>;

// libpq's own reading of a connection URI or key=value string; null when it cannot read it. Its
// error text is dropped: it may quote the string, password and all.
Options parsedConnection(const QString& url) {
    char* error = nullptr;
    Options options(PQconninfoParse(url.toUtf8().constData(), &error));
    PQfreemem(error);
    return options;
}

bool isPassword(const char* keyword) {
    return std::string_view(keyword) == "password";
}

// A value as key=value settings write it: quoted when it has to be.
QString quotedValue(const QString& value) {
    if (!value.isEmpty() && !value.contains(QRegularExpression(QStringLiteral("[\\s'\\\\]"))))
        return value;
    QString escaped = value;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
        .replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return QLatin1Char('\'') + escaped + QLatin1Char('\'');
}

} // namespace

QString PostgresEngine::shownAddress(const QString& url) {
    const Options options = parsedConnection(url);
    if (!options)
        return QStringLiteral("(an unreadable server address)");
    // Where the server is and what is asked of it first, as people read an address; then the rest.
    const std::string_view first[] = {"host", "hostaddr", "port", "dbname", "user"};
    const auto isFirst = [&](const char* keyword) {
        return std::find(std::begin(first), std::end(first), keyword) != std::end(first);
    };
    std::vector<const PQconninfoOption*> shown;
    for (const std::string_view keyword : first) {
        for (const PQconninfoOption* option = options.get(); option->keyword; ++option) {
            if (option->val && keyword == option->keyword)
                shown.push_back(option);
        }
    }
    for (const PQconninfoOption* option = options.get(); option->keyword; ++option) {
        if (option->val && !isFirst(option->keyword) && !isPassword(option->keyword))
            shown.push_back(option);
    }
    QStringList settings;
    for (const PQconninfoOption* option : shown)
        settings << QString::fromUtf8(option->keyword) + QLatin1Char('=') +
                        quotedValue(QString::fromUtf8(option->val));
    return settings.join(QLatin1Char(' '));
}

bool PostgresEngine::carriesPassword(const QString& url) {
    const Options options = parsedConnection(url);
    for (const PQconninfoOption* option = options.get(); option && option->keyword; ++option) {
        if (option->val && isPassword(option->keyword))
            return true;
    }
    return false;
}

PostgresEngine::PostgresEngine(const QString& url, int busyTimeoutMs, int statementTimeoutMs)
    : m_s(std::make_unique<Session>()) {
    if (!parsedConnection(url))
        throw DatabaseError(Kind::Other,
                            QStringLiteral("The attendance database server's address cannot be read: it is "
                                           "neither a postgresql:// address nor key=value settings."));
    m_s->address = shownAddress(url);
    m_s->statementLimitMs = statementTimeoutMs;
    // The address may name its own connect_timeout; it comes after ours and so wins.
    const std::string target = utf8(url);
    // Over TCP, a peer gone without a word (a cut cable, a dead server) is noticed by the system
    // within about half a minute even while no statement waits.
    const char* const keys[] = {
        "connect_timeout",  "application_name", "keepalives", "keepalives_idle", "keepalives_interval",
        "keepalives_count", "tcp_user_timeout", "gssencmode", "dbname",          nullptr};
    // GSSAPI encryption, tried by default on every TCP connection, loads Kerberos, whose library
    // aborts the process when a connection of a background thread ends while the program exits
    // ("k5_mutex_lock: Assertion `r == 0' failed", seen at a terminal). An address that asks for it
    // still gets it.
    const char* const values[] = {"5",       "tallyclock-suite", "1",    "10", "5", "3", "30000",
                                  "disable", target.c_str(),     nullptr};
    m_s->conn = PQconnectdbParams(keys, values, 1);
    if (!m_s->conn)
        throw DatabaseError(Kind::Unreachable,
                            QStringLiteral("The attendance database server cannot be reached."));
    if (PQstatus(m_s->conn) != CONNECTION_OK)
        throw DatabaseError(Kind::Unreachable,
                            QStringLiteral("The attendance database server %1 cannot be reached: %2")
                                .arg(m_s->address, QString::fromUtf8(PQerrorMessage(m_s->conn)).trimmed()));
    m_s->command(
        "SET client_encoding = 'UTF8'; SET DateStyle = 'ISO, YMD'; SET client_min_messages = warning");
    setBusyTimeout(busyTimeoutMs);
    setStatementTimeout(statementTimeoutMs);
    bringSchemaUpToDate(*m_s);
}

PostgresEngine::~PostgresEngine() = default;

void PostgresEngine::setBusyTimeout(int milliseconds) {
    // How long a statement waits for another terminal's lock.
    m_s->command(("SET lock_timeout = " + std::to_string(std::max(milliseconds, 1))).c_str());
}

void PostgresEngine::setStatementTimeout(int milliseconds) {
    m_s->statementLimitMs = milliseconds;
    m_s->command(("SET statement_timeout = " + std::to_string(std::max(milliseconds, 1))).c_str());
}

RecordSet PostgresEngine::administrators() {
    return m_s->read(Administrators, {});
}

RecordSet PostgresEngine::personsByName() {
    return m_s->read(PersonsByName, {});
}

RecordSet PostgresEngine::personByNumber(const QString& number) {
    return m_s->read(PersonByNumber, {utf8(number)});
}

namespace {
Params personParams(const PersonFields& person) {
    return {utf8(person.number),
            person.password ? std::optional<std::string>(utf8(*person.password)) : std::nullopt,
            utf8(person.name),
            utf8(person.department),
            utf8(person.position),
            std::string(person.isAdmin ? "1" : "0")};
}
} // namespace

void PostgresEngine::insertPerson(const PersonFields& person) {
    try {
        m_s->change(InsertPerson, personParams(person));
    } catch (const DatabaseError& e) {
        if (e.kind() == Kind::Duplicate)
            throw DatabaseError(Kind::Duplicate, EngineText::numberInUse(person.number));
        throw;
    }
}

void PostgresEngine::updatePerson(const QString& current, const PersonFields& person) {
    Params params = personParams(person);
    params.push_back(utf8(current));
    try {
        m_s->change(UpdatePerson, params);
    } catch (const DatabaseError& e) {
        if (e.kind() == Kind::Duplicate)
            throw DatabaseError(Kind::Duplicate, EngineText::numberInUse(person.number));
        throw;
    }
}

void PostgresEngine::deletePerson(const QString& number) {
    m_s->change(DeletePerson, {utf8(number)});
}

void PostgresEngine::deleteRecordsOfPerson(const QString& number) {
    m_s->change(DeleteRecordsOfPerson, {utf8(number)});
}

RecordSet PostgresEngine::recordsOfPerson(const QString& number) {
    return m_s->read(RecordsOfPerson, {utf8(number)});
}

RecordSet PostgresEngine::latestRecordOfPerson(const QString& number) {
    return m_s->read(LatestRecordOfPerson, {utf8(number)});
}

namespace {
// The identities a change returned, one a row.
std::vector<qint64> returnedIds(const Result& result) {
    std::vector<qint64> ids;
    for (int row = 0; row < PQntuples(result.get()); ++row)
        ids.push_back(std::atoll(PQgetvalue(result.get(), row, 0)));
    return ids;
}

// An array value in its text form: every element quoted, so that no number is read as anything else.
std::string arrayOf(const QStringList& texts) {
    std::string array = "{";
    for (const QString& text : texts) {
        if (array.size() > 1)
            array += ',';
        array += '"';
        for (const char c : utf8(text)) {
            if (c == '"' || c == '\\')
                array += '\\';
            array += c;
        }
        array += '"';
    }
    return array + '}';
}
} // namespace

qint64 PostgresEngine::punchIn(const QString& number, const QDate& day, const QString& timeIn) {
    return returnedIds(
               m_s->execute(PunchIn, {utf8(number), EngineText::isoDay(day), utf8(timeIn)}, PGRES_TUPLES_OK))
        .at(0);
}

std::vector<qint64> PostgresEngine::punchOut(const QString& number, const QDate& day,
                                             const QString& timeOut) {
    return returnedIds(
        m_s->execute(PunchOut, {utf8(number), EngineText::isoDay(day), utf8(timeOut)}, PGRES_TUPLES_OK));
}

void PostgresEngine::deleteRecord(const QString& number, const QDate& day, const QString& timeIn) {
    m_s->change(DeleteRecord, {utf8(number), EngineText::isoDay(day), utf8(timeIn)});
}

RecordSet PostgresEngine::loginsOn(const QDate& day) {
    return m_s->read(LoginsOn, {EngineText::isoDay(day)});
}

RecordSet PostgresEngine::loginsOfPerson(const QString& number) {
    return m_s->read(LoginsOfPerson, {utf8(number)});
}

RecordSet PostgresEngine::allLogins() {
    return m_s->read(AllLogins, {});
}

RecordSet PostgresEngine::loginsBetween(const QDate& from, const QDate& to,
                                        const std::optional<QString>& number) {
    if (number)
        return m_s->read(LoginsOfPersonBetween,
                         {EngineText::isoDay(from), EngineText::isoDay(to), utf8(*number)});
    return m_s->read(LoginsBetween, {EngineText::isoDay(from), EngineText::isoDay(to)});
}

RecordSet PostgresEngine::recordById(qint64 id) {
    return m_s->read(RecordById, {std::to_string(id)});
}

namespace {
Params recordParams(const RecordFields& record, RecordMark mark) {
    return {utf8(record.number), EngineText::isoDay(record.day), utf8(record.timeIn),
            record.timeOut ? std::optional<std::string>(utf8(*record.timeOut)) : std::nullopt,
            std::to_string(static_cast<int>(mark))};
}
} // namespace

qint64 PostgresEngine::insertRecord(const RecordFields& record, RecordMark mark) {
    return m_s->read(InsertRecord, recordParams(record, mark)).value(QStringLiteral("RecordId")).toLongLong();
}

void PostgresEngine::updateRecord(qint64 id, const RecordFields& record, RecordMark mark) {
    Params params = recordParams(record, mark);
    params.push_back(std::to_string(id));
    if (m_s->change(UpdateRecord, params) == 0)
        throw DatabaseError(Kind::Other, QStringLiteral("The record %1 no longer exists.").arg(id));
}

void PostgresEngine::appendAudit(const AuditEntry&) {
    // The server's triggers write every row; nobody but the schema's owner may add one.
    throw DatabaseError(Kind::NotPermitted, EngineText::onlyPunching());
}

void PostgresEngine::claim(const AuditStamp& stamp) {
    m_s->execute(Claim, {utf8(stamp.who), utf8(stamp.terminal)}, PGRES_TUPLES_OK);
}

QDateTime PostgresEngine::countingMoment() {
    return QDateTime::fromMSecsSinceEpoch(
        m_s->read(ServerMoment, {}).value(QStringLiteral("Moment")).toLongLong(), Qt::UTC);
}

RecordSet PostgresEngine::auditEntries(const AuditFilter& filter) {
    const auto optional = [](const std::optional<QString>& text) {
        return text ? std::optional<std::string>(utf8(*text)) : std::nullopt;
    };
    return m_s->read(AuditEntries, {EngineText::isoDay(filter.from), EngineText::isoDay(filter.to.addDays(1)),
                                    optional(filter.number), optional(filter.what)});
}

RecordSet PostgresEngine::personByBadge(const QString& code) {
    return m_s->read(PersonByBadge, {utf8(code)});
}

void PostgresEngine::setBadge(const QString& number, const std::optional<QString>& code) {
    try {
        m_s->change(SetBadge, {utf8(number), code ? std::optional<std::string>(utf8(*code)) : std::nullopt});
    } catch (const DatabaseError& e) {
        if (e.kind() == Kind::Duplicate)
            throw DatabaseError(Kind::Duplicate, EngineText::badgeInUse());
        throw;
    }
}

void PostgresEngine::closeRecord(qint64 id, const QDate& day, const QString& timeOut) {
    m_s->change(CloseRecord, {std::to_string(id), EngineText::isoDay(day), utf8(timeOut)});
}

void PostgresEngine::serialisedForPersons(const QStringList& numbers, const std::function<void()>& work) {
    // Every person's row lock before anything is read: a second terminal punching the same person (in
    // any letter case) waits here until this transaction ends, then reads what it wrote. The locks go
    // in one order for every terminal (by the folded number), so that two deliveries naming the same
    // persons wait for each other instead of deadlocking.
    std::map<QString, QString> byFolded;
    for (const QString& number : numbers)
        byFolded.emplace(number.toCaseFolded(), number);
    QStringList ordered;
    for (const auto& [folded, number] : byFolded)
        ordered << number;
    Transaction transaction(*m_s);
    const Result locked = m_s->execute(LockPersons, {arrayOf(ordered)}, PGRES_TUPLES_OK);
    QStringList withoutRow;
    for (int row = 0; row < PQntuples(locked.get()); ++row)
        if (std::atoi(PQgetvalue(locked.get(), row, 0)) == 0)
            withoutRow << ordered.at(row);
    if (!withoutRow.isEmpty())
        m_s->lock(LockNumbers, {arrayOf(withoutRow)});
    work();
    transaction.commit();
}

std::set<qint64> PostgresEngine::receiptsOf(const QString& terminal, const std::vector<qint64>& sequences) {
    QStringList texts;
    for (const qint64 sequence : sequences)
        texts << QString::number(sequence);
    std::set<qint64> found;
    for (RecordSet rs = m_s->read(Receipts, {utf8(terminal), arrayOf(texts)}); !rs.eof(); rs.moveNext())
        found.insert(rs.value(QStringLiteral("Sequence")).toLongLong());
    return found;
}

bool PostgresEngine::hasReceipt(const QString& terminal, qint64 sequence) {
    return !m_s->read(HasReceipt, {utf8(terminal), std::to_string(sequence)}).eof();
}

void PostgresEngine::addReceipt(const QString& terminal, qint64 sequence) {
    m_s->change(AddReceipt, {utf8(terminal), std::to_string(sequence)});
}

// Both run as the schema's owner, for the punch whose receipt this transaction wrote: a terminal
// may not write a time out or a mark of its own.
qint64 PostgresEngine::storeRefused(const DeliveredPunch& punch, const QString& reason) {
    const bool in = punch.kind == PunchKind::In;
    const auto time = [&](bool side) {
        return side ? std::optional<std::string>(utf8(punch.time)) : std::nullopt;
    };
    return m_s
        ->read(KeepRefused, {utf8(punch.terminal), std::to_string(punch.sequence), utf8(punch.number),
                             EngineText::isoDay(punch.day), time(in), time(!in), utf8(reason)})
        .value(QStringLiteral("RecordId"))
        .toLongLong();
}

void PostgresEngine::markToCorrect(const DeliveredPunch& punch, qint64 id, const QString& reason) {
    m_s->execute(MarkToCorrect,
                 {utf8(punch.terminal), std::to_string(punch.sequence), std::to_string(id), utf8(reason)},
                 PGRES_TUPLES_OK);
}

void PostgresEngine::noteClockOff(const QString& terminal, qint64 offSeconds, const AuditStamp& stamp) {
    Transaction transaction(*m_s);
    claim(stamp);
    m_s->execute(NoteClockOff, {utf8(terminal), std::to_string(offSeconds)}, PGRES_TUPLES_OK);
    transaction.commit();
}

::LoginFailures PostgresEngine::loginFailures(const QString& number) {
    return EngineText::loginFailuresOf(m_s->read(Sql::LoginFailures, {utf8(number)}));
}

void PostgresEngine::recordLoginFailure(const QString& number, const QDateTime&) {
    // The row is made if missing and then locked, so that terminals failing at the same moment count
    // one after the other. Every moment is the server's: terminals' clocks may differ by any amount.
    Transaction transaction(*m_s);
    const QDateTime now = countingMoment();
    const std::string moment = utf8(EngineText::storedMoment(now));
    m_s->change(AddLoginFailures, {utf8(number), moment});
    const ::LoginFailures next = CredentialRules::installed().afterFailure(
        EngineText::loginFailuresOf(m_s->read(LockLoginFailures, {utf8(number)})), now);
    m_s->change(UpdateLoginFailures,
                {utf8(number), std::to_string(next.failures), utf8(EngineText::storedMoment(next.since))});
    // Counts of numbers nobody has tried for a day are of no use any more.
    m_s->change(DeleteStaleLoginFailures, {utf8(EngineText::storedMoment(now.addDays(-1)))});
    transaction.commit();
}

void PostgresEngine::clearLoginFailures(const QString& number) {
    m_s->change(ClearLoginFailures, {utf8(number)});
}

RecordSet PostgresEngine::payRules() {
    return m_s->read(PayRules, {});
}

void PostgresEngine::setPayRule(const QString& rule, const QString& value) {
    if (value.isNull())
        m_s->change(DeletePayRule, {utf8(rule)});
    else
        m_s->change(SetPayRule, {utf8(rule), utf8(value)});
}

void PostgresEngine::serialisedForWorkplace(const std::function<void()>& work) {
    Transaction transaction(*m_s);
    m_s->lock(LockWorkplace, {});
    work();
    transaction.commit();
}

namespace {

// A text cell of a result as stored: Null stays apart from the empty text.
QString storedText(const PGresult* result, int row, int column) {
    if (PQgetisnull(result, row, column))
        return QString();
    return QString::fromUtf8(PQgetvalue(result, row, column), PQgetlength(result, row, column));
}

Result readAll(Session& s, const char* sql) {
    Result result = s.exec(sql);
    if (PQresultStatus(result.get()) != PGRES_TUPLES_OK)
        throw s.readFailure(result.get());
    return result;
}

// One field of COPY's text format: the separators and the escape character escaped, Null as \N.
void appendCopyField(std::string& line, const QString& text, bool last) {
    if (text.isNull()) {
        line += "\\N";
    } else {
        for (const char c : text.toStdString()) {
            switch (c) {
            case '\\':
                line += "\\\\";
                break;
            case '\t':
                line += "\\t";
                break;
            case '\n':
                line += "\\n";
                break;
            case '\r':
                line += "\\r";
                break;
            default:
                line += c;
            }
        }
    }
    line += last ? '\n' : '\t';
}

// Streams rows into a table with COPY, in pieces of about a megabyte.
class CopyIn {
public:
    CopyIn(Session& s, const char* sql) : m_s(s) {
        const Result result = s.exec(sql);
        if (PQresultStatus(result.get()) != PGRES_COPY_IN)
            throw s.changeFailure(result.get());
    }
    std::string& line() { return m_buffer; }
    void rowDone() {
        if (m_buffer.size() >= (1u << 20))
            flush();
    }
    void finish() {
        flush();
        if (PQputCopyEnd(m_s.conn, nullptr) != 1)
            throw m_s.changeFailure(nullptr);
        const Result result = m_s.next();
        if (PQresultStatus(result.get()) != PGRES_COMMAND_OK) {
            // The detail names the row at fault, such as the key of a duplicate.
            const DatabaseError failure = m_s.changeFailure(result.get());
            const char* detail = PQresultErrorField(result.get(), PG_DIAG_MESSAGE_DETAIL);
            throw detail ? DatabaseError(failure.kind(), QString::fromUtf8(failure.what()) +
                                                             QLatin1Char(' ') + QString::fromUtf8(detail))
                         : failure;
        }
        // The copy's last result is followed by the end of the command.
        while (m_s.next()) {
        }
    }

private:
    void flush() {
        if (!m_buffer.empty() &&
            PQputCopyData(m_s.conn, m_buffer.data(), static_cast<int>(m_buffer.size())) != 1)
            throw m_s.changeFailure(nullptr);
        m_buffer.clear();
    }

    Session& m_s;
    std::string m_buffer;
};

} // namespace

namespace {
std::optional<qint64> storedInteger(const PGresult* result, int row, int column) {
    if (PQgetisnull(result, row, column))
        return std::nullopt;
    return std::atoll(PQgetvalue(result, row, column));
}

// The text of an integer for COPY, or Null.
QString copyInteger(const std::optional<qint64>& value) {
    return value ? QString::number(*value) : QString();
}
} // namespace

Workplace PostgresEngine::everything() {
    Workplace workplace;
    // One snapshot for every table.
    Transaction transaction(*m_s);
    m_s->command("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY");
    const Result persons = readAll(*m_s, "SELECT \"EmployeeNo\", \"Password\", \"Name\", \"Department\", "
                                         "\"Position\", \"IsAdmin\", \"BadgeCode\" FROM \"tblEmployees\"");
    for (int row = 0; row < PQntuples(persons.get()); ++row)
        workplace.persons.push_back({storedText(persons.get(), row, 0), storedText(persons.get(), row, 1),
                                     storedText(persons.get(), row, 2), storedText(persons.get(), row, 3),
                                     storedText(persons.get(), row, 4),
                                     std::atoll(PQgetvalue(persons.get(), row, 5)),
                                     storedText(persons.get(), row, 6)});
    const Result records = readAll(
        *m_s, "SELECT \"EmployeeNo\", \"LogDate\", \"TimeIn\", \"TimeOut\", \"RecordId\", \"Corrected\" "
              "FROM \"tblLogins\" ORDER BY \"RecordId\"");
    const int rows = PQntuples(records.get());
    workplace.records.reserve(static_cast<size_t>(rows));
    for (int row = 0; row < rows; ++row) {
        const char* day = PQgetisnull(records.get(), row, 1) ? nullptr : PQgetvalue(records.get(), row, 1);
        workplace.records.push_back(
            {storedText(records.get(), row, 0), EngineText::storedDay(day, m_s->address),
             storedText(records.get(), row, 2), storedText(records.get(), row, 3),
             std::atoll(PQgetvalue(records.get(), row, 4)), std::atoll(PQgetvalue(records.get(), row, 5))});
    }
    const Result audit = readAll(*m_s, "SELECT \"AuditId\", \"ChangedAt\", \"Terminal\", \"Who\", \"What\", "
                                       "\"RecordId\", \"EmployeeNo\", \"ValuesBefore\", \"ValuesAfter\", "
                                       "\"ServerRole\", \"ClientAddress\", \"Claimed\" FROM \"tblAudit\" "
                                       "ORDER BY \"AuditId\"");
    for (int row = 0; row < PQntuples(audit.get()); ++row) {
        const PGresult* a = audit.get();
        workplace.audit.push_back({std::atoll(PQgetvalue(a, row, 0)), storedText(a, row, 1),
                                   storedText(a, row, 2), storedText(a, row, 3), storedText(a, row, 4),
                                   storedInteger(a, row, 5), storedText(a, row, 6), storedText(a, row, 7),
                                   storedText(a, row, 8), storedText(a, row, 9), storedText(a, row, 10),
                                   std::atoll(PQgetvalue(a, row, 11))});
    }
    const Result failures = readAll(
        *m_s,
        "SELECT \"EmployeeNo\", \"Failures\", to_char(\"Since\" AT TIME ZONE 'UTC', "
        "'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"') FROM \"tblLoginFailures\" ORDER BY \"Since\", \"EmployeeNo\"");
    for (int row = 0; row < PQntuples(failures.get()); ++row)
        workplace.loginFailures.push_back({storedText(failures.get(), row, 0),
                                           std::atoll(PQgetvalue(failures.get(), row, 1)),
                                           storedText(failures.get(), row, 2)});
    const Result rules = readAll(*m_s, "SELECT \"Rule\", \"Value\" FROM \"tblPayRules\" ORDER BY \"Rule\"");
    for (int row = 0; row < PQntuples(rules.get()); ++row)
        workplace.payRules.emplace_back(storedText(rules.get(), row, 0), storedText(rules.get(), row, 1));
    transaction.commit();
    return workplace;
}

void PostgresEngine::loadIntoEmpty(const Workplace& workplace) {
    Transaction transaction(*m_s);
    // A large workplace takes longer than any one statement of the clock may; and no terminal writes
    // while it goes in (they wait for the lock, up to their own time limit).
    m_s->command("SET LOCAL statement_timeout = 0");
    m_s->unbounded = true;
    const auto bounded = qScopeGuard([&] { m_s->unbounded = false; });
    m_s->command("LOCK TABLE \"tblEmployees\", \"tblLogins\", \"tblAudit\" IN EXCLUSIVE MODE");
    const qint64 personCount = singleValue(*m_s, "SELECT count(*) FROM \"tblEmployees\"").toLongLong();
    const qint64 recordCount = singleValue(*m_s, "SELECT count(*) FROM \"tblLogins\"").toLongLong();
    if (personCount != 0 || recordCount != 0)
        throw EngineText::notEmpty(m_s->address, personCount, recordCount);
    const qint64 trail = singleValue(*m_s, "SELECT count(*) FROM \"tblAudit\"").toLongLong();
    if (trail != 0)
        throw EngineText::trailNotEmpty(m_s->address, trail);
    // The trail that comes along is the workplace's; the copy itself writes none. Only the schema's
    // owner may switch the server's own audit rows off, for this transaction.
    m_s->command("ALTER TABLE \"tblEmployees\" DISABLE TRIGGER \"trgEmployeesAudited\"; "
                 "ALTER TABLE \"tblLogins\" DISABLE TRIGGER \"trgLoginsAuditedInsert\"; "
                 "ALTER TABLE \"tblPayRules\" DISABLE TRIGGER \"trgPayRulesAudited\"");

    CopyIn persons(*m_s, "COPY \"tblEmployees\" (\"EmployeeNo\", \"Password\", \"Name\", \"Department\", "
                         "\"Position\", \"IsAdmin\", \"BadgeCode\") FROM STDIN");
    for (const StoredPerson& p : workplace.persons) {
        std::string& line = persons.line();
        appendCopyField(line, p.number, false);
        appendCopyField(line, p.password, false);
        appendCopyField(line, p.name, false);
        appendCopyField(line, p.department, false);
        appendCopyField(line, p.position, false);
        line += std::to_string(p.isAdmin) + '\t';
        appendCopyField(line, p.badge, true);
        persons.rowDone();
    }
    try {
        persons.finish();
    } catch (const DatabaseError& e) {
        if (e.kind() != Kind::Duplicate)
            throw;
        throw DatabaseError(
            Kind::Duplicate,
            QStringLiteral("Two persons have numbers that differ only in letter case, in how an accent "
                           "is written or in invisible characters, which the server takes for the "
                           "same number (%1). Give one of them another "
                           "number, then copy again; nothing was copied.")
                .arg(QString::fromUtf8(e.what())));
    }

    // Records and audit rows keep their identities (COPY writes an identity column as given).
    CopyIn records(*m_s,
                   "COPY \"tblLogins\" (\"RecordId\", \"EmployeeNo\", \"LogDate\", \"TimeIn\", \"TimeOut\", "
                   "\"Corrected\") FROM STDIN");
    for (const StoredRecord& r : workplace.records) {
        std::string& line = records.line();
        appendCopyField(line, QString::number(r.id), false);
        appendCopyField(line, r.number, false);
        appendCopyField(line, r.day.isValid() ? r.day.toString(Qt::ISODate) : QString(), false);
        appendCopyField(line, r.timeIn, false);
        appendCopyField(line, r.timeOut, false);
        appendCopyField(line, QString::number(r.corrected), true);
        records.rowDone();
    }
    records.finish();

    CopyIn audit(*m_s, "COPY \"tblAudit\" (\"AuditId\", \"ChangedAt\", \"Terminal\", \"Who\", \"What\", "
                       "\"RecordId\", \"EmployeeNo\", \"ValuesBefore\", \"ValuesAfter\", \"ServerRole\", "
                       "\"ClientAddress\", \"Claimed\") FROM STDIN");
    for (const StoredAudit& a : workplace.audit) {
        std::string& line = audit.line();
        appendCopyField(line, QString::number(a.id), false);
        for (const QString& text : {a.changedAt, a.terminal, a.who, a.what})
            appendCopyField(line, text, false);
        appendCopyField(line, copyInteger(a.recordId), false);
        for (const QString& text : {a.number, a.before, a.after, a.serverRole, a.clientAddress})
            appendCopyField(line, text, false);
        appendCopyField(line, QString::number(a.claimed), true);
        audit.rowDone();
    }
    audit.finish();

    CopyIn failures(*m_s, "COPY \"tblLoginFailures\" (\"EmployeeNo\", \"Failures\", \"Since\") FROM STDIN");
    for (const StoredLoginFailures& f : workplace.loginFailures) {
        std::string& line = failures.line();
        appendCopyField(line, f.number, false);
        appendCopyField(line, QString::number(f.failures), false);
        appendCopyField(line, f.since, true);
        failures.rowDone();
    }
    failures.finish();

    // The workplace's rules replace any starting value the empty database took.
    m_s->command("DELETE FROM \"tblPayRules\"");
    CopyIn rules(*m_s, "COPY \"tblPayRules\" (\"Rule\", \"Value\") FROM STDIN");
    for (const auto& [name, value] : workplace.payRules) {
        std::string& line = rules.line();
        appendCopyField(line, name, false);
        appendCopyField(line, value, true);
        rules.rowDone();
    }
    rules.finish();

    // New records and rows go on after the copied ones; no identity the trail names is given again.
    const std::string lastRecord =
        std::to_string(std::max<qint64>(EngineText::largestRecordId(workplace), 1));
    const std::string recordsCalled = std::to_string(EngineText::largestRecordId(workplace) > 0 ? 1 : 0);
    singleValue(
        *m_s,
        "SELECT setval(pg_get_serial_sequence('\"tblLogins\"', 'RecordId'), $1::bigint, $2::integer = 1)",
        {lastRecord, recordsCalled});
    qint64 lastAudit = 0;
    for (const StoredAudit& a : workplace.audit)
        lastAudit = std::max(lastAudit, a.id);
    singleValue(
        *m_s, "SELECT setval(pg_get_serial_sequence('\"tblAudit\"', 'AuditId'), $1::bigint, $2::integer = 1)",
        {std::to_string(std::max<qint64>(lastAudit, 1)), std::to_string(lastAudit > 0 ? 1 : 0)});
    m_s->command("ALTER TABLE \"tblEmployees\" ENABLE TRIGGER \"trgEmployeesAudited\"; "
                 "ALTER TABLE \"tblLogins\" ENABLE TRIGGER \"trgLoginsAuditedInsert\"; "
                 "ALTER TABLE \"tblPayRules\" ENABLE TRIGGER \"trgPayRulesAudited\"");
    transaction.commit();
}
