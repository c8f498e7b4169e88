#include "credentials/Login.h"
#include "common/TestSupport.h"
#include "credentials/PasswordHash.h"
#include "credentials/Throttle.h"
#include "data/AttendanceDatabase.h"
#include "platform/SystemClock.h"

#include <QTemporaryDir>
#include <QTest>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <algorithm>
#include <ctime>

using namespace Qt::Literals::StringLiterals;
using Login::Outcome;

namespace {

const QDateTime kNine(QDate(2026, 3, 5), QTime(9, 0));

// Every stored password as the sqlite3 tool shows it.
QStringList storedPasswords(const QString& path) {
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READONLY);
    SQLite::Statement query(db, "SELECT coalesce(Password, '<null>') FROM tblEmployees ORDER BY rowid");
    QStringList result;
    while (query.executeStep())
        result << QString::fromUtf8(query.getColumn(0).getText());
    return result;
}

// A database file with its own connection, and the clock pinned at nine.
struct Workplace {
    Workplace() {
        TestSupport::copyTemplateTo(path);
        db.open(path);
        SystemClock::setFixed(kNine);
    }
    ~Workplace() { SystemClock::clearFixed(); }
    Outcome tryLogin(const QString& number, const QString& password, AttendanceDatabase* other = nullptr) {
        return Login::check(other ? *other : db, number, password).outcome;
    }

    QTemporaryDir dir;
    QString path = dir.filePath(u"dbData.mdb"_s);
    AttendanceDatabase db;
};

double threadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

} // namespace

class LoginTest : public QObject {
    Q_OBJECT
private slots:
    // However the password came to be stored, only its hash is in the file, and it matches the
    // password in any letter case and nothing else.
    void storedAsHashes_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("insert") << u"insert"_s;
        QTest::newRow("update") << u"update"_s;
        QTest::newRow("upgrade of an old file") << u"upgrade"_s;
    }
    void storedAsHashes() {
        QFETCH(QString, how);
        Workplace w;
        const QString password = u"Geheim Ölweg"_s;
        if (how == u"insert"_s) {
            w.db.insertPerson({u"E1"_s, password, u"Ann"_s, {}, {}, false});
        } else if (how == u"update"_s) {
            w.db.insertPerson({u"E0"_s, u"old"_s, u"Ann"_s, {}, {}, false});
            w.db.updatePerson(u"E0"_s, {u"E1"_s, password, u"Ann"_s, {}, {}, false});
        } else {
            w.db.close();
            TestSupport::copyFirstProgramFileTo(w.path);
            SQLite::Database raw(w.path.toStdString(), SQLite::OPEN_READWRITE);
            SQLite::Statement insert(
                raw, "INSERT INTO tblEmployees (EmployeeNo, Password, Name) VALUES (?, ?, ?)");
            insert.bind(1, "E1");
            insert.bind(2, password.toStdString());
            insert.bind(3, "Ann");
            insert.exec();
            w.db.open(w.path);
        }
        const QStringList stored = storedPasswords(w.path);
        QCOMPARE(stored.size(), 1);
        QVERIFY2(PasswordHash::isHash(stored.at(0)), qPrintable(stored.at(0)));
        QVERIFY(!stored.at(0).contains(u"Geheim"_s, Qt::CaseInsensitive));

        // Other letter case matches; wrong, blank-padded and empty passwords do not.
        QCOMPARE(w.tryLogin(u"e1"_s, u"gEHEIM öLWEG"_s), Outcome::Match);
        QCOMPARE(w.tryLogin(u"E1"_s, password + u" "_s), Outcome::NoMatch);
        QCOMPARE(w.tryLogin(u"E1"_s, QString()), Outcome::NoMatch);
        QCOMPARE(w.tryLogin(u"E1"_s, u"old"_s), Outcome::NoMatch);
        QCOMPARE(w.tryLogin(u"E2"_s, password), Outcome::NoMatch);
        const Login::Result match = Login::check(w.db, u"E1"_s, password);
        QCOMPARE(match.person.text(u"Name"_s), u"Ann"_s);
    }

    // The upgrade hashes every plain-text password at once; Null stays Null (and matches nothing).
    // A failure on the way leaves the old file exactly as it was.
    void upgradeIsOneTransaction() {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"old.mdb"_s);
        TestSupport::copyFirstProgramFileTo(path);
        {
            SQLite::Database raw(path.toStdString(), SQLite::OPEN_READWRITE);
            raw.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20) "
                     "INSERT INTO tblEmployees (EmployeeNo, Password, Name) SELECT 'E' || i, 'pw' || i, 'P' "
                     "FROM n");
            raw.exec("INSERT INTO tblEmployees (EmployeeNo, Password, Name) VALUES ('N', NULL, 'Nobody'), "
                     "('X', '', 'Empty')");
            raw.exec("CREATE TRIGGER refuse BEFORE UPDATE ON tblEmployees WHEN old.EmployeeNo = 'E20' "
                     "BEGIN SELECT RAISE(ABORT, 'not this one'); END");
        }
        const QStringList before = storedPasswords(path);
        AttendanceDatabase db;
        QVERIFY_THROWS_EXCEPTION(std::exception, db.open(path));
        QCOMPARE(storedPasswords(path), before);
        SQLite::Database(path.toStdString(), SQLite::OPEN_READWRITE).exec("DROP TRIGGER refuse");

        db.open(path);
        const QStringList after = storedPasswords(path);
        QCOMPARE(after.size(), before.size());
        for (int i = 0; i < 20; ++i)
            QVERIFY(PasswordHash::verify(after.at(i), u"PW%1"_s.arg(i + 1)));
        QCOMPARE(after.at(20), u"<null>"_s);
        QVERIFY(PasswordHash::verify(after.at(21), QString()));
        SystemClock::setFixed(kNine);
        QCOMPARE(Login::check(db, u"N"_s, QString()).outcome, Outcome::NoMatch);
        SystemClock::clearFixed();
    }

    // Five wrong passwords within ten minutes refuse the number everywhere, right password or not,
    // whether a person has the number or not; the count is one per number in any letter case.
    void refusedAcrossConnections_data() {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("password"); // the right one, or a guess for a number nobody has
        QTest::newRow("a person's number") << u"Äda"_s << u"secret"_s;
        QTest::newRow("a number nobody has") << u"Ghost"_s << u"secret"_s;
    }
    void refusedAcrossConnections() {
        QFETCH(QString, number);
        QFETCH(QString, password);
        Workplace w;
        w.db.insertPerson({u"Äda"_s, u"secret"_s, u"Ada"_s, {}, {}, true});
        AttendanceDatabase other; // another terminal on the same file
        other.open(w.path);
        const Outcome right = number == u"Äda"_s ? Outcome::Match : Outcome::NoMatch;

        for (int i = 0; i < 4; ++i) {
            SystemClock::setFixed(kNine.addSecs(60 * i));
            QCOMPARE(w.tryLogin(i % 2 ? number.toUpper() : number, u"guess"_s, i % 2 ? &other : nullptr),
                     Outcome::NoMatch);
        }
        QCOMPARE(other.loginFailures(number.toLower()).failures, 4);
        QVERIFY(!Throttle::refusedUntil(w.db.loginFailures(number), SystemClock::now()));
        QCOMPARE(w.tryLogin(number.toLower(), u"guess"_s, &other), Outcome::NoMatch);
        const QDateTime fifth = SystemClock::now();

        for (AttendanceDatabase* terminal : {&w.db, &other}) {
            const Login::Result refused = Login::check(*terminal, number.toUpper(), password);
            QCOMPARE(refused.outcome, Outcome::Refused);
            QCOMPARE(refused.refusedUntil, fifth.addSecs(600));
            QVERIFY(refused.person.eof());
        }
        // Another number is not affected.
        QCOMPARE(w.tryLogin(u"Other"_s, u"guess"_s), Outcome::NoMatch);

        // The refusal ends ten minutes after the fifth wrong password.
        SystemClock::setFixed(fifth.addSecs(599));
        QCOMPARE(w.tryLogin(number, password), Outcome::Refused);
        SystemClock::setFixed(fifth.addSecs(600));
        QCOMPARE(w.tryLogin(number, password, &other), right);
    }

    // A right password starts the count again.
    void successResetsTheCount() {
        Workplace w;
        w.db.insertPerson({u"E1"_s, u"secret"_s, u"Ann"_s, {}, {}, false});
        for (int round = 0; round < 2; ++round) {
            for (int i = 0; i < 4; ++i)
                QCOMPARE(w.tryLogin(u"E1"_s, u"guess"_s), Outcome::NoMatch);
            QCOMPARE(w.tryLogin(u"e1"_s, u"SECRET"_s), Outcome::Match);
            QCOMPARE(w.db.loginFailures(u"E1"_s).failures, 0);
        }
    }

    void messageSaysUntilWhen() {
        const QDateTime until(QDate(2026, 3, 5), QTime(15, 44, 10));
        const QString message = Login::refusedMessage(until);
        QVERIFY2(message.contains(u"until 03:45 PM"_s), qPrintable(message));
    }

    // An unknown number costs as much work as a wrong password (processor time of this thread, so
    // that other programs on the machine do not blur it).
    void unknownNumberTakesAsLongAsAWrongPassword() {
        Workplace w;
        w.db.insertPerson({u"E1"_s, u"secret"_s, u"Ann"_s, {}, {}, false});
        const auto cost = [&](const QString& number) {
            std::vector<double> samples;
            for (int i = 0; i < 5; ++i) {
                w.db.clearLoginFailures(number);
                const double start = threadCpuMs();
                w.tryLogin(number, u"guess"_s);
                samples.push_back(threadCpuMs() - start);
            }
            std::sort(samples.begin(), samples.end());
            return samples[2];
        };
        const double wrong = cost(u"E1"_s);
        const double unknown = cost(u"E2"_s);
        QVERIFY2(unknown > wrong * 0.6 && unknown < wrong * 1.6,
                 qPrintable(u"wrong password %1 ms, unknown number %2 ms"_s.arg(wrong).arg(unknown)));
    }
};

TALLYCLOCK_TEST(LoginTest)
#include "LoginTest.moc"
