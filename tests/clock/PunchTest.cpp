#include "clock/MainWindowFixture.h"
#include "platform/ListView.h"

#include <QLabel>
#include <QTest>
#include <SQLiteCpp/Database.h>

using TestSupport::control;

namespace {

const QString kInvalid =
    QStringLiteral("Invalid Person Number or Password. Please make sure that this login has "
                   "been created with the 'Create' button.");

struct Record {
    QString number;
    QDate day;
    QString timeIn;
    QString timeOut;
    bool open;
};

std::vector<Record> recordsOf(const QString& number) {
    std::vector<Record> records;
    RecordSet rs = MainWindowFixture::db().recordsOfPerson(number);
    for (; !rs.eof(); rs.moveNext())
        records.push_back({rs.text(QStringLiteral("EmployeeNo")),
                           rs.value(QStringLiteral("LogDate")).toDate(), rs.text(QStringLiteral("TimeIn")),
                           rs.text(QStringLiteral("TimeOut")), rs.isNull(QStringLiteral("TimeOut"))});
    return records;
}

int allRecords() {
    return MainWindowFixture::db().allLogins().rowCount();
}

QDateTime at(int month, int day, int hour, int minute) {
    return QDateTime(QDate(2026, month, day), QTime(hour, minute));
}

void verifyBoxesCleared(const MainWindow& form) {
    QVERIFY(control<QLineEdit>(form, "numberBox")->text().isEmpty());
    QVERIFY(control<QLineEdit>(form, "passwordBox")->text().isEmpty());
}

} // namespace

class PunchTest : public QObject {
    Q_OBJECT
private slots:
    void firstTimeInOpensOneRecordAndListsIt() {
        MainWindowFixture f(at(3, 5, 9, 5));
        MainWindow& form = f.load();
        f.addPerson(QStringLiteral("E1"), QStringLiteral("pw"), QStringLiteral("Ann"));
        f.punch(QStringLiteral("E1"), QStringLiteral("pw"));

        const auto records = recordsOf(QStringLiteral("E1"));
        QCOMPARE(records.size(), size_t(1));
        QCOMPARE(records[0].day, QDate(2026, 3, 5));
        QCOMPARE(records[0].timeIn, QStringLiteral("09:05 AM"));
        QVERIFY(records[0].open);
        QCOMPARE(control<ListView>(form, "todayList")->rowCount(), 1);
        QCOMPARE(control<ListView>(form, "todayList")->itemText(0, 1), QStringLiteral("Ann"));
        QCOMPARE(control<ListView>(form, "todayList")->itemText(0, 5), QStringLiteral("09:05 AM"));
        QCOMPARE(control<ListView>(form, "todayList")->itemText(0, 7), QString());
        QVERIFY(f.boxes.shown().empty());
        verifyBoxesCleared(form);
    }

    void timeInTwiceIsRefused() {
        MainWindowFixture f;
        MainWindow& form = f.load();
        f.addPerson(QStringLiteral("E1"), QStringLiteral("pw"), QStringLiteral("Ann"));
        f.punch(QStringLiteral("E1"), QStringLiteral("pw"));
        f.moveClockTo(at(3, 5, 9, 30));
        f.punch(QStringLiteral("E1"), QStringLiteral("pw"));

        QCOMPARE(f.boxes.texts(), std::vector<QString>{QStringLiteral("Ann already logged in.")});
        QCOMPARE(f.boxes.shown().at(0).kind, MessageBox::Kind::Ok);
        QCOMPARE(recordsOf(QStringLiteral("E1")).size(), size_t(1));
        verifyBoxesCleared(form);
    }

    void timeInAfterAClosedRecordOpensANewOne() {
        MainWindowFixture f;
        f.load();
        f.addPerson(QStringLiteral("E1"), QStringLiteral("pw"), QStringLiteral("Ann"));
        f.punch(QStringLiteral("E1"), QStringLiteral("pw"));
        f.moveClockTo(at(3, 5, 12, 0));
        f.punch(QStringLiteral("E1"), QStringLiteral("pw"), false);
        f.moveClockTo(at(3, 5, 13, 0));
        f.punch(QStringLiteral("E1"), QStringLiteral("pw"));

        const auto records = recordsOf(QStringLiteral("E1"));
        QCOMPARE(records.size(), size_t(2));
        QCOMPARE(records[1].timeIn, QStringLiteral("01:00 PM"));
        QVERIFY(records[1].open);
        QVERIFY(f.boxes.shown().empty());
    }

    void timeOutWithoutAnyRecord() {
        MainWindowFixture f;
        MainWindow& form = f.load();
        f.addPerson(QStringLiteral("E1"), QStringLiteral("pw"), QStringLiteral("Ann"));
        f.punch(QStringLiteral("E1"), QStringLiteral("pw"), false);

        QCOMPARE(control<PushButton>(form, "punchButton")->text(), QStringLiteral("Logout"));
        QCOMPARE(f.boxes.texts(), std::vector<QString>{QStringLiteral("Ann has not yet logged in.")});
        QCOMPARE(allRecords(), 0);
        verifyBoxesCleared(form);
    }

    void timeOutMovesYesterdaysOpenRecordToToday() {
        MainWindowFixture f(at(3, 4, 17, 0));
        MainWindow& form = f.load();
        f.addPerson(QStringLiteral("E1"), QStringLiteral("pw"), QStringLiteral("Ann"));
        f.punch(QStringLiteral("E1"), QStringLiteral("pw"));
        f.moveClockTo(at(3, 5, 8, 30));
        QCOMPARE(control<ListView>(form, "todayList")->rowCount(),
                 1); // still yesterday's list until something refreshes it
        f.punch(QStringLiteral("E1"), QStringLiteral("pw"), false);

        const auto records = recordsOf(QStringLiteral("E1"));
        QCOMPARE(records.size(), size_t(1));
        QCOMPARE(records[0].day, QDate(2026, 3, 5));
        QCOMPARE(records[0].timeIn, QStringLiteral("05:00 PM"));
        QCOMPARE(records[0].timeOut, QStringLiteral("08:30 AM"));
        QCOMPARE(control<ListView>(form, "todayList")->rowCount(), 1);
        QCOMPARE(control<ListView>(form, "todayList")->itemText(0, 6), QStringLiteral("08:30 AM"));
        QCOMPARE(control<ListView>(form, "todayList")->itemText(0, 7), QStringLiteral("-510 min(s)"));
        QVERIFY(f.boxes.shown().empty());
    }

    void timeOutTwiceWritesNothingAndRefreshes() {
        MainWindowFixture f;
        MainWindow& form = f.load();
        f.addPerson(QStringLiteral("E1"), QStringLiteral("pw"), QStringLiteral("Ann"));
        f.addPerson(QStringLiteral("E2"), QStringLiteral("pw"), QStringLiteral("Bob"));
        f.punch(QStringLiteral("E1"), QStringLiteral("pw"));
        f.moveClockTo(at(3, 5, 11, 35));
        f.punch(QStringLiteral("E1"), QStringLiteral("pw"), false);
        // A record the list has not seen yet shows up only if the second Time Out refreshes it.
        f.db().punchIn(QStringLiteral("E2"), QDate(2026, 3, 5), QStringLiteral("10:00 AM"));
        f.moveClockTo(at(3, 5, 12, 0));
        f.punch(QStringLiteral("E1"), QStringLiteral("pw"), false);

        QVERIFY(f.boxes.shown().empty());
        const auto records = recordsOf(QStringLiteral("E1"));
        QCOMPARE(records.size(), size_t(1));
        QCOMPARE(records[0].timeOut, QStringLiteral("11:35 AM"));
        QCOMPARE(control<ListView>(form, "todayList")->rowCount(), 2);
        verifyBoxesCleared(form);
    }

    void oneTimeOutClosesEveryOpenRecord() {
        MainWindowFixture f(at(3, 5, 16, 0));
        f.load();
        f.addPerson(QStringLiteral("E1"), QStringLiteral("pw"), QStringLiteral("Ann"));
        f.db().punchIn(QStringLiteral("E1"), QDate(2026, 3, 3), QStringLiteral("08:00 AM"));
        f.db().punchIn(QStringLiteral("E1"), QDate(2026, 3, 5), QStringLiteral("09:00 AM"));
        f.punch(QStringLiteral("E1"), QStringLiteral("pw"), false);

        const auto records = recordsOf(QStringLiteral("E1"));
        QCOMPARE(records.size(), size_t(2));
        for (const Record& record : records) {
            QCOMPARE(record.timeOut, QStringLiteral("04:00 PM"));
            QCOMPARE(record.day, QDate(2026, 3, 5));
        }
        QCOMPARE(records[0].timeIn, QStringLiteral("08:00 AM"));
    }

    void wrongPasswordOrNumberPunchesNobody_data() {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("timeIn");
        QTest::newRow("wrong password") << "E1"
                                        << "nope" << true;
        QTest::newRow("wrong password, time out") << "E1"
                                                  << "nope" << false;
        QTest::newRow("empty") << ""
                               << "" << true;
        QTest::newRow("only spaces") << "   "
                                     << "   " << true;
        QTest::newRow("number with a blank after it") << "E1 "
                                                      << "pw" << true;
        QTest::newRow("quote in number") << "E1' OR '1'='1"
                                         << "pw" << true;
        QTest::newRow("quote in password") << "E1"
                                           << "' OR '1'='1" << false;
        QTest::newRow("double quotes") << "\"E1\""
                                       << "\"pw\"" << true;
        QTest::newRow("sql keywords") << "E1'; DELETE FROM tblLogins; --"
                                      << "x" << true;
        QTest::newRow("like wildcards") << "E%"
                                        << "%" << true;
        QTest::newRow("very long") << QString(10000, QLatin1Char('E')) << QString(10000, QLatin1Char('p'))
                                   << true;
        QTest::newRow("non-ascii") << QStringLiteral("Ё1") << QStringLiteral("пароль") << true;
    }
    void wrongPasswordOrNumberPunchesNobody() {
        QFETCH(QString, number);
        QFETCH(QString, password);
        QFETCH(bool, timeIn);
        MainWindowFixture f;
        MainWindow& form = f.load();
        f.addPerson(QStringLiteral("E1"), QStringLiteral("pw"), QStringLiteral("Ann"));
        f.db().punchIn(QStringLiteral("E1"), QDate(2026, 3, 5), QStringLiteral("08:00 AM"));
        f.punch(number, password, timeIn);

        QCOMPARE(f.boxes.texts(), std::vector<QString>{kInvalid});
        const auto records = recordsOf(QStringLiteral("E1"));
        QCOMPARE(allRecords(), 1);
        QVERIFY(records.at(0).open);
        verifyBoxesCleared(form);
    }

    // After five wrong passwords the number is refused, right password or not, with the time it
    // may try again; nobody is punched and the boxes are cleared as after any click.
    void guessingIsRefused() {
        MainWindowFixture f;
        MainWindow& form = f.load();
        f.addPerson(QStringLiteral("E1"), QStringLiteral("pw"), QStringLiteral("Ann"));
        for (int i = 0; i < 5; ++i)
            f.punch(QStringLiteral("E1"), QStringLiteral("guess"));
        QCOMPARE(f.boxes.texts(), std::vector<QString>(5, kInvalid));
        f.boxes.clear();
        f.punch(QStringLiteral("e1"), QStringLiteral("pw"));
        QCOMPARE(f.boxes.texts(), std::vector<QString>{QStringLiteral(
                                      "Too many wrong passwords for this person number. It is refused until "
                                      "09:15 AM; please try again then.")});
        QCOMPARE(allRecords(), 0);
        verifyBoxesCleared(form);
        f.boxes.clear();
        f.moveClockTo(at(3, 5, 9, 15));
        f.punch(QStringLiteral("E1"), QStringLiteral("pw"));
        QVERIFY(f.boxes.shown().empty());
        QCOMPARE(allRecords(), 1);
    }

    void awkwardNumbersPunchTheirOwnPersonOnly_data() {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("password");
        QTest::newRow("apostrophe") << "O'Neil"
                                    << "it's";
        QTest::newRow("quotes and keywords") << "\"; DROP TABLE tblLogins; --"
                                             << "or 1=1";
        QTest::newRow("non-ascii") << QStringLiteral("Zoë-7") << QStringLiteral("Grüße");
        QTest::newRow("only spaces") << "  "
                                     << " ";
        QTest::newRow("very long") << QString(10000, QLatin1Char('9')) << QString(10000, QLatin1Char('x'));
    }
    void awkwardNumbersPunchTheirOwnPersonOnly() {
        QFETCH(QString, number);
        QFETCH(QString, password);
        MainWindowFixture f;
        MainWindow& form = f.load();
        f.addPerson(number, password, QStringLiteral("Odd"));
        f.addPerson(QStringLiteral("E1"), QStringLiteral("pw"), QStringLiteral("Ann"));
        f.punch(number, password);
        f.moveClockTo(at(3, 5, 10, 0));
        f.punch(number, password, false);

        QVERIFY(f.boxes.shown().empty());
        const auto records = recordsOf(number);
        QCOMPARE(records.size(), size_t(1));
        QCOMPARE(records[0].number, number);
        QCOMPARE(records[0].timeOut, QStringLiteral("10:00 AM"));
        QCOMPARE(allRecords(), 1);
        QCOMPARE(control<ListView>(form, "todayList")->itemText(0, 1), QStringLiteral("Odd"));
        QCOMPARE(control<ListView>(form, "todayList")->itemText(0, 7), QStringLiteral("55 min(s)"));
        verifyBoxesCleared(form);
    }

    void otherLetterCaseMatches_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("typedIn");
        QTest::addColumn<QString>("typedOut");
        QTest::newRow("ascii") << "AB-1"
                               << "ab-1"
                               << "Ab-1";
        QTest::newRow("non-ascii") << QStringLiteral("AB-ä1") << QStringLiteral("ab-Ä1")
                                   << QStringLiteral("AB-Ä1");
    }
    void otherLetterCaseMatches() {
        QFETCH(QString, stored);
        QFETCH(QString, typedIn);
        QFETCH(QString, typedOut);
        MainWindowFixture f;
        MainWindow& form = f.load();
        f.addPerson(stored, QStringLiteral("Secret"), QStringLiteral("Ann"));
        f.punch(typedIn, QStringLiteral("sECRET"));
        f.moveClockTo(at(3, 5, 9, 6));
        f.punch(typedOut, QStringLiteral("SECRET"), false);

        QVERIFY(f.boxes.shown().empty());
        const auto records = recordsOf(stored);
        QCOMPARE(records.size(), size_t(1));
        QCOMPARE(records[0].number, typedIn); // stored as typed
        QCOMPARE(records[0].timeOut, QStringLiteral("09:06 AM"));
        QCOMPARE(control<ListView>(form, "todayList")->itemText(0, 0), typedIn);
        QCOMPARE(control<ListView>(form, "todayList")->itemText(0, 7), QStringLiteral("1 min(s)"));
    }

    void dayFirstLabelStoresTheShownCalendarDay() {
        MainWindowFixture f(at(3, 5, 14, 5));
        SettingsStore::saveFlag(QStringLiteral("Option1"), false);
        SettingsStore::saveFlag(QStringLiteral("Option2"), true);
        SettingsStore::saveFlag(QStringLiteral("Option3"), false);
        SettingsStore::saveFlag(QStringLiteral("Option4"), true);
        MainWindow& form = f.load();
        QCOMPARE(control<QLabel>(form, "dateLabel")->text(), QStringLiteral("05/03/2026"));
        f.addPerson(QStringLiteral("E1"), QStringLiteral("pw"), QStringLiteral("Ann"));
        f.punch(QStringLiteral("E1"), QStringLiteral("pw"));

        QVERIFY(f.boxes.shown().empty());
        SQLite::Database raw(f.folder.database().toStdString());
        QCOMPARE(raw.execAndGet("SELECT LogDate || ' ' || TimeIn FROM tblLogins").getString(),
                 std::string("2026-03-05 14:05"));
        QCOMPARE(control<ListView>(form, "todayList")->rowCount(), 1);
    }

    void emptyDateLabelWritesNothing() {
        MainWindowFixture f;
        SettingsStore::saveFlag(QStringLiteral("Option1"), false);
        SettingsStore::saveFlag(QStringLiteral("Option2"), false);
        MainWindow& form = f.load();
        QVERIFY(control<QLabel>(form, "dateLabel")->text().isEmpty());
        QCOMPARE(f.boxes.errorSteps(), std::vector<int>{180}); // start-up's list has no day to show
        f.boxes.clear();
        f.addPerson(QStringLiteral("E1"), QStringLiteral("pw"), QStringLiteral("Ann"));
        f.punch(QStringLiteral("E1"), QStringLiteral("pw"));

        QCOMPARE(f.boxes.errorSteps(), (std::vector<int>{126, 128}));
        QVERIFY(f.boxes.errors().at(0).text.contains(QStringLiteral("The clock shows no date")));
        QVERIFY(f.boxes.errors().at(0).text.contains(QStringLiteral("PushButton1_Click")));
        QCOMPARE(allRecords(), 0);
        verifyBoxesCleared(form);
    }

    void emptyTimeLabelWritesNothing() {
        MainWindowFixture f;
        SettingsStore::saveFlag(QStringLiteral("Option3"), false);
        SettingsStore::saveFlag(QStringLiteral("Option4"), false);
        MainWindow& form = f.load();
        f.addPerson(QStringLiteral("E1"), QStringLiteral("pw"), QStringLiteral("Ann"));
        f.db().punchIn(QStringLiteral("E1"), QDate(2026, 3, 5), QStringLiteral("08:00 AM"));
        f.punch(QStringLiteral("E1"), QStringLiteral("pw"), false);

        QCOMPARE(f.boxes.errorSteps(), std::vector<int>{136});
        QVERIFY(f.boxes.errors().at(0).text.contains(QStringLiteral("The clock shows no time")));
        QVERIFY(recordsOf(QStringLiteral("E1")).at(0).open);
        verifyBoxesCleared(form);
    }

    void closedConnectionWritesNothing_data() {
        QTest::addColumn<bool>("timeIn");
        QTest::newRow("time in") << true;
        QTest::newRow("time out") << false;
    }
    void closedConnectionWritesNothing() {
        QFETCH(bool, timeIn);
        MainWindowFixture f;
        MainWindow& form = f.load();
        f.addPerson(QStringLiteral("E1"), QStringLiteral("pw"), QStringLiteral("Ann"));
        f.db().punchIn(QStringLiteral("E1"), QDate(2026, 3, 5), QStringLiteral("08:00 AM"));
        f.db().close();
        f.punch(QStringLiteral("E1"), QStringLiteral("pw"), timeIn);

        QCOMPARE(f.boxes.errorSteps(), std::vector<int>{102});
        QCOMPARE(f.boxes.texts().size(), size_t(1));
        verifyBoxesCleared(form);
        f.db().open(f.folder.database());
        QCOMPARE(allRecords(), 1);
        QVERIFY(recordsOf(QStringLiteral("E1")).at(0).open);
    }

    void lockedDatabase() {
        MainWindowFixture f;
        MainWindow& form = f.load();
        f.addPerson(QStringLiteral("E1"), QStringLiteral("pw"), QStringLiteral("Ann"));
        f.db().setBusyTimeout(50);
        {
            // Another program writing: reads go on, the punch cannot be written.
            SQLite::Database other(f.folder.database().toStdString(), SQLite::OPEN_READWRITE);
            other.exec("BEGIN IMMEDIATE");
            f.punch(QStringLiteral("E1"), QStringLiteral("pw"));
            QCOMPARE(f.boxes.errorSteps(), std::vector<int>{126});
            QVERIFY(f.boxes.errors().at(0).text.contains(QStringLiteral("could not be changed")));
            verifyBoxesCleared(form);
            f.boxes.clear();
            // Another program holding the file exclusively: the person cannot even be looked up.
            other.exec("INSERT INTO tblLogins (EmployeeNo) VALUES ('E1')");
            other.exec("PRAGMA locking_mode = EXCLUSIVE");
            other.exec("COMMIT");
            other.exec("BEGIN EXCLUSIVE");
            f.punch(QStringLiteral("E1"), QStringLiteral("pw"));
            QCOMPARE(f.boxes.errorSteps(), std::vector<int>{102});
            verifyBoxesCleared(form);
            other.exec("ROLLBACK");
        }
        QCOMPARE(allRecords(), 1); // only the other program's
    }

    void unreadableRecordsNeverLeadToAWrite_data() {
        QTest::addColumn<bool>("timeIn");
        QTest::addColumn<int>("step");
        QTest::newRow("time in") << true << 112;
        QTest::newRow("time out") << false << 130;
    }
    void unreadableRecordsNeverLeadToAWrite() {
        QFETCH(bool, timeIn);
        QFETCH(int, step);
        MainWindowFixture f;
        MainWindow& form = f.load();
        f.addPerson(QStringLiteral("E1"), QStringLiteral("pw"), QStringLiteral("Ann"));
        // The persons can be read, the records cannot: a write attempt would show a box of its own.
        SQLite::Database other(f.folder.database().toStdString(), SQLite::OPEN_READWRITE);
        other.exec("ALTER TABLE tblLogins RENAME TO tblLoginsAway");
        f.punch(QStringLiteral("E1"), QStringLiteral("pw"), timeIn);

        QCOMPARE(f.boxes.errorSteps(), std::vector<int>{step});
        QCOMPARE(f.boxes.texts().size(), size_t(1));
        verifyBoxesCleared(form);
        QCOMPARE(other.execAndGet("SELECT count(*) FROM tblLoginsAway").getInt(), 0);
    }
};

TALLYCLOCK_TEST(PunchTest)
#include "PunchTest.moc"
#include "platform/PushButton.h"
#include <QLineEdit>
