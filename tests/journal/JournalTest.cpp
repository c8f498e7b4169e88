#include "journal/Journal.h"
#include "common/TestSupport.h"
#include "credentials/Login.h"
#include "data/AttendanceDatabase.h"
#include "journal/Delivery.h"
#include "platform/SystemClock.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

namespace {

const QDate kDay(2026, 12, 9);
// A server that is not there: no socket in that folder, so every connection fails at once.
const QString kAwayUrl =
    QStringLiteral("postgresql:///tally_test?host=/nonexistent-tallyclock&user=postgres&password=hush");

unsigned modeOf(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

// A database of its own on the test run's private server.
QString serverUrl() {
    return TestSupport::freshServerDatabase();
}

void addPerson(AttendanceDatabase& db, const QString& number, const QString& password) {
    db.insertPerson({number, password, QStringLiteral("Person ") + number, {}, {}, false});
}

} // namespace

class JournalTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { SystemClock::clearFixed(); }

    // The journal holds password hashes: its folder is the account's alone, whatever was there.
    void privateFolder_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<bool>("opens");
        QTest::newRow("nothing there") << QString() << true;
        QTest::newRow("a folder open to all") << QStringLiteral("open folder") << true;
        QTest::newRow("a link to another folder") << QStringLiteral("link") << false;
    }

    void privateFolder() {
        QFETCH(QString, before);
        QFETCH(bool, opens);
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("journal"));
        if (before == QLatin1String("open folder")) {
            QVERIFY(QDir().mkpath(folder));
            QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0777) == 0);
        } else if (before == QLatin1String("link")) {
            QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("elsewhere"))));
            QVERIFY(QFile::link(dir.filePath(QStringLiteral("elsewhere")), folder));
        }
        try {
            Journal journal(folder);
            QVERIFY(opens);
            journal.append(PunchKind::In, QStringLiteral("7"), kDay, QStringLiteral("08:00 AM"));
            QCOMPARE(modeOf(folder), 0700u);
            QCOMPARE(modeOf(journal.path()), 0600u);
        } catch (const std::runtime_error& e) {
            QVERIFY2(!opens, e.what());
            QVERIFY(QDir(dir.filePath(QStringLiteral("elsewhere"))).isEmpty());
        }
    }

    // Sequence numbers name a punch for good: never used twice, also after the journal emptied and
    // the terminal started again; the terminal keeps its id.
    void sequencesAndIdKept() {
        QTemporaryDir dir;
        QString id;
        qint64 last = 0;
        {
            Journal journal(dir.path());
            id = journal.terminalId();
            QCOMPARE(id.size(), 32);
            for (int i = 0; i < 3; ++i)
                last = journal.append(PunchKind::In, QString::number(i), kDay, QStringLiteral("08:00 AM"));
            const std::vector<JournalEntry> waiting = journal.waiting();
            QCOMPARE(waiting.size(), size_t(3));
            QCOMPARE(waiting.front().number, QStringLiteral("0"));
            for (const JournalEntry& entry : waiting)
                journal.remove(entry.sequence);
        }
        Journal again(dir.path());
        QCOMPARE(again.terminalId(), id);
        QCOMPARE(again.waitingCount(), 0);
        QVERIFY(again.append(PunchKind::Out, QStringLiteral("0"), kDay, QStringLiteral("05:00 PM")) > last);
        QVERIFY(Journal(QTemporaryDir().path()).terminalId() != id);
    }

    // The local copy answers the password check as the server would after its last refresh.
    void localCopy_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("matches");
        QTest::newRow("as on the server") << QString() << QStringLiteral("7") << QStringLiteral("pw") << true;
        QTest::newRow("number in another case")
            << QString() << QStringLiteral("a7") << QStringLiteral("pw") << true;
        QTest::newRow("wrong password") << QString() << QStringLiteral("7") << QStringLiteral("px") << false;
        QTest::newRow("old password after a change")
            << QStringLiteral("password") << QStringLiteral("7") << QStringLiteral("pw") << false;
        QTest::newRow("new password after a change")
            << QStringLiteral("password") << QStringLiteral("7") << QStringLiteral("new") << true;
        QTest::newRow("deleted on the server")
            << QStringLiteral("delete") << QStringLiteral("7") << QStringLiteral("pw") << false;
    }

    void localCopy() {
        QFETCH(QString, change);
        QFETCH(QString, number);
        QFETCH(QString, password);
        QFETCH(bool, matches);
        const QString url = serverUrl();
        AttendanceDatabase db;
        db.openServer(url);
        addPerson(db, QStringLiteral("7"), QStringLiteral("pw"));
        addPerson(db, QStringLiteral("A7"), QStringLiteral("pw"));
        db.setBadge(QStringLiteral("7"), QStringLiteral("b7"));
        QTemporaryDir dir;
        Journal journal(dir.path());
        Delivery::connected(journal, db);
        if (change == QLatin1String("password"))
            db.updatePerson(
                QStringLiteral("7"),
                {QStringLiteral("7"), QStringLiteral("new"), QStringLiteral("Person 7"), {}, {}, false});
        else if (change == QLatin1String("delete"))
            db.deletePersonWithRecords(QStringLiteral("7"));
        Delivery::connected(journal, db);
        const Login::Result result = Login::checkWith(journal, number, password);
        QCOMPARE(result.outcome == Login::Outcome::Match, matches);
        // The badge works offline as long as its person is on the server; its code compares exactly.
        const RecordSet badge = journal.personByBadge(QStringLiteral("b7"));
        QCOMPARE(badge.eof() ? QString() : badge.text(QStringLiteral("EmployeeNo")),
                 change == QLatin1String("delete") ? QString() : QStringLiteral("7"));
        QVERIFY(journal.personByBadge(QStringLiteral("B7")).eof());
        // Hashes only: the copy holds what the server stores, never a typed password.
        const RecordSet copy = journal.personByNumber(QStringLiteral("a7"));
        QVERIFY(copy.text(QStringLiteral("Password")).startsWith(QStringLiteral("$argon2id$")));
        QCOMPARE(copy.text(QStringLiteral("Password")),
                 db.personByNumber(QStringLiteral("A7")).text(QStringLiteral("Password")));
    }

    // Guessing a password offline is slowed down on the terminal itself.
    void throttledOffline() {
        QTemporaryDir dir;
        Journal journal(dir.path());
        AttendanceDatabase file;
        QTemporaryDir data;
        const QString path = data.filePath(QStringLiteral("dbData.mdb"));
        AttendanceDatabase::create(path);
        file.open(path);
        addPerson(file, QStringLiteral("7"), QStringLiteral("pw"));
        journal.replacePersons(file.personsByName());
        for (int i = 0; i < Throttle::kAllowedFailures; ++i)
            QVERIFY(Login::checkWith(journal, QStringLiteral("7"), QStringLiteral("no")).outcome ==
                    Login::Outcome::NoMatch);
        QVERIFY(Login::checkWith(journal, QStringLiteral("7"), QStringLiteral("pw")).outcome ==
                Login::Outcome::Refused);
    }

    // Delivery: the waiting punches in their order, each once, whatever became of earlier attempts.
    void delivery_data() {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<int>("left");
        QTest::addColumn<QStringList>("records");
        QTest::newRow("server away") << QStringLiteral("away") << 3 << QStringList{};
        QTest::newRow("server there") << QString() << 0 << QStringList{"7 08:00 AM-05:00 PM", "8 09:00 AM-"};
        QTest::newRow("acknowledgement lost after the commit")
            << QStringLiteral("lost") << 0 << QStringList{"7 08:00 AM-05:00 PM", "8 09:00 AM-"};
        QTest::newRow("clock ten minutes off")
            << QStringLiteral("clock") << 0 << QStringList{"7 08:00 AM-05:00 PM*", "8 09:00 AM-*"};
        // The punches before it still arrive; the order holds behind it.
        QTest::newRow("a punch the server cannot take")
            << QStringLiteral("damaged") << 2 << QStringList{"7 08:00 AM-"};
    }

    void delivery() {
        QFETCH(QString, situation);
        QFETCH(int, left);
        QFETCH(QStringList, records);
        const QString url = serverUrl();
        AttendanceDatabase server;
        server.openServer(url);
        QTemporaryDir dir;
        Journal journal(dir.path());
        const qint64 first =
            journal.append(PunchKind::In, QStringLiteral("7"), kDay, QStringLiteral("08:00 AM"));
        journal.append(PunchKind::In, QStringLiteral("8"),
                       situation == QLatin1String("damaged") ? QDate() : kDay, QStringLiteral("09:00 AM"));
        journal.append(PunchKind::Out, QStringLiteral("7"), kDay, QStringLiteral("05:00 PM"));
        if (situation == QLatin1String("lost"))
            server.deliver({journal.terminalId(),
                            first,
                            PunchKind::In,
                            QStringLiteral("7"),
                            kDay,
                            QStringLiteral("08:00 AM"),
                            {}},
                           true);
        if (situation == QLatin1String("clock"))
            SystemClock::setFixed(QDateTime::currentDateTimeUtc().addSecs(600));

        AttendanceDatabase db;
        Delivery::Result result;
        if (situation == QLatin1String("away")) {
            QVERIFY_THROWS_EXCEPTION(DatabaseError, db.openServer(kAwayUrl));
            result = Delivery::deliverWaiting(journal, db);
            QVERIFY(result.serverAway);
        } else {
            db.openServer(url);
            result = Delivery::deliverWaiting(journal, db);
            QVERIFY2(result.failure.isEmpty() == (left == 0), qPrintable(result.failure));
            QVERIFY(!result.serverAway);
        }
        QCOMPARE(result.left, left);
        QCOMPARE(journal.waitingCount(), left);
        QCOMPARE(TestSupport::recordsOn(server), records);
        const RecordSet clockRows =
            server.auditEntries({QDate::currentDate().addDays(-1), QDate::currentDate().addDays(2),
                                 std::nullopt, AuditWhat::ClockOff});
        QCOMPARE(clockRows.rowCount(), situation == QLatin1String("clock") ? 1 : 0);
        if (situation == QLatin1String("clock"))
            QVERIFY(qAbs(journal.clockOff() - 600) < 30);
    }

    // `journal --deliver` says by its exit code whether anything is left waiting.
    void deliverCommand_data() {
        QTest::addColumn<bool>("serverThere");
        QTest::addColumn<bool>("anythingWaiting");
        QTest::addColumn<int>("code");
        QTest::newRow("delivered") << true << true << 0;
        QTest::newRow("server away, punches waiting") << false << true << 1;
        QTest::newRow("server away, nothing waiting") << false << false << 0;
    }

    void deliverCommand() {
        QFETCH(bool, serverThere);
        QFETCH(bool, anythingWaiting);
        QFETCH(int, code);
        QTemporaryDir home;
        const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", home.path().toUtf8());
        qputenv("TALLYCLOCK_DATABASE_URL", (serverThere ? serverUrl() : kAwayUrl).toUtf8());
        QString id;
        {
            Journal journal;
            id = journal.terminalId();
            if (anythingWaiting)
                journal.append(PunchKind::In, QStringLiteral("7"), kDay, QStringLiteral("08:00 AM"));
        }
        const TestSupport::CommandLineRun delivered =
            TestSupport::runCommandLine({QStringLiteral("journal"), QStringLiteral("--deliver")});
        const TestSupport::CommandLineRun shown = TestSupport::runCommandLine({QStringLiteral("journal")});
        qunsetenv("TALLYCLOCK_DATABASE_URL");
        qputenv("XDG_DATA_HOME", dataHome);
        QCOMPARE(delivered.code, code);
        QVERIFY2(shown.out.contains(QStringLiteral("Terminal: ") + id), qPrintable(shown.out));
        QVERIFY2(shown.out.contains(QStringLiteral("Waiting: %1").arg(code)), qPrintable(shown.out));
        QVERIFY2(!(delivered.out + delivered.err).contains(QStringLiteral("hush")),
                 qPrintable(delivered.out));
    }
};

TALLYCLOCK_TEST(JournalTest)
#include "JournalTest.moc"
