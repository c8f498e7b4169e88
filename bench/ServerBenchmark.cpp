#include "ServerBenchmark.h"

#include "JournalBenchmark.h"
#include "data/SettingsStore.h"

#include "HoursBenchmark.h"
#include "Terminals.h"
#include "cli/CommandLine.h"
#include "core/Globals.h"
#include "core/MainWindow.h"
#include "data/AttendanceDatabase.h"
#include "journal/TerminalJournal.h"
#include "platform/ListView.h"
#include "platform/SystemClock.h"
#include "reports/ReportsWindow.h"

#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTextStream>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A port nobody listens on right now, for the server's loopback address.
int freePort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 55432;
    if (s >= 0 && ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    if (s >= 0)
        ::close(s);
    return port;
}

// The private cluster of the tests, here with TCP on loopback as well; stopped when it goes.
class PrivateServer {
public:
    explicit PrivateServer(const QString& folder) : m_folder(folder), m_port(freePort()) {
        m_running =
            script({QStringLiteral("start"), m_folder, QStringLiteral("--tcp"), QString::number(m_port)});
    }
    ~PrivateServer() { script({QStringLiteral("stop"), m_folder}); }
    PrivateServer(const PrivateServer&) = delete;
    PrivateServer& operator=(const PrivateServer&) = delete;

    bool running() const { return m_running; }
    QString socketUrl() const {
        return QStringLiteral("postgresql:///tally_test?host=%1&port=%2&user=postgres")
            .arg(m_folder)
            .arg(m_port);
    }
    QString tcpUrl() const {
        return QStringLiteral("postgresql://postgres@127.0.0.1:%1/tally_test").arg(m_port);
    }

private:
    static bool script(const QStringList& arguments) {
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(QStringLiteral(TALLYCLOCK_SCRIPTS_DIR "/pg-test-cluster"), arguments);
        return process.waitForFinished(180000) && process.exitStatus() == QProcess::NormalExit &&
               process.exitCode() == 0;
    }

    QString m_folder;
    int m_port;
    bool m_running = false;
};

// Punches the person in and out through the main window on the engine `url` names; click to list
// refreshed, in milliseconds.
std::vector<double> punchRoundTrips(const QString& url, const QString& number, const QString& password) {
    qputenv("TALLYCLOCK_DATABASE_URL", url.toUtf8());
    std::vector<double> samples;
    {
        MainWindow window;
        window.start();
        for (int i = 0; i < 40; ++i) {
            (i % 2 == 0 ? window.findChild<QRadioButton*>(QStringLiteral("timeInOption"))
                        : window.findChild<QRadioButton*>(QStringLiteral("timeOutOption")))
                ->click();
            window.findChild<QLineEdit*>(QStringLiteral("numberBox"))->setText(number);
            window.findChild<QLineEdit*>(QStringLiteral("passwordBox"))->setText(password);
            samples.push_back(timeMs([&] { window.punch(); }));
        }
        window.releaseDatabase();
    }
    qunsetenv("TALLYCLOCK_DATABASE_URL");
    return samples;
}

// The same punches without the password's verification (Argon2id, about 20 ms by design): the
// statements of the punch alone (latest record, the write, today's list), so that the server's own
// round trip stays measurable beside the full punch. In turn straight on the server and through a
// terminal's journal (written and synced first, removed after the server's commit): the hash's
// spread, larger than the journal's cost, does not hide what the journal adds.
struct Statements {
    std::vector<double> straight;
    std::vector<double> journalled;
    int savedHere = 0; // journal punches the server did not take at once: not a round trip
};
Statements punchStatements(const QString& url, const QString& number) {
    qputenv("TALLYCLOCK_DATABASE_URL", url.toUtf8());
    Statements samples;
    {
        MainWindow window;
        window.start();
        AttendanceDatabase& db = Globals::connection();
        QTemporaryDir folder;
        TerminalJournal journal(db, url, folder.filePath(QStringLiteral("journal")));
        for (int i = 0; i < 80; ++i) {
            const PunchKind kind = i % 2 == 0 ? PunchKind::In : PunchKind::Out;
            const bool throughJournal = i % 4 >= 2;
            (throughJournal ? samples.journalled : samples.straight).push_back(timeMs([&] {
                db.latestRecordOfPerson(number);
                if (throughJournal)
                    samples.savedHere +=
                        journal.punch(kind, number, window.shownDate(), window.shownTimeText()).savedHere ? 1
                                                                                                          : 0;
                else
                    db.punch(kind, number, window.shownDate(), window.shownTimeText());
                window.listLogins();
            }));
        }
        window.releaseDatabase();
    }
    qunsetenv("TALLYCLOCK_DATABASE_URL");
    return samples;
}

// The persons P0 ... the terminals and the journal punch, with password "pw".
void addTerminalPersons(AttendanceDatabase& db, int persons) {
    for (int p = 0; p < persons; ++p)
        db.insertPerson({QStringLiteral("P%1").arg(p), QStringLiteral("pw"),
                         QStringLiteral("Terminal Person %1").arg(p), QStringLiteral("Works"),
                         QStringLiteral("Clerk"), false});
}

QString perSecond(double value) {
    return QString::number(value, 'f', 0) + QStringLiteral(" punches/s");
}

} // namespace

namespace {

// Runs the terminals on the persons P0 ... of `db` and adds the figures of the run: throughput,
// median and 99th percentile of a punch, and what must be zero (lost punches, two open records,
// error boxes).
void punchingTerminals(std::vector<Row>& rows, AttendanceDatabase& db, const QProcessEnvironment& environment,
                       const Terminals::Run& setup, const QString& run) {
    // Records with a time in: each is one punch-in, written at once or delivered from a terminal's
    // journal (a refused "out" kept to correct has none).
    const auto storedRecords = [&] {
        int stored = 0;
        for (int p = 0; p < setup.persons; ++p)
            for (RecordSet rs = db.loginsOfPerson(QStringLiteral("P%1").arg(p)); !rs.eof(); rs.moveNext())
                stored += rs.text(QStringLiteral("TimeIn")).isEmpty() ? 0 : 1;
        return stored;
    };
    const int storedBefore = storedRecords();
    Terminals terminals(setup, environment);
    if (!terminals.start() || !terminals.waitForEnd(static_cast<int>(setup.seconds * 1000) + 120000)) {
        rows.push_back({run, QStringLiteral("did not run"), terminals.error(), false});
        return;
    }
    std::vector<double> latencies;
    int writtenIns = 0;
    int errors = 0;
    for (const auto& punch : terminals.punches()) {
        latencies.push_back(punch.milliseconds);
        // Saved on the terminal while the server did not answer in time: delivered before it ended.
        writtenIns += (punch.written() || punch.savedHere()) && punch.in ? 1 : 0;
        errors += punch.failed() ? 1 : 0;
    }
    int twiceOpen = 0;
    for (int p = 0; p < setup.persons; ++p) {
        int open = 0;
        for (RecordSet rs = db.loginsOfPerson(QStringLiteral("P%1").arg(p)); !rs.eof(); rs.moveNext())
            open += rs.isNull(QStringLiteral("TimeOut")) ? 1 : 0;
        twiceOpen += open > 1 ? 1 : 0;
    }
    const int lost = writtenIns - (storedRecords() - storedBefore);
    rows.push_back({run + QStringLiteral(": throughput (%1 punches, %2 acknowledged punch-ins)")
                              .arg(terminals.punches().size())
                              .arg(writtenIns),
                    perSecond(static_cast<double>(terminals.punches().size()) / setup.seconds),
                    QStringLiteral("reference"), true});
    rows.push_back(
        {run + QStringLiteral(": punch, median"), ms(median(latencies)), QStringLiteral("reference"), true});
    rows.push_back({run + QStringLiteral(": punch, 99th percentile"), ms(percentile(latencies, 0.99)),
                    QStringLiteral("<= 25 ms"), percentile(latencies, 0.99) <= 25.0});
    rows.push_back({run + QStringLiteral(": lost punches, persons with two open records, error boxes"),
                    QStringLiteral("%1, %2, %3").arg(lost).arg(twiceOpen).arg(errors),
                    QStringLiteral("0, 0, 0"), lost == 0 && twiceOpen == 0 && errors == 0});
}

void measureOn(const PrivateServer& server, std::vector<Row>& rows, const ServerBenchSetup& setup) {
    // The workplace onto the server with the command line's copy.
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    int copied = 1;
    const double copyMs = timeMs([&] {
        copied = CommandLine::run(
            {QStringLiteral("copy-to"), server.socketUrl(), QStringLiteral("--from"), setup.workplaceFile},
            outStream, errStream);
    });
    rows.push_back({QStringLiteral("copy-to of the workplace onto the server (read back and compared)"),
                    copied == 0 ? ms(copyMs) : QStringLiteral("failed: ") + err.trimmed(),
                    QStringLiteral("reference"), copied == 0});
    if (copied != 0)
        return;

    const std::vector<double> socketPunches =
        punchRoundTrips(server.socketUrl(), setup.busiest, setup.busiestPassword);
    const std::vector<double> tcpPunches =
        punchRoundTrips(server.tcpUrl(), setup.busiest, setup.busiestPassword);
    rows.push_back({QStringLiteral("PostgreSQL punch in or out, Unix socket, click to list refreshed"),
                    ms(median(socketPunches)), QStringLiteral("<= 5 ms"), median(socketPunches) <= 5.0});
    rows.push_back({QStringLiteral("PostgreSQL punch in or out, TCP on loopback"), ms(median(tcpPunches)),
                    QStringLiteral("reference"), true});
    // The same punches straight on the server, without the terminal's journal in front.
    SettingsStore::saveFlag(QStringLiteral("OfflinePunching"), false);
    const std::vector<double> withoutJournal =
        punchRoundTrips(server.socketUrl(), setup.busiest, setup.busiestPassword);
    SettingsStore::saveFlag(QStringLiteral("OfflinePunching"), true);
    rows.push_back(
        {QStringLiteral("PostgreSQL punch with the journal against without it (Unix socket)"),
         QStringLiteral("%1 against %2").arg(ms(median(socketPunches)), ms(median(withoutJournal))),
         QStringLiteral("reference (the hash's spread)"), true});
    const Statements statements = punchStatements(server.socketUrl(), setup.busiest);
    rows.push_back({QStringLiteral("PostgreSQL punch without the password's verification, Unix socket"),
                    ms(median(statements.straight)), QStringLiteral("<= 5 ms"),
                    median(statements.straight) <= 5.0});
    const double journalAdds = median(statements.journalled) - median(statements.straight);
    rows.push_back({QStringLiteral("the same through the terminal's journal, synced, in turn with it"),
                    QStringLiteral("%1 (adds %2; %3 of 40 kept on the terminal)")
                        .arg(ms(median(statements.journalled)), ms(journalAdds))
                        .arg(statements.savedHere),
                    QStringLiteral("journal adds <= 5 ms"), journalAdds <= 5.0 && statements.savedHere == 0});

    // View All on the server against psql reading the same rows.
    qputenv("TALLYCLOCK_DATABASE_URL", server.socketUrl().toUtf8());
    {
        MainWindow window;
        window.start();
        ReportsWindow reports(&window);
        reports.start();
        std::vector<double> viewAll;
        for (int i = 0; i < 3; ++i) {
            reports.clearResults();
            QCoreApplication::processEvents();
            viewAll.push_back(timeMs([&] { reports.viewAll(); }));
            QCoreApplication::processEvents();
        }
        const int listed = reports.findChild<ListView*>(QStringLiteral("resultsList"))->rowCount();
        reports.clearResults();
        // psql prints every row, one line each, as the list shows them; its count makes sure it read them.
        const QString psql =
            QStringLiteral("psql -X -A -t -d '%1' -c 'select * from \"qryLogins\"'").arg(server.socketUrl());
        const double psqlRows = toolMs(psql + QStringLiteral(" | wc -l > '%1/psql-rows'").arg(setup.workDir));
        QFile counted(setup.workDir + QStringLiteral("/psql-rows"));
        if (!counted.open(QIODevice::ReadOnly) || counted.readAll().trimmed().toInt() != listed ||
            psqlRows <= 0)
            throw std::runtime_error("psql did not read the rows the list shows");
        std::vector<double> tool;
        for (int i = 0; i < 3; ++i)
            tool.push_back(toolMs(psql + QStringLiteral(" > /dev/null")));
        rows.push_back({QStringLiteral("PostgreSQL View All (%1 rows), list filled").arg(listed),
                        ms(median(viewAll)),
                        QStringLiteral("<= 2.5 x psql tool (%1)").arg(ms(2.5 * median(tool))),
                        median(viewAll) <= 2.5 * median(tool)});
        rows.push_back(hoursWindowRow(&reports, QStringLiteral("PostgreSQL "), QDate::currentDate()));
        rows.push_back(hoursCommandRow(QStringLiteral("PostgreSQL "), QDate::currentDate().year() - 1));
        window.releaseDatabase();
    }

    // Twenty terminals punching fifty persons of their own at once, over TCP as terminals on other
    // computers would, for a bounded time.
    const int persons = 50;
    AttendanceDatabase db;
    db.openServer(server.socketUrl());
    addTerminalPersons(db, persons);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TALLYCLOCK_DATABASE_URL"), server.tcpUrl());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    qunsetenv("TALLYCLOCK_DATABASE_URL");
    // As fast as the terminals can click, then as people come to the clock at a busy shift change:
    // each terminal a punch about every second, twenty punches a second in all.
    punchingTerminals(rows, db, environment, {20, persons, 0, 10.0, false, 0},
                      QStringLiteral("20 terminals back to back for 10 s over TCP"));
    punchingTerminals(rows, db, environment, {20, persons, 0, 20.0, false, 1000},
                      QStringLiteral("20 terminals, a punch a second each, for 20 s over TCP"));
    measureJournalDelivery(rows, server.socketUrl(), setup.workDir);
}

} // namespace

namespace {
// Runs `measure` on a private cluster, stopped on every way out of here; a failure is a row.
void onPrivateServer(std::vector<Row>& rows, const std::function<void(const PrivateServer&)>& measure) {
    QTemporaryDir folder(QStringLiteral("/tmp/tallyclock-bench-XXXXXX"));
    PrivateServer server(folder.path());
    if (!server.running()) {
        rows.push_back({QStringLiteral("PostgreSQL"), QStringLiteral("not run"),
                        QStringLiteral("the private cluster did not start"), false});
        return;
    }
    try {
        measure(server);
    } catch (const std::exception& e) {
        rows.push_back(
            {QStringLiteral("PostgreSQL"), QStringLiteral("failed"), QString::fromUtf8(e.what()), false});
    }
}
} // namespace

void measureServer(std::vector<Row>& rows, const ServerBenchSetup& setup) {
    onPrivateServer(rows, [&](const PrivateServer& server) { measureOn(server, rows, setup); });
    qunsetenv("TALLYCLOCK_DATABASE_URL");
}

void measureJournalOnly(std::vector<Row>& rows, const QString& workDir) {
    onPrivateServer(rows, [&](const PrivateServer& server) {
        AttendanceDatabase db;
        db.openServer(server.socketUrl());
        addTerminalPersons(db, 50);
        measureJournalDelivery(rows, server.socketUrl(), workDir);
    });
}
