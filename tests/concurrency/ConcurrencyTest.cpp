#include "Terminals.h"
#include "common/TestSupport.h"
#include "data/AttendanceDatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <SQLiteCpp/Database.h>
#include <map>
#include <set>

namespace {

struct Record {
    QString person;
    QString timeIn;
    QString timeOut;
    bool open = false;
};

// What the database holds after the terminals ran, against what they acknowledged: no person held
// two open records, every acknowledged punch-in left exactly one record, and every stored time-in
// and time-out was written by an acknowledged punch of that person. Times in `inDoubt` belong to
// punches that may or may not have been written (failed with the error box, or in flight when a
// terminal was killed): their records may be there or not, but whole.
QStringList faultsIn(const std::vector<Terminals::Punch>& punches, const std::vector<Record>& records,
                     const std::set<QString>& inDoubt) {
    QStringList faults;
    std::map<QString, QString> writtenIns;  // time -> person
    std::map<QString, QString> writtenOuts; // time -> person
    for (const auto& punch : punches) {
        if (punch.written())
            (punch.in ? writtenIns : writtenOuts)[punch.time] = punch.person;
    }
    std::map<QString, int> recordsByTimeIn;
    std::map<QString, int> openByPerson;
    std::map<QString, int> closedByTimeOut;
    const auto writtenBy = [&](const std::map<QString, QString>& written, const QString& time,
                               const QString& person) {
        const auto found = written.find(time);
        return found == written.end() ? inDoubt.count(time) > 0 : found->second == person;
    };
    for (const Record& record : records) {
        ++recordsByTimeIn[record.timeIn];
        if (record.open && ++openByPerson[record.person] == 2)
            faults << QStringLiteral("%1 has two open records").arg(record.person);
        // A punch-out closes every open record of its person: two closed by one punch were open at once.
        if (!record.open && ++closedByTimeOut[record.timeOut] == 2)
            faults << QStringLiteral("%1 had two open records, both closed at %2")
                          .arg(record.person, record.timeOut);
        if (!writtenBy(writtenIns, record.timeIn, record.person))
            faults << QStringLiteral(
                          "the record of %1 from %2 comes from no acknowledged punch-in of that person")
                          .arg(record.person, record.timeIn);
        if (!record.open && !writtenBy(writtenOuts, record.timeOut, record.person))
            faults << QStringLiteral(
                          "the record of %1 closed at %2 was closed by no acknowledged punch-out of that "
                          "person")
                          .arg(record.person, record.timeOut);
    }
    for (const auto& [time, person] : writtenIns) {
        if (recordsByTimeIn[time] != 1)
            faults << QStringLiteral("the punch-in of %1 at %2 left %3 records")
                          .arg(person, time)
                          .arg(recordsByTimeIn[time]);
    }
    return faults;
}

// The database the terminals share on one engine, prepared with the persons they punch: a file of
// its own, or a database of its own on the test run's private server.
class SharedDatabase {
public:
    SharedDatabase(const QString& engine, int persons) {
        // The file is there for the server as well: terminals starting at once would race to copy
        // the template into place, which is start-up's business and not what this test is about.
        TestSupport::copyTemplateTo(m_folder.database());
        m_location =
            engine == QLatin1String("sqlite") ? m_folder.database() : TestSupport::freshServerDatabase();
        AttendanceDatabase db;
        open(db);
        for (int p = 0; p < persons; ++p)
            db.insertPerson({QStringLiteral("P%1").arg(p), QStringLiteral("pw"),
                             QStringLiteral("Person %1").arg(p), QStringLiteral("Works"),
                             QStringLiteral("Clerk"), false});
    }

    QProcessEnvironment environment() const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TALLYCLOCK_COMMON_APPDATA"), m_folder.path());
        if (m_location != m_folder.database())
            environment.insert(QStringLiteral("TALLYCLOCK_DATABASE_URL"), m_location);
        // These terminals punch straight on the server, as without a journal: what is tested here is
        // the punch's own transaction (tests/journal covers the journal's way).
        QDir(m_settings.path()).mkpath(QStringLiteral("Quillmark"));
        QFile settings(m_settings.filePath(QStringLiteral("Quillmark/Quillmark.ini")));
        if (settings.open(QIODevice::WriteOnly))
            settings.write("[Tallyclock%20Suite]\nOfflinePunching=False\n");
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_settings.path());
        return environment;
    }

    QString file() const { return m_folder.database(); }

    std::vector<Record> records() const {
        AttendanceDatabase db;
        open(db);
        std::vector<Record> records;
        for (RecordSet rs = db.allLogins(); !rs.eof(); rs.moveNext())
            records.push_back({rs.text(QStringLiteral("EmployeeNo")), rs.text(QStringLiteral("TimeIn")),
                               rs.text(QStringLiteral("TimeOut")), rs.isNull(QStringLiteral("TimeOut"))});
        return records;
    }

private:
    void open(AttendanceDatabase& db) const {
        if (m_location == m_folder.database())
            db.open(m_location);
        else
            db.openServer(m_location);
    }

    TestSupport::CommonFolder m_folder;
    QTemporaryDir m_settings;
    QString m_location;
};

// Runs the private server's script (scripts/pg-test-cluster) on the test run's cluster.
bool clusterScript(const QStringList& arguments) {
    QProcess script;
    script.setProcessChannelMode(QProcess::ForwardedChannels);
    script.start(qEnvironmentVariable("TALLYCLOCK_TEST_CLUSTER_SCRIPT"),
                 QStringList(arguments.first())
                     << qEnvironmentVariable("TALLYCLOCK_TEST_CLUSTER") << arguments.mid(1));
    return script.waitForFinished(120000) && script.exitStatus() == QProcess::NormalExit &&
           script.exitCode() == 0;
}

QString joined(const QStringList& faults) {
    return faults.mid(0, 10).join(QLatin1Char('\n')) +
           (faults.size() > 10 ? QStringLiteral("\n... %1 in all").arg(faults.size()) : QString());
}

} // namespace

class ConcurrencyTest : public QObject {
    Q_OBJECT

private slots:
    // Terminals punching the same few persons in and out at random: each punch is decided and
    // written as one, so no person ever holds two open records and no acknowledged punch is lost.
    void terminalsPunchingTheSamePersons_data() {
        QTest::addColumn<QString>("engine");
        QTest::newRow("sqlite") << QStringLiteral("sqlite");
        QTest::newRow("postgresql") << QStringLiteral("postgresql");
    }

    void terminalsPunchingTheSamePersons() {
        QFETCH(QString, engine);
        const int persons = 3;
        SharedDatabase database(engine, persons);
        Terminals terminals({4, persons, 60, 0, true}, database.environment());
        QVERIFY2(terminals.start(), qPrintable(terminals.error()));
        QVERIFY2(terminals.waitForEnd(240000), qPrintable(terminals.error()));

        QCOMPARE(static_cast<int>(terminals.punches().size()), 4 * 60);
        int written = 0;
        for (const auto& punch : terminals.punches()) {
            QVERIFY2(!punch.failed(), qPrintable(punch.outcome));
            written += punch.outcome == QLatin1String("written") ? 1 : 0;
        }
        QVERIFY(written > 0);
        const QStringList faults = faultsIn(terminals.punches(), database.records(), {});
        QVERIFY2(faults.isEmpty(), qPrintable(joined(faults)));
    }

    // Terminals killed in the middle of their punches leave a sound file that holds every punch
    // they acknowledged; the punch in flight is there whole or not at all.
    void killedWhilePunching() {
        const int persons = 4;
        SharedDatabase database(QStringLiteral("sqlite"), persons);
        Terminals terminals({3, persons, 400, 0, true}, database.environment());
        QVERIFY2(terminals.start(), qPrintable(terminals.error()));
        QVERIFY(terminals.waitForPunches(90, 120000));
        terminals.killAll();
        QVERIFY(terminals.punches().size() < 3 * 400);

        {
            SQLite::Database file(database.file().toStdString(), SQLite::OPEN_READWRITE);
            QCOMPARE(file.execAndGet("PRAGMA integrity_check").getString(), std::string("ok"));
        }
        // This test is about what a kill leaves behind. A punch that failed with the box (the first
        // test holds terminals to none; this longer run can keep one waiting on SQLite's lock past its
        // busy timeout) is in doubt like the one in flight.
        std::set<QString> inDoubt;
        for (int t = 0; t < 3; ++t)
            inDoubt.insert(terminals.timeOfPunchInFlight(t));
        int failed = 0;
        for (const auto& punch : terminals.punches()) {
            if (punch.failed()) {
                inDoubt.insert(punch.time);
                ++failed;
            }
        }
        if (failed)
            qWarning("%d punches failed with the error box before the kill", failed);
        const QStringList faults = faultsIn(terminals.punches(), database.records(), inDoubt);
        QVERIFY2(faults.isEmpty(), qPrintable(joined(faults)));
    }

    // The server restarts while terminals punch: the punches around it fail with the error box or
    // are written whole, and once the server is back the terminals punch again.
    void serverRestartWhilePunching() {
        const int persons = 4;
        SharedDatabase database(QStringLiteral("postgresql"), persons);
        Terminals terminals({3, persons, 300, 0, true}, database.environment());
        QVERIFY2(terminals.start(), qPrintable(terminals.error()));
        QVERIFY(terminals.waitForPunches(60, 120000));
        QVERIFY(clusterScript({QStringLiteral("restart"), QStringLiteral("fast")}));
        QVERIFY2(terminals.waitForEnd(240000), qPrintable(terminals.error()));
        QCOMPARE(static_cast<int>(terminals.punches().size()), 3 * 300);

        // Each terminal fails in one stretch, while the server is away, and punches again after it.
        std::set<QString> inDoubt;
        std::vector<bool> lastFailed(3, false);
        std::vector<int> failedStretches(3, 0);
        for (const auto& punch : terminals.punches()) {
            const auto t = static_cast<size_t>(punch.terminal);
            if (punch.failed()) {
                inDoubt.insert(punch.time);
                failedStretches[t] += lastFailed[t] ? 0 : 1;
            }
            lastFailed[t] = punch.failed();
        }
        for (size_t t = 0; t < 3; ++t) {
            QVERIFY2(!lastFailed[t], "a terminal could not punch again after the restart");
            QVERIFY2(failedStretches[t] <= 1,
                     "a terminal failed again after it had punched past the restart");
        }
        qInfo("%zu of %zu punches failed with the error box around the restart", inDoubt.size(),
              terminals.punches().size());
        const QStringList faults = faultsIn(terminals.punches(), database.records(), inDoubt);
        QVERIFY2(faults.isEmpty(), qPrintable(joined(faults)));
    }
};

TALLYCLOCK_TEST(ConcurrencyTest)
#include "ConcurrencyTest.moc"
