#include "TestDatabase.h"

#include "common/TestSupport.h"
#include "data/SchemaUpgrades.h"

#include <QTest>
#include <QUrl>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <libpq-fe.h>

#include <stdexcept>
#include <unistd.h>

namespace {

QString serverUrl() {
    return qEnvironmentVariable("TALLYCLOCK_TEST_DATABASE_URL");
}

class SqliteRaw : public TestDatabase::Raw {
public:
    explicit SqliteRaw(const QString& path) : m_db(path.toStdString(), SQLite::OPEN_READWRITE) {}
    void exec(const std::string& sqlite, const std::string&) override { m_db.exec(sqlite); }
    QStringList rows(const char* table) override {
        SQLite::Statement query(m_db, std::string("SELECT * FROM ") + table);
        QStringList result;
        while (query.executeStep()) {
            QString row;
            for (int c = 0; c < query.getColumnCount(); ++c) {
                const SQLite::Column column = query.getColumn(c);
                row += column.isNull() ? QStringLiteral("<null>") : QString::fromUtf8(column.getText());
                row += QLatin1Char('|');
            }
            result.append(row);
        }
        result.sort();
        return result;
    }

private:
    SQLite::Database m_db;
};

class PostgresRaw : public TestDatabase::Raw {
public:
    explicit PostgresRaw(const QString& url) : m_conn(PQconnectdb(url.toUtf8().constData())) {
        if (PQstatus(m_conn) != CONNECTION_OK)
            throw std::runtime_error(PQerrorMessage(m_conn));
    }
    ~PostgresRaw() override { PQfinish(m_conn); }
    void exec(const std::string&, const std::string& postgres) override { PQclear(run(postgres)); }
    QStringList rows(const char* table) override {
        PGresult* result = run(std::string("SELECT * FROM \"") + table + "\"");
        QStringList rows;
        for (int r = 0; r < PQntuples(result); ++r) {
            QString row;
            for (int c = 0; c < PQnfields(result); ++c) {
                row += PQgetisnull(result, r, c) ? QStringLiteral("<null>")
                                                 : QString::fromUtf8(PQgetvalue(result, r, c));
                row += QLatin1Char('|');
            }
            rows.append(row);
        }
        PQclear(result);
        rows.sort();
        return rows;
    }

    // Runs a statement; the caller owns the result.
    PGresult* run(const std::string& sql) {
        PGresult* result = PQexec(m_conn, sql.c_str());
        const ExecStatusType status = PQresultStatus(result);
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
            const std::string message = PQresultErrorMessage(result);
            PQclear(result);
            throw std::runtime_error(message);
        }
        return result;
    }

private:
    PGconn* m_conn;
};

// The database of this test program on the test server, made at first use and dropped at exit, so
// that test programs running at the same time never share one.
class ServerDatabase {
public:
    ServerDatabase() {
        QUrl url(serverUrl());
        m_name = QStringLiteral("tally_data_%1").arg(::getpid());
        PostgresRaw(serverUrl()).exec("", "DROP DATABASE IF EXISTS " + m_name.toStdString());
        PostgresRaw(serverUrl()).exec("", "CREATE DATABASE " + m_name.toStdString());
        url.setPath(QLatin1Char('/') + m_name);
        m_url = url.toString();
    }
    ~ServerDatabase() {
        try {
            PostgresRaw(serverUrl())
                .exec("", "DROP DATABASE IF EXISTS " + m_name.toStdString() + " WITH (FORCE)");
        } catch (const std::exception&) {
            // the server may be stopped already; its folder goes with it
        }
    }
    QString url() const { return m_url; }

private:
    QString m_name;
    QString m_url;
};

} // namespace

QString failureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::runtime_error& e) {
        return QString::fromUtf8(e.what());
    }
    return QStringLiteral("<no failure>");
}

void TestDatabase::addEngines() {
    QTest::addColumn<QString>("engine");
    QTest::newRow("sqlite") << QStringLiteral("sqlite");
    if (!serverUrl().isEmpty())
        QTest::newRow("postgresql") << QStringLiteral("postgresql");
}

QString TestDatabase::currentEngine() {
    QFETCH_GLOBAL(QString, engine);
    return engine;
}

TestDatabase::TestDatabase(const QString& engine) : m_server(engine == QLatin1String("postgresql")) {
    if (!m_server) {
        m_file = m_dir.filePath(QStringLiteral("dbData.mdb"));
        TestSupport::copyTemplateTo(m_file);
        return;
    }
    static ServerDatabase database;
    m_url = database.url();
    // Every test starts from an empty database; opening creates the schema.
    PostgresRaw(m_url).exec("", "DROP SCHEMA public CASCADE; CREATE SCHEMA public");
}

TestDatabase::~TestDatabase() = default;

void TestDatabase::open(AttendanceDatabase& db) const {
    if (m_server)
        db.openServer(m_url);
    else
        db.open(m_file);
}

void TestDatabase::makeVersion(int version) const {
    exec("DROP VIEW qryLogins; DROP TABLE tblEmployees; DROP TABLE tblLogins; DROP TABLE tblAudit; "
         "DROP TABLE tblLoginFailures; DROP TABLE tblPayRules; DROP TABLE tblDeliveries; "
         "DELETE FROM sqlite_sequence",
         "DROP SCHEMA public CASCADE; CREATE SCHEMA public");
    for (const SchemaUpgrade& step : SchemaUpgrades::steps()) {
        if (step.version <= version)
            exec(step.sqlite, step.postgres);
    }
    const std::string v = std::to_string(version);
    exec("PRAGMA user_version = " + v, R"(INSERT INTO "tblSchemaVersion" VALUES ()" + v + ")");
}

std::unique_ptr<TestDatabase::Raw> TestDatabase::connectTo(const QString& url) {
    return std::make_unique<PostgresRaw>(url);
}

std::unique_ptr<TestDatabase::Raw> TestDatabase::connect() const {
    if (m_server)
        return std::make_unique<PostgresRaw>(m_url);
    return std::make_unique<SqliteRaw>(m_file);
}
