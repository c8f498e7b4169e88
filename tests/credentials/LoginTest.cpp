#include "credentials/Login.h"
#include "TestDatabase.h"
#include "common/TestSupport.h"
#include "credentials/PasswordHash.h"
#include "credentials/Throttle.h"
#include "platform/SystemClock.h"

#include <QTest>
#include <algorithm>
#include <ctime>
#include <limits>

using namespace Qt::Literals::StringLiterals;
using Login::Outcome;

namespace {

const QDateTime kNine(QDate(2026, 3, 5), QTime(9, 0));

// A terminal: one engine's database with a connection open on it, and the clock pinned at nine.
struct Terminal {
    Terminal() : data(TestDatabase::currentEngine()) {
        data.open(db);
        SystemClock::setFixed(kNine);
    }
    ~Terminal() { SystemClock::clearFixed(); }

    Outcome tryLogin(const QString& number, const QString& password, AttendanceDatabase* other = nullptr) {
        return Login::check(other ? *other : db, number, password).outcome;
    }
    // Each person's stored password, by number, as another program reading the database sees it.
    std::map<QString, QString> storedPasswords() const {
        std::map<QString, QString> stored;
        for (const QString& row : data.rows("tblEmployees")) {
            const QStringList fields = row.split(QLatin1Char('|'));
            stored[fields.at(0)] = fields.at(1);
        }
        return stored;
    }
    // Turns the database into one of the schema before hashing (version 2), holding `persons` as typed.
    void makeOld(const std::string& persons) {
        db.close();
        data.makeVersion(2);
        data.exec("INSERT INTO tblEmployees (EmployeeNo, Password, Name) VALUES " + persons,
                  "INSERT INTO \"tblEmployees\" (\"EmployeeNo\", \"Password\", \"Name\") VALUES " + persons);
    }

    TestDatabase data;
    AttendanceDatabase db;
};

// The processor time this thread spent, read from the scheduler's exact count. Other programs on
// the machine can slow it (caches, page faults) but do not add to it the way wall time would.
double threadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

} // namespace

class LoginTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestDatabase::addEngines(); }

    // However the password came to be stored, only its hash is in the database, and it matches the
    // password in any letter case and nothing else.
    void storedAsHashes_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("insert") << u"insert"_s;
        QTest::newRow("update") << u"update"_s;
        QTest::newRow("upgrade of an old database") << u"upgrade"_s;
    }
    void storedAsHashes() {
        QFETCH(QString, how);
        Terminal w;
        const QString password = u"Geheim Ölweg"_s;
        if (how == u"insert"_s) {
            w.db.insertPerson({u"E1"_s, password, u"Ann"_s, {}, {}, false});
        } else if (how == u"update"_s) {
            w.db.insertPerson({u"E0"_s, u"old"_s, u"Ann"_s, {}, {}, false});
            w.db.updatePerson(u"E0"_s, {u"E1"_s, password, u"Ann"_s, {}, {}, false});
        } else {
            w.makeOld("('E1', 'Geheim Ölweg', 'Ann')");
            w.data.open(w.db);
        }
        const auto stored = w.storedPasswords();
        QCOMPARE(stored.size(), size_t(1));
        QVERIFY2(PasswordHash::isHash(stored.at(u"E1"_s)), qPrintable(stored.at(u"E1"_s)));
        QVERIFY(!stored.at(u"E1"_s).contains(u"Geheim"_s, Qt::CaseInsensitive));
        // The audit trail of the change holds neither the password nor its hash.
        for (const QString& row : w.data.rows("tblAudit")) {
            QVERIFY2(!row.contains(u"Geheim"_s, Qt::CaseInsensitive) && !row.contains(u"argon2"_s),
                     qPrintable(row));
        }
        QCOMPARE(w.data.count("tblAudit"), how == u"update"_s ? 2 : how == u"insert"_s ? 1 : 0);

        // Other letter case matches; wrong, blank-padded and empty passwords do not.
        QCOMPARE(w.tryLogin(u"e1"_s, u"gEHEIM öLWEG"_s), Outcome::Match);
        QCOMPARE(w.tryLogin(u"E1"_s, password + u" "_s), Outcome::NoMatch);
        QCOMPARE(w.tryLogin(u"E1"_s, QString()), Outcome::NoMatch);
        QCOMPARE(w.tryLogin(u"E1"_s, u"old"_s), Outcome::NoMatch);
        QCOMPARE(w.tryLogin(u"E2"_s, password), Outcome::NoMatch);
        QCOMPARE(Login::check(w.db, u"E1"_s, password).person.text(u"Name"_s), u"Ann"_s);
    }

    // The upgrade hashes every plain-text password at once; Null stays Null (and matches nothing).
    // A failure on the way leaves the old database exactly as it was.
    void upgradeIsOneTransaction() {
        Terminal w;
        std::string persons;
        for (int i = 1; i <= 20; ++i)
            persons += "('E" + std::to_string(i) + "', 'pw" + std::to_string(i) + "', 'P'), ";
        w.makeOld(persons + "('N', NULL, 'Nobody'), ('X', '', 'Empty')");
        w.data.exec("CREATE TRIGGER refuse BEFORE UPDATE ON tblEmployees WHEN old.EmployeeNo = 'E20' "
                    "BEGIN SELECT RAISE(ABORT, 'not this one'); END",
                    "CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                    "IF OLD.\"EmployeeNo\" = 'E20' THEN RAISE EXCEPTION 'not this one'; END IF; RETURN NEW; "
                    "END $$; CREATE TRIGGER refuse BEFORE UPDATE ON \"tblEmployees\" FOR EACH ROW "
                    "EXECUTE FUNCTION refuse()");
        const auto before = w.storedPasswords();
        QVERIFY_THROWS_EXCEPTION(std::exception, w.data.open(w.db));
        QCOMPARE(w.storedPasswords(), before);
        w.data.exec("DROP TRIGGER refuse", "DROP TRIGGER refuse ON \"tblEmployees\"");

        w.data.open(w.db);
        const auto after = w.storedPasswords();
        QCOMPARE(after.size(), before.size());
        for (int i = 1; i <= 20; ++i)
            QVERIFY(PasswordHash::verify(after.at(u"E%1"_s.arg(i)), u"PW%1"_s.arg(i)));
        QCOMPARE(after.at(u"N"_s), u"<null>"_s);
        QVERIFY(PasswordHash::verify(after.at(u"X"_s), QString()));
        QCOMPARE(w.tryLogin(u"N"_s, QString()), Outcome::NoMatch);
    }

    // Five wrong passwords within ten minutes refuse the number at every terminal, right password or
    // not, whether a person has the number or not; the count is one per number in any letter case.
    void refusedAcrossConnections_data() {
        QTest::addColumn<QString>("number");
        QTest::newRow("a person's number") << u"Äda"_s;
        QTest::newRow("a number nobody has") << u"Ghost"_s;
    }
    void refusedAcrossConnections() {
        QFETCH(QString, number);
        Terminal w;
        w.db.insertPerson({u"Äda"_s, u"secret"_s, u"Ada"_s, {}, {}, true});
        AttendanceDatabase other; // another terminal
        w.data.open(other);
        const Outcome right = number == u"Äda"_s ? Outcome::Match : Outcome::NoMatch;

        for (int i = 0; i < 4; ++i) {
            SystemClock::setFixed(kNine.addSecs(60 * i));
            QCOMPARE(w.tryLogin(i % 2 ? number.toUpper() : number, u"guess"_s, i % 2 ? &other : nullptr),
                     Outcome::NoMatch);
        }
        QCOMPARE(other.loginFailures(number.toLower()).failures, 4);
        QVERIFY(!Throttle::refusedUntil(w.db.loginFailures(number), SystemClock::now()));
        QCOMPARE(w.tryLogin(number.toLower(), u"guess"_s, &other), Outcome::NoMatch);
        // The moment of the fifth: the terminal's clock for a file, the server's for a server.
        const QDateTime fifth = w.db.loginFailures(number).since;
        QVERIFY(fifth.isValid());

        for (AttendanceDatabase* terminal : {&w.db, &other}) {
            const Login::Result refused = Login::check(*terminal, number.toUpper(), u"secret"_s);
            QCOMPARE(refused.outcome, Outcome::Refused);
            QCOMPARE(refused.refusedUntil, fifth.addSecs(600));
            QVERIFY(refused.person.eof());
        }
        QCOMPARE(w.tryLogin(u"Other"_s, u"guess"_s), Outcome::NoMatch); // other numbers go on

        // The refusal ends ten minutes after the fifth wrong password. The server's clock cannot be
        // moved: there the count is moved back instead.
        if (w.data.isServer()) {
            w.data.exec({}, R"(UPDATE "tblLoginFailures" SET "Since" = now() - interval '590 seconds')");
            QCOMPARE(w.tryLogin(number, u"secret"_s), Outcome::Refused);
            w.data.exec({}, R"(UPDATE "tblLoginFailures" SET "Since" = now() - interval '600 seconds')");
            QCOMPARE(w.tryLogin(number, u"secret"_s, &other), right);
            return;
        }
        SystemClock::setFixed(fifth.addSecs(599));
        QCOMPARE(w.tryLogin(number, u"secret"_s), Outcome::Refused);
        SystemClock::setFixed(fifth.addSecs(600));
        QCOMPARE(w.tryLogin(number, u"secret"_s, &other), right);
    }

    void terminalClocksApart_data() {
        QTest::addColumn<int>("apartSeconds");
        QTest::newRow("one an hour ahead") << 3600;
        QTest::newRow("one a day behind") << -86400;
    }

    // Two terminals whose clocks differ by more than the window, used in turn, still share one count
    // on the server: the server's clock counts, neither terminal's.
    void terminalClocksApart() {
        QFETCH(int, apartSeconds);
        Terminal w;
        if (!w.data.isServer())
            QSKIP("the terminals of one file share this computer's clock");
        w.db.insertPerson({u"E1"_s, u"secret"_s, u"Ann"_s, {}, {}, false});
        AttendanceDatabase other;
        w.data.open(other);
        for (int i = 0; i < Throttle::kAllowedFailures; ++i) {
            SystemClock::setFixed(i % 2 ? kNine.addSecs(apartSeconds + i) : kNine.addSecs(i));
            QCOMPARE(w.tryLogin(u"E1"_s, u"guess"_s, i % 2 ? &other : nullptr), Outcome::NoMatch);
        }
        for (AttendanceDatabase* terminal : {&w.db, &other}) {
            SystemClock::setFixed(terminal == &other ? kNine.addSecs(apartSeconds) : kNine);
            QCOMPARE(Login::check(*terminal, u"E1"_s, u"secret"_s).outcome, Outcome::Refused);
        }
        QCOMPARE(w.db.loginFailures(u"E1"_s).failures, Throttle::kAllowedFailures);
    }

    // A right password starts the count again.
    void successResetsTheCount() {
        Terminal w;
        w.db.insertPerson({u"E1"_s, u"secret"_s, u"Ann"_s, {}, {}, false});
        for (int round = 0; round < 2; ++round) {
            for (int i = 0; i < 4; ++i)
                QCOMPARE(w.tryLogin(u"E1"_s, u"guess"_s), Outcome::NoMatch);
            QCOMPARE(w.tryLogin(u"e1"_s, u"SECRET"_s), Outcome::Match);
            QCOMPARE(w.db.loginFailures(u"E1"_s).failures, 0);
        }
    }

    // An unknown number costs as much work as a wrong password: the hash's work, not a look-up's.
    // Each is measured ten times, in turn, after one try of each, and the least of each counts,
    // since whatever else the machine does only adds to a measurement. The bounds are wide because
    // the kernel maps and fills the hash's 19 MiB afresh for every try, and how long that takes
    // varies with what the rest of the machine does with memory: one try can cost three times
    // another. Skipping the hash makes an unknown number cost a few percent of a wrong password.
    void unknownNumberTakesAsLongAsAWrongPassword() {
        Terminal w;
        w.db.insertPerson({u"E1"_s, u"secret"_s, u"Ann"_s, {}, {}, false});
        double least[2] = {std::numeric_limits<double>::max(), std::numeric_limits<double>::max()};
        const QString numbers[2] = {u"E1"_s, u"E2"_s};
        for (int i = 0; i < 11; ++i) {
            for (int n = 0; n < 2; ++n) {
                w.db.clearLoginFailures(numbers[n]);
                const double start = threadCpuMs();
                w.tryLogin(numbers[n], u"guess"_s);
                if (i > 0)
                    least[n] = std::min(least[n], threadCpuMs() - start);
            }
        }
        const double wrong = least[0];
        const double unknown = least[1];
        QVERIFY2(unknown > wrong * 0.2 && unknown < wrong * 5,
                 qPrintable(u"wrong password %1 ms, unknown number %2 ms"_s.arg(wrong).arg(unknown)));
    }

    void messageSaysUntilWhen() {
        const QDateTime until(QDate(2026, 3, 5), QTime(15, 44, 10));
        const QString message = Login::refusedMessage(until);
        QVERIFY2(message.contains(u"until 03:45 PM"_s), qPrintable(message));
    }
};

TALLYCLOCK_TEST(LoginTest)
#include "LoginTest.moc"
