#include "clock/LoginDifference.h"
#include "clock/MainWindowFixture.h"
#include "platform/DateTexts.h"
#include "platform/ListView.h"

#include <QLabel>
#include <QTest>
#include <stdexcept>

using TestSupport::control;

namespace {

QDateTime at(int day, int hour, int minute) {
    return QDateTime(QDate(2026, 3, day), QTime(hour, minute));
}

// Restores the test locale however a test ends.
struct LocaleGuard {
    explicit LocaleGuard(const QLocale& locale) { QLocale::setDefault(locale); }
    ~LocaleGuard() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
};

} // namespace

class TodayListTest : public QObject {
    Q_OBJECT
private slots:
    void difference_data() {
        QTest::addColumn<QString>("timeIn");
        QTest::addColumn<QString>("timeOut");
        QTest::addColumn<QString>("expected");
        QTest::newRow("same minute") << "09:05 AM"
                                     << "09:05 AM"
                                     << "0 sec(s)";
        QTest::newRow("seconds within a minute") << "09:05:10 AM"
                                                 << "09:05:50 AM"
                                                 << "40 sec(s)";
        QTest::newRow("seconds across a boundary") << "09:05:50 AM"
                                                   << "09:06:10 AM"
                                                   << "1 min(s)";
        QTest::newRow("no hours") << "09:05 AM"
                                  << "11:35 AM"
                                  << "150 min(s)";
        QTest::newRow("noon") << "11:55 AM"
                              << "12:05 PM"
                              << "10 min(s)";
        QTest::newRow("closed earlier on the clock") << "09:30 AM"
                                                     << "09:00 AM"
                                                     << "-30 min(s)";
        QTest::newRow("closed after midnight") << "11:50 PM"
                                               << "12:20 AM"
                                               << "-1410 min(s)";
        QTest::newRow("backwards within a minute") << "09:05:50"
                                                   << "09:05:10"
                                                   << "-40 sec(s)";
        QTest::newRow("24-hour") << "14:05"
                                 << "16:10"
                                 << "125 min(s)";
        QTest::newRow("format changed during the day") << "09:05 AM"
                                                       << "13:00"
                                                       << "235 min(s)";
        QTest::newRow("lower case designators") << "09:05 am"
                                                << "01:00 pm"
                                                << "235 min(s)";
        QTest::newRow("open record") << "09:05 AM"
                                     << ""
                                     << "";
    }
    void difference() {
        QFETCH(QString, timeIn);
        QFETCH(QString, timeOut);
        QFETCH(QString, expected);
        QCOMPARE(loginDifference(timeIn, timeOut), expected);
    }

    void unreadableTimeIsAFailure() {
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 loginDifference(QStringLiteral("soon"), QStringLiteral("09:05")));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 loginDifference(QStringLiteral("09:05 AM"), QStringLiteral("13:05 PM")));
    }

    // Whatever designators the locale has, in whatever letter case they come back.
    void everyLocaleReadsItsOwnClockTexts_data() {
        QTest::addColumn<QLocale>("locale");
        for (const char* name : {"de_DE", "es_ES", "ko_KR", "el_GR", "zh_CN", "ar_EG", "fi_FI", "sq_AL"})
            QTest::newRow(name) << QLocale(QString::fromLatin1(name));
    }
    void everyLocaleReadsItsOwnClockTexts() {
        QFETCH(QLocale, locale);
        LocaleGuard guard(locale);
        using DateTexts::HourCycle;
        for (const auto& [in, out, expected] :
             {std::tuple{QTime(9, 5), QTime(11, 35), 150}, std::tuple{QTime(11, 55), QTime(12, 5), 10},
              std::tuple{QTime(23, 50), QTime(0, 20), -1410}, std::tuple{QTime(0, 30), QTime(13, 30), 780}}) {
            const QString expectedText = QString::number(expected) + QStringLiteral(" min(s)");
            for (HourCycle cycle : {HourCycle::TwelveHour, HourCycle::TwentyFourHour}) {
                const QString textIn = DateTexts::clockTime(in, cycle);
                const QString textOut = DateTexts::clockTime(out, cycle);
                QCOMPARE(loginDifference(textIn, textOut), expectedText);
                QCOMPARE(loginDifference(textIn.toUpper(), textOut.toLower()), expectedText);
            }
        }
    }

    void listShowsTheShownDaysRecords() {
        MainWindowFixture f(at(5, 16, 0));
        MainWindow& form = f.load();
        f.addPerson(QStringLiteral("E1"), QStringLiteral("pw"), QStringLiteral("Ann"));
        f.form->listLogins();
        QCOMPARE(control<ListView>(form, "todayList")->rowCount(), 0);

        f.db().punchIn(QStringLiteral("E1"), QDate(2026, 3, 4), QStringLiteral("08:00 AM"));
        f.db().punchOut(QStringLiteral("E1"), QDate(2026, 3, 4), QStringLiteral("04:00 PM"));
        f.db().punchIn(QStringLiteral("E1"), QDate(2026, 3, 5), QStringLiteral("09:05 AM"));
        f.db().punchOut(QStringLiteral("E1"), QDate(2026, 3, 5), QStringLiteral("11:35 AM"));
        f.db().punchIn(QStringLiteral("E1"), QDate(2026, 3, 5), QStringLiteral("01:00 PM"));
        f.db().punchIn(QStringLiteral("X9"), QDate(2026, 3, 5), QStringLiteral("02:00 PM")); // person gone
        form.listLogins();

        QCOMPARE(control<ListView>(form, "todayList")->rowCount(), 3);
        const QStringList first{QStringLiteral("E1"),       QStringLiteral("Ann"),
                                QStringLiteral("Works"),    QStringLiteral("Clerk"),
                                QStringLiteral("3/5/2026"), QStringLiteral("09:05 AM"),
                                QStringLiteral("11:35 AM"), QStringLiteral("150 min(s)")};
        for (int column = 0; column < 8; ++column)
            QCOMPARE(control<ListView>(form, "todayList")->itemText(0, column), first.at(column));
        QCOMPARE(control<ListView>(form, "todayList")->itemText(1, 6), QString());
        QCOMPARE(control<ListView>(form, "todayList")->itemText(1, 7), QString()); // still open
        QCOMPARE(control<ListView>(form, "todayList")->itemText(2, 0), QStringLiteral("X9"));
        QCOMPARE(control<ListView>(form, "todayList")->itemText(2, 1), QString());

        f.moveClockTo(at(4, 16, 0));
        form.listLogins();
        QCOMPARE(control<ListView>(form, "todayList")->rowCount(), 1);
        QCOMPARE(control<ListView>(form, "todayList")->itemText(0, 7), QStringLiteral("480 min(s)"));
        QVERIFY(f.boxes.shown().empty());
    }

    void twentyFourHourPunchesAcrossMidnight() {
        MainWindowFixture f(at(4, 22, 0));
        SettingsStore::saveFlag(QStringLiteral("Option3"), false);
        SettingsStore::saveFlag(QStringLiteral("Option4"), true);
        MainWindow& form = f.load();
        f.addPerson(QStringLiteral("E1"), QStringLiteral("pw"), QStringLiteral("Ann"));
        f.punch(QStringLiteral("E1"), QStringLiteral("pw"));
        f.moveClockTo(at(5, 6, 15));
        f.punch(QStringLiteral("E1"), QStringLiteral("pw"), false);

        QVERIFY(f.boxes.shown().empty());
        QCOMPARE(control<ListView>(form, "todayList")->rowCount(), 1);
        QCOMPARE(control<ListView>(form, "todayList")->itemText(0, 5), QStringLiteral("22:00"));
        QCOMPARE(control<ListView>(form, "todayList")->itemText(0, 6), QStringLiteral("06:15"));
        QCOMPARE(control<ListView>(form, "todayList")->itemText(0, 7), QStringLiteral("-945 min(s)"));
    }

    // Punched by a Korean user, listed for an English one, and the other way round.
    void timesStoredUnderOneLocaleListUnderAnother() {
        MainWindowFixture f(at(5, 9, 5));
        MainWindow& form = f.load();
        f.addPerson(QStringLiteral("E1"), QStringLiteral("pw"), QStringLiteral("Ann"));
        f.addPerson(QStringLiteral("E2"), QStringLiteral("pw"), QStringLiteral("Bob"));
        {
            LocaleGuard korean(QLocale(QLocale::Korean, QLocale::SouthKorea));
            form.tick();
            f.punch(QStringLiteral("E1"), QStringLiteral("pw"));
        }
        f.moveClockTo(at(5, 13, 35));
        f.punch(QStringLiteral("E2"), QStringLiteral("pw"));
        f.punch(QStringLiteral("E1"), QStringLiteral("pw"), false);
        QVERIFY(f.boxes.shown().empty());
        QCOMPARE(control<ListView>(form, "todayList")->itemText(0, 5), QStringLiteral("09:05 오전"));
        QCOMPARE(control<ListView>(form, "todayList")->itemText(0, 6), QStringLiteral("01:35 PM"));
        QCOMPARE(control<ListView>(form, "todayList")->itemText(0, 7), QStringLiteral("270 min(s)"));

        LocaleGuard korean(QLocale(QLocale::Korean, QLocale::SouthKorea));
        f.moveClockTo(at(5, 18, 0));
        f.punch(QStringLiteral("E2"), QStringLiteral("pw"), false);
        QVERIFY(f.boxes.shown().empty());
        QCOMPARE(control<ListView>(form, "todayList")->itemText(1, 6), QStringLiteral("06:00 오후"));
        QCOMPARE(control<ListView>(form, "todayList")->itemText(1, 7), QStringLiteral("265 min(s)"));
        QCOMPARE(control<ListView>(form, "todayList")->itemText(0, 7), QStringLiteral("270 min(s)"));
    }

    void unreadableTimeKeepsTheRowsSoFar() {
        MainWindowFixture f;
        MainWindow& form = f.load();
        f.addPerson(QStringLiteral("E1"), QStringLiteral("pw"), QStringLiteral("Ann"));
        f.addPerson(QStringLiteral("E2"), QStringLiteral("pw"), QStringLiteral("Bob"));
        f.db().punchIn(QStringLiteral("E1"), QDate(2026, 3, 5), QStringLiteral("08:00 AM"));
        f.db().punchOut(QStringLiteral("E1"), QDate(2026, 3, 5), QStringLiteral("09:00 AM"));
        f.db().punchIn(QStringLiteral("E2"), QDate(2026, 3, 5), QStringLiteral("08:00 AM"));
        f.db().punchOut(QStringLiteral("E2"), QDate(2026, 3, 5), QStringLiteral("half past nine"));
        f.db().punchIn(QStringLiteral("E1"), QDate(2026, 3, 5), QStringLiteral("10:00 AM"));

        QVERIFY_THROWS_EXCEPTION(std::runtime_error, form.listLogins());
        QCOMPARE(control<ListView>(form, "todayList")->rowCount(), 2);
        QCOMPARE(control<ListView>(form, "todayList")->itemText(0, 7), QStringLiteral("60 min(s)"));
        QCOMPARE(control<ListView>(form, "todayList")->itemText(1, 1), QStringLiteral("Bob"));
        QCOMPARE(control<ListView>(form, "todayList")->itemText(1, 6), QStringLiteral("half past nine"));
        QCOMPARE(control<ListView>(form, "todayList")->itemText(1, 7), QString());

        // A punch that refreshes the list reports the failure under its own step.
        f.moveClockTo(QDateTime(QDate(2026, 3, 5), QTime(11, 0)));
        f.punch(QStringLiteral("E1"), QStringLiteral("pw"), false);
        QCOMPARE(f.boxes.errorSteps(), std::vector<int>{138});
        QVERIFY(f.boxes.errors().at(0).text.contains(QStringLiteral("half past nine")));
        QVERIFY(control<QLineEdit>(form, "numberBox")->text().isEmpty());
    }
};

TALLYCLOCK_TEST(TodayListTest)
#include "TodayListTest.moc"
#include <QLineEdit>
