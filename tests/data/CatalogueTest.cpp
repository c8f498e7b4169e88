#include "TestDatabase.h"
#include "common/TestSupport.h"
#include "credentials/Login.h"
#include "data/AttendanceDatabase.h"

#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace {

const QDate kDay(2026, 12, 9);

PersonFields person(const QString& number, const QString& name = QStringLiteral("Name"),
                    const QString& password = QStringLiteral("pw")) {
    return PersonFields{number, password, name, QStringLiteral("Dept"), QStringLiteral("Pos"), false};
}

// The person a punch finds for this number and password; none (EOF) when it refuses them.
RecordSet signIn(AttendanceDatabase& db, const QString& number, const QString& password) {
    return Login::check(db, number, password).person;
}

QStringList column(RecordSet rs, const char* field) {
    QStringList values;
    while (!rs.eof()) {
        values.append(rs.text(QString::fromLatin1(field)));
        rs.moveNext();
    }
    return values;
}

} // namespace

// Every test runs on each engine: they must agree.
class CatalogueTest : public EngineTestCase {
    Q_OBJECT

private slots:

    void letterCaseIgnoredAcrossUnicode() {
        m_db->insertPerson(person(QStringLiteral("äbc"), QStringLiteral("Anna"), QStringLiteral("PÄSS")));
        m_db->insertPerson(person(QStringLiteral("straße"), QStringLiteral("Sepp"), QStringLiteral("Fuß")));
        m_db->insertPerson(person(QStringLiteral("k9"), QStringLiteral("Kai"), QStringLiteral("x")));

        QCOMPARE(signIn(*m_db, QStringLiteral("ÄBC"), QStringLiteral("päss")).text("Name"),
                 QStringLiteral("Anna"));
        QCOMPARE(m_db->personByNumber(QStringLiteral("ÄbC")).text("Name"), QStringLiteral("Anna"));
        // Capital sharp s folds onto ß; the Kelvin sign folds onto k.
        QCOMPARE(signIn(*m_db, QStringLiteral("STRAẞE"), QStringLiteral("FUẞ")).text("Name"),
                 QStringLiteral("Sepp"));
        QCOMPARE(m_db->personByNumber(QStringLiteral("\u212A9")).text("Name"), QStringLiteral("Kai"));
        QCOMPARE(m_db->personByNumber(QStringLiteral("K9")).text("Name"), QStringLiteral("Kai"));
        // A wrong password in any case is still wrong.
        QVERIFY(signIn(*m_db, QStringLiteral("äbc"), QStringLiteral("PASS")).eof());

        m_db->punchIn(QStringLiteral("ÄBC"), kDay, QStringLiteral("09:05 AM"));
        QCOMPARE(column(m_db->recordsOfPerson(QStringLiteral("äbc")), "TimeIn"),
                 QStringList{QStringLiteral("09:05 AM")});
        // The record keeps the number as typed; the view still joins it with its person.
        QCOMPARE(column(m_db->loginsOfPerson(QStringLiteral("Äbc")), "Name"),
                 QStringList{QStringLiteral("Anna")});
        m_db->punchIn(QStringLiteral("\u212A9"), kDay, QStringLiteral("09:06 AM"));
        QCOMPARE(column(m_db->loginsOn(kDay), "EmployeeNo"),
                 (QStringList{QStringLiteral("ÄBC"), QStringLiteral("\u212A9")}));
        QCOMPARE(column(m_db->loginsOn(kDay), "Name"),
                 (QStringList{QStringLiteral("Anna"), QStringLiteral("Kai")}));
        QCOMPARE(column(m_db->allLogins(), "Name"),
                 (QStringList{QStringLiteral("Anna"), QStringLiteral("Kai")}));
        m_db->deleteRecordsOfPerson(QStringLiteral("K9"));

        m_db->punchOut(QStringLiteral("äBC"), kDay, QStringLiteral("10:00 AM"));
        QCOMPARE(column(m_db->recordsOfPerson(QStringLiteral("ÄBC")), "TimeOut"),
                 QStringList{QStringLiteral("10:00 AM")});
        m_db->deleteRecord(QStringLiteral("äbc"), kDay, QStringLiteral("09:05 AM"));
        QVERIFY(m_db->recordsOfPerson(QStringLiteral("ÄBC")).eof());

        m_db->deletePerson(QStringLiteral("STRAẞE"));
        QVERIFY(m_db->personByNumber(QStringLiteral("straße")).eof());
        QCOMPARE(m_data->count("tblEmployees"), 2);
    }

    void awkwardTextsStoredAndMatchedExactly() {
        const QStringList texts = {
            QStringLiteral("O'Brien"),
            QStringLiteral("say \"hi\""),
            QStringLiteral("a -- b"),
            QStringLiteral("100%"),
            QStringLiteral("a_b"),
            QStringLiteral("x'; DROP TABLE tblLogins; --"),
            QStringLiteral("tab\there\r\nline\x01\x1f"),
            QString(10000, QLatin1Char('w')),
            QStringLiteral("Ærøskøbing 東京 Ωμέγα"),
        };
        for (const QString& text : texts) {
            PersonFields fields{text,
                                text + QStringLiteral("pw"),
                                text + QStringLiteral("n"),
                                text + QStringLiteral("d"),
                                text + QStringLiteral("p"),
                                true};
            m_db->insertPerson(fields);
            m_db->punchIn(text, kDay, text + QStringLiteral("in"));
        }
        QCOMPARE(m_data->count("tblEmployees"), texts.size());
        QCOMPARE(m_data->count("tblLogins"), texts.size());

        for (const QString& text : texts) {
            RecordSet rs = signIn(*m_db, text, text + QStringLiteral("pw"));
            QVERIFY2(!rs.eof(), qPrintable(text.left(40)));
            QCOMPARE(rs.rowCount(), 1);
            QCOMPARE(rs.text("EmployeeNo"), text);
            QCOMPARE(rs.text("Name"), text + QStringLiteral("n"));
            QCOMPARE(rs.text("Department"), text + QStringLiteral("d"));
            QCOMPARE(rs.text("Position"), text + QStringLiteral("p"));
            QCOMPARE(rs.value("IsAdmin").toInt(), 1);

            RecordSet logins = m_db->loginsOfPerson(text);
            QCOMPARE(logins.rowCount(), 1);
            QCOMPARE(logins.text("TimeIn"), text + QStringLiteral("in"));
            QCOMPARE(logins.text("Name"), text + QStringLiteral("n"));
        }
        // A number that differs only by what a LIKE pattern or a trailing blank would hide.
        QVERIFY(m_db->personByNumber(QStringLiteral("100")).eof());
        QVERIFY(m_db->personByNumber(QStringLiteral("O'Brien ")).eof());
        QVERIFY(m_db->personByNumber(QString(9999, QLatin1Char('w'))).eof());

        // Deleting each one removes exactly its own rows.
        for (qsizetype i = 0; i < texts.size(); ++i) {
            m_db->deletePerson(texts.at(i));
            m_db->deleteRecordsOfPerson(texts.at(i));
            QCOMPARE(m_data->count("tblEmployees"), texts.size() - i - 1);
            QCOMPARE(m_data->count("tblLogins"), texts.size() - i - 1);
        }
    }

    void patternsAndQuotesNeverReachOtherPersons() {
        for (const char* number : {"123", "a", "1"}) {
            m_db->insertPerson(person(QString::fromLatin1(number)));
            m_db->punchIn(QString::fromLatin1(number), kDay, QStringLiteral("09:00 AM"));
        }
        const QStringList employees = m_data->rows("tblEmployees");
        const QStringList logins = m_data->rows("tblLogins");

        const QStringList hostile = {
            QStringLiteral("1' OR '1'='1"), QStringLiteral("%"),           QStringLiteral("_"),
            QStringLiteral("1%"),           QStringLiteral("' OR 1=1 --"), QStringLiteral("*")};
        for (const QString& number : hostile) {
            QVERIFY(m_db->personByNumber(number).eof());
            QVERIFY(signIn(*m_db, number, QStringLiteral("' OR '1'='1")).eof());
            QVERIFY(signIn(*m_db, QStringLiteral("123"), number).eof());
            QVERIFY(m_db->recordsOfPerson(number).eof());
            QVERIFY(m_db->loginsOfPerson(number).eof());
            m_db->updatePerson(number, person(QStringLiteral("new")));
            m_db->punchOut(number, kDay.addDays(1), QStringLiteral("05:00 PM"));
            m_db->deleteRecord(number, kDay, QStringLiteral("09:00 AM"));
            m_db->deleteRecordsOfPerson(number);
            m_db->deletePerson(number);
        }
        QCOMPARE(m_data->rows("tblEmployees"), employees);
        QCOMPARE(m_data->rows("tblLogins"), logins);
    }

    void punchOutClosesEveryOpenRecordOfThePerson() {
        m_db->punchIn(QStringLiteral("7"), kDay.addDays(-2), QStringLiteral("08:00 AM"));
        m_db->punchOut(QStringLiteral("7"), kDay.addDays(-2), QStringLiteral("04:00 PM"));
        m_db->punchIn(QStringLiteral("7"), kDay.addDays(-1), QStringLiteral("09:00 PM"));
        m_db->punchIn(QStringLiteral("7"), kDay.addDays(-1), QStringLiteral("10:00 PM"));
        m_db->punchIn(QStringLiteral("8"), kDay.addDays(-1), QStringLiteral("10:00 PM"));

        m_db->punchOut(QStringLiteral("7"), kDay, QStringLiteral("02:00 AM"));

        RecordSet rs = m_db->recordsOfPerson(QStringLiteral("7"));
        QCOMPARE(rs.rowCount(), 3);
        // The record closed before keeps its day and time.
        QCOMPARE(rs.value("LogDate").toDate(), kDay.addDays(-2));
        QCOMPARE(rs.text("TimeOut"), QStringLiteral("04:00 PM"));
        rs.moveNext();
        for (const char* timeIn : {"09:00 PM", "10:00 PM"}) {
            QCOMPARE(rs.text("TimeIn"), QString::fromLatin1(timeIn));
            QCOMPARE(rs.value("LogDate").toDate(), kDay);
            QCOMPARE(rs.text("TimeOut"), QStringLiteral("02:00 AM"));
            rs.moveNext();
        }
        // Another person's open record stays open.
        RecordSet other = m_db->recordsOfPerson(QStringLiteral("8"));
        QVERIFY(other.isNull("TimeOut"));
        QCOMPARE(other.value("LogDate").toDate(), kDay.addDays(-1));
    }

    void deleteRecordTakesIdenticalRecordsTogether() {
        for (int i = 0; i < 2; ++i)
            m_db->punchIn(QStringLiteral("7"), kDay, QStringLiteral("09:00 AM"));
        m_db->punchIn(QStringLiteral("7"), kDay, QStringLiteral("09:01 AM"));
        m_db->punchIn(QStringLiteral("7"), kDay.addDays(1), QStringLiteral("09:00 AM"));
        m_db->punchIn(QStringLiteral("70"), kDay, QStringLiteral("09:00 AM"));

        m_db->deleteRecord(QStringLiteral("7"), kDay, QStringLiteral("09:00 AM"));

        QCOMPARE(column(m_db->recordsOfPerson(QStringLiteral("7")), "TimeIn"),
                 (QStringList{QStringLiteral("09:01 AM"), QStringLiteral("09:00 AM")}));
        QCOMPARE(column(m_db->recordsOfPerson(QStringLiteral("7")), "LogDate"),
                 (QStringList{QStringLiteral("12/9/2026"), QStringLiteral("12/10/2026")}));
        QCOMPARE(m_db->recordsOfPerson(QStringLiteral("70")).rowCount(), 1);
    }

    void fieldsReadAsDisplayTexts() {
        m_db->punchIn(QStringLiteral("ghost"), kDay, QStringLiteral("09:05 AM"));
        RecordSet rs = m_db->loginsOn(kDay);
        QCOMPARE(rs.rowCount(), 1);
        // Null shows as an empty text but stays distinguishable from one.
        QCOMPARE(rs.text("TimeOut"), QString());
        QVERIFY(rs.isNull("TimeOut"));
        QVERIFY(!rs.value("TimeOut").isValid());
        QVERIFY(!rs.isNull("TimeIn"));
        // A record whose person does not exist is still listed, with empty person fields.
        QCOMPARE(rs.text("EmployeeNo"), QStringLiteral("ghost"));
        QCOMPARE(rs.text("Name"), QString());
        QVERIFY(rs.isNull("Name"));
        // Dates show in the short-date form with a four-digit year (en_US: M/d/yyyy).
        QCOMPARE(rs.text("LogDate"), QStringLiteral("12/9/2026"));
        QCOMPARE(rs.value("LogDate").toDate(), kDay);
        QVERIFY(m_db->loginsOn(kDay.addDays(1)).eof());
        QCOMPARE(m_db->allLogins().rowCount(), 1);

        // A deleted person's records stay in the list with empty names.
        m_db->insertPerson(person(QStringLiteral("7"), QStringLiteral("Ann")));
        m_db->punchIn(QStringLiteral("7"), kDay, QStringLiteral("10:00 AM"));
        QCOMPARE(column(m_db->loginsOn(kDay), "Name"), (QStringList{QString(), QStringLiteral("Ann")}));
        m_db->deletePerson(QStringLiteral("7"));
        QCOMPARE(column(m_db->loginsOn(kDay), "Name"), (QStringList{QString(), QString()}));
        QCOMPARE(column(m_db->loginsOn(kDay), "EmployeeNo"),
                 (QStringList{QStringLiteral("ghost"), QStringLiteral("7")}));
    }

    void latestInsertComesLast() {
        // Times and dates out of their natural order: the order is that of the inserts.
        const QStringList times = {QStringLiteral("11:00 AM"), QStringLiteral("09:00 AM"),
                                   QStringLiteral("10:00 PM"), QStringLiteral("01:00 AM")};
        const QDate days[] = {kDay, kDay.addDays(-5), kDay.addDays(3), kDay.addDays(-1)};
        for (int i = 0; i < times.size(); ++i)
            m_db->punchIn(QStringLiteral("7"), days[i], times.at(i));
        QCOMPARE(column(m_db->recordsOfPerson(QStringLiteral("7")), "TimeIn"), times);
        // Removing the latest and adding one more keeps the newest last.
        m_db->deleteRecord(QStringLiteral("7"), days[3], times.at(3));
        m_db->punchIn(QStringLiteral("7"), kDay.addDays(-9), QStringLiteral("03:00 AM"));
        RecordSet rs = m_db->recordsOfPerson(QStringLiteral("7"));
        rs.moveLast();
        QCOMPARE(rs.text("TimeIn"), QStringLiteral("03:00 AM"));
    }

    void duplicatePersonNumbersRefused() {
        m_db->insertPerson(person(QStringLiteral("abc"), QStringLiteral("First")));
        m_db->insertPerson(person(QStringLiteral("äbc"), QStringLiteral("Second")));
        m_db->insertPerson(person(QStringLiteral("other"), QStringLiteral("Third")));
        const QStringList before = m_data->rows("tblEmployees");

        for (const char* number : {"abc", "ABC", "ÄBC", "äBc"}) {
            try {
                m_db->insertPerson(person(QString::fromUtf8(number), QStringLiteral("Intruder")));
                QFAIL("a duplicate person number was stored");
            } catch (const std::runtime_error& e) {
                QCOMPARE(QString::fromUtf8(e.what()),
                         QStringLiteral("The person number \"%1\" is already in use by another person.")
                             .arg(QString::fromUtf8(number)));
            }
            try {
                m_db->updatePerson(QStringLiteral("other"), person(QString::fromUtf8(number)));
                QFAIL("an update took another person's number");
            } catch (const std::runtime_error& e) {
                QVERIFY(QString::fromUtf8(e.what()).contains(QStringLiteral("already in use")));
            }
        }
        QCOMPARE(m_data->rows("tblEmployees"), before);

        // A person may keep its own number, also in other letter case.
        m_db->updatePerson(QStringLiteral("ÄBC"), person(QStringLiteral("ÄBC"), QStringLiteral("Renamed")));
        QCOMPARE(m_db->personByNumber(QStringLiteral("äbc")).text("Name"), QStringLiteral("Renamed"));
        QCOMPARE(m_db->personByNumber(QStringLiteral("äbc")).text("EmployeeNo"), QStringLiteral("ÄBC"));
        QCOMPARE(m_db->personByNumber(QStringLiteral("abc")).text("Name"), QStringLiteral("First"));
    }

    void updateOfVanishedPersonChangesNothing() {
        m_db->insertPerson(person(QStringLiteral("1"), QStringLiteral("One")));
        m_db->punchIn(QStringLiteral("gone"), kDay, QStringLiteral("09:00 AM"));
        const QStringList employees = m_data->rows("tblEmployees");
        const QStringList logins = m_data->rows("tblLogins");
        m_db->updatePerson(QStringLiteral("gone"), person(QStringLiteral("2"), QStringLiteral("Two")));
        // Even to a number that is in use: there is no one to rename.
        m_db->updatePerson(QStringLiteral("gone"), person(QStringLiteral("1"), QStringLiteral("Two")));
        QCOMPARE(m_data->rows("tblEmployees"), employees);
        QCOMPARE(m_data->rows("tblLogins"), logins);
    }

    void updateChangesOnlyThePersonRow() {
        m_db->insertPerson(person(QStringLiteral("1"), QStringLiteral("One")));
        m_db->punchIn(QStringLiteral("1"), kDay, QStringLiteral("09:00 AM"));
        m_db->updatePerson(QStringLiteral("1"),
                           PersonFields{QStringLiteral("9"), QStringLiteral("new"), QStringLiteral("Nine"),
                                        QStringLiteral("D"), QStringLiteral("P"), true});
        RecordSet rs = signIn(*m_db, QStringLiteral("9"), QStringLiteral("NEW"));
        QCOMPARE(rs.text("Name"), QStringLiteral("Nine"));
        QCOMPARE(rs.text("IsAdmin"), QStringLiteral("1"));
        QCOMPARE(m_db->administrators().rowCount(), 1);
        // The records keep the old number.
        QCOMPARE(m_db->recordsOfPerson(QStringLiteral("1")).rowCount(), 1);
        QVERIFY(m_db->recordsOfPerson(QStringLiteral("9")).eof());
    }

    void personsComeByName() {
        // Letter case does not split the list into capitals first and small letters after.
        for (const char* name : {"bert", "Dora", "anna", "Carl"})
            m_db->insertPerson(person(QString::fromLatin1(name), QString::fromLatin1(name)));
        QCOMPARE(column(m_db->personsByName(), "Name"),
                 (QStringList{QStringLiteral("anna"), QStringLiteral("bert"), QStringLiteral("Carl"),
                              QStringLiteral("Dora")}));
    }

    // The person's records before the punch: o open, c closed, e closed with an empty time-out.
    void punchDecidesOnTheLatestRecord_data() {
        QTest::addColumn<bool>("in");
        QTest::addColumn<QString>("before");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("after");
        const int written = int(PunchOutcome::Written);
        QTest::newRow("in, no record") << true << "" << written << "o";
        QTest::newRow("in, latest closed") << true << "cc" << written << "cco";
        QTest::newRow("in, latest open") << true << "co" << int(PunchOutcome::AlreadyIn) << "co";
        QTest::newRow("in, latest time-out empty") << true << "e" << int(PunchOutcome::AlreadyIn) << "e";
        QTest::newRow("out, no record") << false << "" << int(PunchOutcome::NotYetIn) << "";
        QTest::newRow("out, all closed") << false << "cc" << written << "cc";
        QTest::newRow("out, two open") << false << "oo" << written << "cc";
    }
    void punchDecidesOnTheLatestRecord() {
        QFETCH(bool, in);
        QFETCH(QString, before);
        QFETCH(int, outcome);
        QFETCH(QString, after);
        const QString number = QStringLiteral("7");
        // A punch-out closes every open record, so open ones can only follow the closed ones.
        for (QChar state : before) {
            m_db->punchIn(number, kDay.addDays(-1), QStringLiteral("08:00 AM"));
            if (state != QLatin1Char('o'))
                m_db->punchOut(number, kDay.addDays(-1),
                               state == QLatin1Char('e') ? QString() : QStringLiteral("x"));
        }
        // Another person's open record decides nothing.
        m_db->punchIn(QStringLiteral("70"), kDay, QStringLiteral("09:00 AM"));

        QCOMPARE(int(m_db->punch(in ? PunchKind::In : PunchKind::Out, QStringLiteral("7"), kDay,
                                 QStringLiteral("05:00 PM"))),
                 outcome);
        QString states;
        for (RecordSet rs = m_db->recordsOfPerson(number); !rs.eof(); rs.moveNext()) {
            const bool open = rs.isNull(QStringLiteral("TimeOut"));
            states += open                                           ? QLatin1Char('o')
                      : rs.text(QStringLiteral("TimeOut")).isEmpty() ? QLatin1Char('e')
                                                                     : QLatin1Char('c');
        }
        QCOMPARE(states, after);
    }

    void punchDecidesAfterAnotherTerminalsPunch_data() {
        QTest::addColumn<bool>("in");
        QTest::addColumn<int>("outcome");
        QTest::newRow("in") << true << int(PunchOutcome::AlreadyIn);
        QTest::newRow("out") << false << int(PunchOutcome::Written);
    }
    void punchDecidesAfterAnotherTerminalsPunch() {
        QFETCH(bool, in);
        QFETCH(int, outcome);
        // Another terminal is in the middle of punching the person in when this one punches: this
        // punch waits for it and decides on what it wrote, not on what was there before.
        m_db->insertPerson(person(QStringLiteral("abc")));
        const std::unique_ptr<TestDatabase::Raw> other = m_data->connect();
        other->exec("BEGIN IMMEDIATE", "BEGIN");
        other->exec("SELECT 1", "SELECT 1 FROM \"tblEmployees\" WHERE \"EmployeeNo\" = 'abc' FOR UPDATE");
        other->exec(
            "INSERT INTO tblLogins (EmployeeNo, LogDate, TimeIn) VALUES ('abc', '2026-12-09', '09:00 AM')",
            "INSERT INTO \"tblLogins\" (\"EmployeeNo\", \"LogDate\", \"TimeIn\") "
            "VALUES ('abc', '2026-12-09', '09:00 AM')");
        std::thread finish([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            other->exec("COMMIT", "COMMIT");
        });
        const PunchOutcome result = m_db->punch(in ? PunchKind::In : PunchKind::Out, QStringLiteral("ABC"),
                                                kDay, QStringLiteral("10:00 AM"));
        finish.join();
        QCOMPARE(int(result), outcome);
        RecordSet records = m_db->recordsOfPerson(QStringLiteral("abc"));
        QCOMPARE(records.rowCount(), 1);
        QCOMPARE(records.text(QStringLiteral("TimeOut")), in ? QString() : QStringLiteral("10:00 AM"));
    }

    void personDeletedWithRecordsOrNotAtAll() {
        m_db->insertPerson(person(QStringLiteral("7"), QStringLiteral("Ann")));
        m_db->insertPerson(person(QStringLiteral("8"), QStringLiteral("Bob")));
        for (const char* number : {"7", "7", "8"})
            m_db->punchIn(QString::fromLatin1(number), kDay, QStringLiteral("09:00 AM"));
        // A rule of the database refuses to delete records: the person must stay too.
        m_data->exec(
            "CREATE TRIGGER keepRecords BEFORE DELETE ON tblLogins "
            "BEGIN SELECT RAISE(ABORT, 'records are kept'); END",
            "CREATE FUNCTION keep() RETURNS trigger LANGUAGE plpgsql AS "
            "$$BEGIN RAISE EXCEPTION 'records are kept'; END$$; "
            "CREATE TRIGGER keepRecords BEFORE DELETE ON \"tblLogins\" FOR EACH ROW EXECUTE FUNCTION keep()");
        QVERIFY(failureOf([&] {
                    m_db->deletePersonWithRecords(QStringLiteral("7"));
                }).contains(QStringLiteral("records are kept")));
        QCOMPARE(m_data->count("tblEmployees"), 2);
        QCOMPARE(m_data->count("tblLogins"), 3);
        m_data->exec("DROP TRIGGER keepRecords", "DROP TRIGGER keepRecords ON \"tblLogins\"");
        m_db->deletePersonWithRecords(QStringLiteral("7"));
        QCOMPARE(m_data->count("tblEmployees"), 1);
        QCOMPARE(column(m_db->allLogins(), "EmployeeNo"), QStringList{QStringLiteral("8")});
    }

    void loginsBetweenTwoDays_data() {
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<QString>("number"); // "*" for every person
        QTest::addColumn<QStringList>("timesIn");
        QTest::newRow("every person")
            << kDay << kDay.addDays(1) << "*" << QStringList{"d1", "ä1", "g1", "d2", "ä2"};
        QTest::newRow("one day") << kDay.addDays(1) << kDay.addDays(1) << "*" << QStringList{"d2", "ä2"};
        QTest::newRow("one person, other case")
            << kDay.addDays(-1) << kDay.addDays(5) << "ÄBC" << QStringList{"ä1", "ä2", "ä3"};
        QTest::newRow("gone person") << kDay << kDay << "ghost" << QStringList{"g1"};
        QTest::newRow("pattern is no pattern") << kDay << kDay << "%" << QStringList{};
        QTest::newRow("backwards") << kDay.addDays(1) << kDay << "*" << QStringList{};
    }
    void loginsBetweenTwoDays() {
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(QString, number);
        m_db->insertPerson(person(QStringLiteral("äbc"), QStringLiteral("Anna")));
        m_db->insertPerson(person(QStringLiteral("D"), QStringLiteral("Dan")));
        // Inserted out of day order: the result comes by day, then in insert order.
        m_db->punchIn(QStringLiteral("D"), kDay.addDays(1), QStringLiteral("d2"));
        m_db->punchIn(QStringLiteral("D"), kDay, QStringLiteral("d1"));
        m_db->punchIn(QStringLiteral("äbc"), kDay, QStringLiteral("ä1"));
        m_db->punchIn(QStringLiteral("ghost"), kDay, QStringLiteral("g1"));
        m_db->punchIn(QStringLiteral("ÄBC"), kDay.addDays(1), QStringLiteral("ä2"));
        m_db->punchIn(QStringLiteral("äbc"), kDay.addDays(2), QStringLiteral("ä3"));
        m_db->punchIn(QStringLiteral("D"), kDay.addDays(-1), QStringLiteral("d0"));

        const std::optional<QString> who =
            number == QLatin1String("*") ? std::nullopt : std::optional<QString>(number);
        const RecordSet rs = m_db->loginsBetween(from, to, who);
        QTEST(column(rs, "TimeIn"), "timesIn");
        if (number == QLatin1String("ÄBC"))
            QCOMPARE(column(rs, "Name"), QStringList(3, QStringLiteral("Anna")));
        QCOMPARE(column(m_db->loginsBetween(kDay, kDay), "LogDate"),
                 QStringList(3, QStringLiteral("12/9/2026")));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, m_db->loginsBetween(QDate(), kDay));
    }

    void invalidDateIsRefused() {
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 m_db->punchIn(QStringLiteral("7"), QDate(), QStringLiteral("x")));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, m_db->loginsOn(QDate()));
        QCOMPARE(m_data->count("tblLogins"), 0);
    }
};

TALLYCLOCK_TEST(CatalogueTest)
#include "CatalogueTest.moc"
