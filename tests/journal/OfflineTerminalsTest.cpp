#include "Terminals.h"
#include "clock/MainWindowFixture.h"
#include "common/TestSupport.h"
#include "data/AttendanceDatabase.h"
#include "journal/Journal.h"
#include "terminal/BadgeReader.h"
#include "terminal/Banner.h"
#include "terminal/TerminalSettings.h"

#include <QDir>
#include <QHostAddress>
#include <QLabel>
#include <QLocalSocket>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QUrl>
#include <QUrlQuery>
#include <atomic>
#include <map>

namespace {

// Stops or starts the test run's private server, keeping its data (scripts/pg-test-cluster).
bool cluster(const QString& verb) {
    QProcess script;
    script.setProcessChannelMode(QProcess::ForwardedChannels);
    script.start(qEnvironmentVariable("TALLYCLOCK_TEST_CLUSTER_SCRIPT"),
                 {verb, qEnvironmentVariable("TALLYCLOCK_TEST_CLUSTER")});
    return script.waitForFinished(120000) && script.exitStatus() == QProcess::NormalExit &&
           script.exitCode() == 0;
}

// Starts the server again however the test ends.
struct ServerBack {
    bool halted = false;
    ~ServerBack() {
        if (halted)
            cluster(QStringLiteral("resume"));
    }
    bool halt() { return halted = cluster(QStringLiteral("halt")); }
    bool resume() {
        halted = false;
        return cluster(QStringLiteral("resume"));
    }
};

// Starts the server again and waits, up to 20 s, until the window says nothing is waiting.
bool resumeUntilDelivered(ServerBack& server, const QLabel& offline) {
    if (!server.resume())
        return false;
    QElapsedTimer waited;
    waited.start();
    while (!offline.text().isEmpty() && waited.elapsed() < 20000)
        QTest::qWait(100);
    return true;
}

// A network between the terminals and the server that can be cut: it forwards 127.0.0.1:port() to the
// server's Unix socket until cut(), then drops every byte either way and keeps the connections open,
// as a pulled cable does; the server stays up. Connections that lost bytes are reset when it is
// restored. It runs on a thread of its own so that the test may block meanwhile.
class CuttableNetwork {
public:
    explicit CuttableNetwork(const QString& serverSocket) : m_socket(serverSocket) {
        m_thread.start();
        m_context.moveToThread(&m_thread);
        QMetaObject::invokeMethod(
            &m_context,
            [this] {
                auto* listener = new QTcpServer(&m_context);
                listener->listen(QHostAddress::LocalHost);
                m_port = listener->serverPort();
                QObject::connect(listener, &QTcpServer::newConnection, &m_context,
                                 [this, listener] { pair(listener->nextPendingConnection()); });
            },
            Qt::BlockingQueuedConnection);
    }
    ~CuttableNetwork() {
        QMetaObject::invokeMethod(
            &m_context, [this] { qDeleteAll(m_context.children()); }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    quint16 port() const { return m_port; }
    void cut() { m_cut = true; }
    void restore() {
        QMetaObject::invokeMethod(
            &m_context,
            [this] {
                m_cut = false;
                for (QTcpSocket* broken : std::exchange(m_broken, {}))
                    broken->abort();
            },
            Qt::BlockingQueuedConnection);
    }

private:
    void pair(QTcpSocket* client) {
        auto* server = new QLocalSocket(client);
        client->setParent(&m_context);
        const auto forward = [this, client](QIODevice* from, QIODevice* to) {
            const QByteArray bytes = from->readAll();
            if (m_cut || m_broken.contains(client)) {
                if (!m_broken.contains(client))
                    m_broken.push_back(client);
                return;
            }
            to->write(bytes);
        };
        QObject::connect(client, &QTcpSocket::readyRead, client, [=] { forward(client, server); });
        QObject::connect(server, &QLocalSocket::readyRead, client, [=] { forward(server, client); });
        QObject::connect(server, &QLocalSocket::disconnected, client, [this, client] {
            if (!m_cut)
                client->disconnectFromHost();
        });
        QObject::connect(client, &QTcpSocket::disconnected, client, [this, client] {
            m_broken.removeAll(client);
            client->deleteLater();
        });
        server->connectToServer(m_socket);
    }

    QString m_socket;
    QThread m_thread;
    QObject m_context;
    quint16 m_port = 0;
    std::atomic<bool> m_cut{false};
    QList<QTcpSocket*> m_broken;
};

// The address of `url`'s database through the network on `port`.
QString throughNetwork(const QString& url, quint16 port) {
    QUrl through(url);
    QUrlQuery query(through);
    query.removeAllQueryItems(QStringLiteral("host"));
    query.removeAllQueryItems(QStringLiteral("port"));
    through.setQuery(query);
    through.setHost(QStringLiteral("127.0.0.1"));
    through.setPort(port);
    return through.toString();
}

// The server's Unix socket named by `url`.
QString serverSocketOf(const QString& url) {
    const QUrlQuery query{QUrl(url)};
    return QDir(query.queryItemValue(QStringLiteral("host")))
        .filePath(QStringLiteral(".s.PGSQL.") + query.queryItemValue(QStringLiteral("port")));
}

// The terminals' workplace on the server: persons P0 ... with password "pw", a data folder, no
// settings of the user's, and a journal folder per terminal.
class TerminalsWorkplace {
public:
    explicit TerminalsWorkplace(int persons) {
        TestSupport::copyTemplateTo(m_folder.database());
        m_url = TestSupport::freshServerDatabase();
        AttendanceDatabase db;
        db.openServer(m_url);
        for (int p = 0; p < persons; ++p)
            db.insertPerson({QStringLiteral("P%1").arg(p),
                             QStringLiteral("pw"),
                             QStringLiteral("Person %1").arg(p),
                             {},
                             {},
                             false});
    }
    // The terminals' settings; they reach the server at `url` (by default the server's own address).
    QProcessEnvironment environment(const QString& url = QString()) const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TALLYCLOCK_COMMON_APPDATA"), m_folder.path());
        environment.insert(QStringLiteral("TALLYCLOCK_DATABASE_URL"), url.isEmpty() ? m_url : url);
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_homes.filePath(QStringLiteral("config")));
        return environment;
    }
    QString homes() const { return m_homes.path(); }
    QString url() const { return m_url; }
    int waitingIn(int terminal) const {
        return Journal(m_homes.filePath(QStringLiteral("terminal-%1/tallyclock-suite/journal").arg(terminal)))
            .waitingCount();
    }

private:
    TestSupport::CommonFolder m_folder;
    QTemporaryDir m_homes;
    QString m_url;
};

// Every acknowledged punch (written, or saved on the terminal) against the server's records: an
// "in" left exactly one record with its time, an "out" saved on the terminal closed a record of its
// person at its time or was kept to correct (one written at once may find nothing open and change
// nothing, as ever); each terminal's records came in the order it punched.
QStringList faultsIn(const std::vector<Terminals::Punch>& punches, AttendanceDatabase& db) {
    std::map<QString, std::vector<std::pair<QString, qint64>>> ins; // person -> time in, record
    std::map<QString, std::vector<QString>> outs;                   // person -> times out
    for (RecordSet rs = db.allLogins(); !rs.eof(); rs.moveNext()) {
        const QString person = rs.text(QStringLiteral("EmployeeNo"));
        if (!rs.text(QStringLiteral("TimeIn")).isEmpty())
            ins[person].emplace_back(rs.text(QStringLiteral("TimeIn")),
                                     rs.value(QStringLiteral("RecordId")).toLongLong());
        if (!rs.text(QStringLiteral("TimeOut")).isEmpty())
            outs[person].push_back(rs.text(QStringLiteral("TimeOut")));
    }
    QStringList faults;
    std::map<int, qint64> lastRecordOf; // terminal -> record of its latest acknowledged "in"
    for (const Terminals::Punch& punch : punches) {
        if (punch.failed())
            faults << QStringLiteral("terminal %1 showed an error box: %2")
                          .arg(punch.terminal)
                          .arg(punch.outcome);
        if (!punch.written() && !punch.savedHere())
            continue;
        if (punch.in) {
            int found = 0;
            qint64 record = 0;
            for (const auto& [time, id] : ins[punch.person])
                if (time == punch.time) {
                    ++found;
                    record = id;
                }
            if (found != 1)
                faults << QStringLiteral("the punch-in of %1 at %2 left %3 records")
                              .arg(punch.person, punch.time)
                              .arg(found);
            else if (record < lastRecordOf[punch.terminal])
                faults << QStringLiteral(
                              "terminal %1's punch-in of %2 at %3 was stored before an earlier one")
                              .arg(punch.terminal)
                              .arg(punch.person, punch.time);
            lastRecordOf[punch.terminal] = std::max(lastRecordOf[punch.terminal], record);
        } else if (punch.savedHere() &&
                   !std::count(outs[punch.person].begin(), outs[punch.person].end(), punch.time)) {
            faults << QStringLiteral("the punch-out of %1 at %2 left no trace").arg(punch.person, punch.time);
        }
    }
    return faults;
}

} // namespace

class OfflineTerminalsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("TALLYCLOCK_TEST_CLUSTER"))
            QSKIP("no private test server to stop and start");
    }

    // Terminals punching at random while the server goes away and comes back: nothing acknowledged
    // is lost or doubled, and once the server is back the journals empty within a few seconds.
    void serverAwayWhilePunching_data() {
        QTest::addColumn<int>("terminals");
        QTest::addColumn<int>("punchesEach");
        QTest::addColumn<int>("haltAfter");
        QTest::addColumn<int>("awayMs");
        QTest::addColumn<bool>("networkCut"); // the server stays up, the network stops forwarding
        QTest::newRow("two terminals, twenty punches each while away") << 2 << 20 << 0 << 4000 << false;
        QTest::newRow("three terminals, the server stopped midway") << 3 << 40 << 30 << 3000 << false;
        QTest::newRow("three terminals, the network cut midway") << 3 << 40 << 30 << 8000 << true;
    }

    void serverAwayWhilePunching() {
        QFETCH(int, terminals);
        QFETCH(int, punchesEach);
        QFETCH(int, haltAfter);
        QFETCH(int, awayMs);
        QFETCH(bool, networkCut);
        const int persons = 4;
        TerminalsWorkplace workplace(persons);
        CuttableNetwork network(serverSocketOf(workplace.url()));
        Terminals run(
            {terminals, persons, punchesEach, 0, true, 150, workplace.homes()},
            workplace.environment(networkCut ? throughNetwork(workplace.url(), network.port()) : QString()));
        ServerBack server;
        QVERIFY2(run.start(), qPrintable(run.error()));
        QVERIFY(run.waitForPunches(haltAfter, 60000));
        if (networkCut) {
            network.cut();
            QThread::msleep(static_cast<unsigned long>(awayMs));
            network.restore();
        } else {
            QVERIFY(server.halt());
            QThread::msleep(static_cast<unsigned long>(awayMs));
            QVERIFY(server.resume());
        }
        QVERIFY2(run.waitForEnd(120000), qPrintable(run.error()));
        QCOMPARE(static_cast<int>(run.punches().size()), terminals * punchesEach);
        int savedHere = 0;
        for (const auto& punch : run.punches())
            savedHere += punch.savedHere() ? 1 : 0;
        QVERIFY2(savedHere > 0, "no punch was taken while the server was away");
        for (int t = 0; t < terminals; ++t)
            QCOMPARE(workplace.waitingIn(t), 0);
        AttendanceDatabase db;
        db.openServer(workplace.url());
        const QStringList faults = faultsIn(run.punches(), db);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.mid(0, 10).join(QLatin1Char('\n'))));
    }

    // One window while the server is away: the punch is saved on the terminal and the person told
    // so (in terminal mode on the banner, a badge too), the window counts what waits, the
    // administrator windows stay shut; once the server is back the punch arrives by itself.
    void windowWhileAway_data() {
        QTest::addColumn<bool>("kiosk");
        QTest::addColumn<bool>("badge");
        QTest::newRow("window") << false << false;
        QTest::newRow("terminal mode, number and password") << true << false;
        QTest::newRow("terminal mode, badge") << true << true;
    }

    void windowWhileAway() {
        QFETCH(bool, kiosk);
        QFETCH(bool, badge);
        const QString url = TestSupport::freshServerDatabase();
        {
            AttendanceDatabase db;
            db.openServer(url);
            db.insertPerson({QStringLiteral("7"), QStringLiteral("pw"), QStringLiteral("Ann"), {}, {}, true});
            db.setBadge(QStringLiteral("7"), QStringLiteral("4021"));
        }
        qputenv("TALLYCLOCK_DATABASE_URL", url.toUtf8());
        Terminal::Settings terminal;
        terminal.kiosk = kiosk;
        Terminal::setCurrent(terminal);
        MainWindowFixture f;
        MainWindow& window = f.load();
        ServerBack server;
        QVERIFY(server.halt());
        if (badge)
            emit window.findChild<BadgeReader*>()->badgeRead(QStringLiteral("4021"));
        else
            f.punch(QStringLiteral("7"), QStringLiteral("pw"));
        const QString bannerSaid = kiosk ? window.findChild<Banner*>()->message() : QString();
        window.openPersons();
        const auto* offline = control<QLabel>(window, "offlineLabel");
        const QString shown = offline->text();
        QVERIFY(resumeUntilDelivered(server, *offline));
        const QString after = offline->text();
        AttendanceDatabase db;
        db.openServer(url);
        const RecordSet stored = db.allLogins();
        qunsetenv("TALLYCLOCK_DATABASE_URL");
        Terminal::setCurrent({});
        std::vector<QString> boxes{OfflinePunching::kNeedsServer};
        if (!kiosk)
            boxes.insert(boxes.begin(), OfflinePunching::kSavedHere);
        QCOMPARE(f.boxes.texts(), boxes);
        QVERIFY2(bannerSaid.contains(kiosk ? OfflinePunching::kSavedHere : QString()),
                 qPrintable(bannerSaid));
        QCOMPARE(shown, QStringLiteral("Offline: 1 punches waiting"));
        QCOMPARE(after, QString());
        QCOMPARE(stored.rowCount(), 1);
        QCOMPARE(stored.text(QStringLiteral("TimeIn")), control<QLabel>(window, "timeLabel")->text());
    }

    // A terminal started while its server is away shows no box: it punches into the journal against
    // the local copy it made when it was last online, and delivers once the server is back.
    void windowStartedWhileAway() {
        const QString url = TestSupport::freshServerDatabase();
        {
            AttendanceDatabase db;
            db.openServer(url);
            db.insertPerson(
                {QStringLiteral("7"), QStringLiteral("pw"), QStringLiteral("Ann"), {}, {}, false});
        }
        qputenv("TALLYCLOCK_DATABASE_URL", url.toUtf8());
        {
            MainWindowFixture online;
            online.load();
        }
        ServerBack server;
        QVERIFY(server.halt());
        MainWindowFixture f;
        MainWindow& window = f.load();
        const std::vector<QString> atStart = f.boxes.texts();
        f.punch(QStringLiteral("7"), QStringLiteral("pw"));
        const auto* offline = control<QLabel>(window, "offlineLabel");
        const QString shown = offline->text();
        QVERIFY(resumeUntilDelivered(server, *offline));
        AttendanceDatabase db;
        db.openServer(url);
        const RecordSet stored = db.allLogins();
        qunsetenv("TALLYCLOCK_DATABASE_URL");
        QCOMPARE(atStart, std::vector<QString>{});
        QCOMPARE(f.boxes.texts(), std::vector<QString>{OfflinePunching::kSavedHere});
        QCOMPARE(shown, QStringLiteral("Offline: 1 punches waiting"));
        QCOMPARE(offline->text(), QString());
        QCOMPARE(stored.rowCount(), 1);
    }

    // A terminal killed while the server is away loses nothing: started again, it delivers its journal.
    void killedWhileOffline() {
        const int persons = 3;
        TerminalsWorkplace workplace(persons);
        ServerBack server;
        std::vector<Terminals::Punch> before;
        {
            Terminals run({1, persons, 200, 0, true, 100, workplace.homes()}, workplace.environment());
            QVERIFY2(run.start(), qPrintable(run.error()));
            QVERIFY(server.halt());
            QVERIFY(run.waitForPunches(8, 60000));
            run.killAll();
            before = run.punches();
        }
        QVERIFY(workplace.waitingIn(0) > 0);
        QVERIFY(server.resume());
        Terminals again({1, persons, 1, 0, false, 0, workplace.homes()}, workplace.environment());
        QVERIFY2(again.start(), qPrintable(again.error()));
        QVERIFY2(again.waitForEnd(60000), qPrintable(again.error()));
        QCOMPARE(workplace.waitingIn(0), 0);
        AttendanceDatabase db;
        db.openServer(workplace.url());
        const QStringList faults = faultsIn(before, db);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.mid(0, 10).join(QLatin1Char('\n'))));
    }
};

TALLYCLOCK_TEST(OfflineTerminalsTest)
#include "OfflineTerminalsTest.moc"
