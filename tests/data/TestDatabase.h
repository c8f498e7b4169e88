#pragma once

#include "data/AttendanceDatabase.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <string>

// The description of the failure that `action` throws, or "<no failure>".
QString failureOf(const std::function<void()>& action);

// An empty attendance database on one engine for one test, and connections of its own beside the
// catalogue's for setting up and checking: a test states what it does to both engines side by side.
class TestDatabase {
public:
    // The engines the catalogue tests run on, as the global data of a test class: "sqlite" always,
    // "postgresql" when TALLYCLOCK_TEST_DATABASE_URL names a test server.
    static void addEngines();
    // The engine of the current global data row.
    static QString currentEngine();

    explicit TestDatabase(const QString& engine);
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    bool isServer() const { return m_server; }
    // Opens `db` on this database.
    void open(AttendanceDatabase& db) const;
    // The URL of the server database ("" for the file); the file's path.
    QString url() const { return m_url; }
    QString file() const { return m_file; }

    // A connection of its own, as another program or terminal would hold one.
    class Raw {
    public:
        virtual ~Raw() = default;
        // Runs the statement of this engine; throws std::runtime_error when it fails.
        virtual void exec(const std::string& sqlite, const std::string& postgres) = 0;
        // The rows of a table, each as one text, sorted: what a statement must leave unchanged.
        virtual QStringList rows(const char* table) = 0;
    };
    std::unique_ptr<Raw> connect() const;
    // A connection of its own to a server database at `url` (under another role, say).
    static std::unique_ptr<Raw> connectTo(const QString& url);

    // Empties the database and makes it one of schema version `version`, as the upgrade steps up to
    // it made it; no connection may be open on it.
    void makeVersion(int version) const;

    int count(const char* table) const { return static_cast<int>(connect()->rows(table).size()); }
    QStringList rows(const char* table) const { return connect()->rows(table); }
    void exec(const std::string& sqlite, const std::string& postgres) const {
        connect()->exec(sqlite, postgres);
    }

private:
    bool m_server = false;
    QTemporaryDir m_dir;
    QString m_file;
    QString m_url;
};

// What the catalogue's test classes share: every test runs once on each engine, on a fresh database
// that m_db is open on.
class EngineTestCase : public QObject {
    Q_OBJECT

protected:
    std::unique_ptr<TestDatabase> m_data;
    AttendanceDatabase* m_db = nullptr;

private slots:
    void initTestCase_data() { TestDatabase::addEngines(); }

    void init() {
        m_data = std::make_unique<TestDatabase>(TestDatabase::currentEngine());
        m_db = new AttendanceDatabase;
        m_data->open(*m_db);
    }

    void cleanup() {
        delete m_db;
        m_db = nullptr;
        m_data.reset();
    }
};
