#include "clock/LoginDifference.h"
#include "common/TestSupport.h"
#include "core/MainWindow.h"
#include "data/SettingsStore.h"
#include "platform/SystemClock.h"

#include <QLabel>
#include <QTest>
#include <QTimer>
#include <stdexcept>

using TestSupport::control;

namespace {

void save(const char* key, const char* value) {
    SettingsStore::SaveSetting(SettingsStore::kApplication, SettingsStore::kSection, QString::fromLatin1(key),
                               QString::fromUtf8(value));
}

void setNow(int hour, int minute) {
    SystemClock::setFixed(QDateTime(QDate(2026, 12, 9), QTime(hour, minute)));
}

} // namespace

// The date and time labels, as the tick draws them from the stored format choices.
class ClockTest : public QObject {
    Q_OBJECT

    MainWindow* m_window = nullptr;

    // One tick; the labels' texts afterwards.
    QPair<QString, QString> tick() {
        m_window->tick();
        return {control<QLabel>(*m_window, "dateLabel")->text(),
                control<QLabel>(*m_window, "timeLabel")->text()};
    }

private slots:
    void init() {
        TestSupport::clearSettings();
        setNow(14, 5);
        m_window = new MainWindow;
        control<QTimer>(*m_window, "clockTimer")->stop();
    }

    void cleanup() {
        delete m_window;
        TestSupport::clearSettings();
        SystemClock::clearFixed();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    void defaultsAreMonthFirstAndTwelveHour() {
        QCOMPARE(tick(), qMakePair(QStringLiteral("12/09/2026"), QStringLiteral("02:05 PM")));
        QCOMPARE(m_window->shownDate(), QDate(2026, 12, 9));
        setNow(0, 30);
        QCOMPARE(tick().second, QStringLiteral("12:30 AM"));
        setNow(12, 0);
        QCOMPARE(tick().second, QStringLiteral("12:00 PM"));
        setNow(9, 7);
        QCOMPARE(tick().second, QStringLiteral("09:07 AM"));
    }

    void dayFirstAndTwentyFourHour() {
        save("Option1", "False");
        save("Option2", "True");
        save("Option3", "False");
        save("Option4", "True");
        QCOMPARE(tick(), qMakePair(QStringLiteral("09/12/2026"), QStringLiteral("14:05")));
        setNow(0, 30);
        QCOMPARE(tick().second, QStringLiteral("00:30"));
        // The first of each pair wins when both are true.
        save("Option1", "True");
        save("Option3", "True");
        QCOMPARE(tick(), qMakePair(QStringLiteral("12/09/2026"), QStringLiteral("12:30 AM")));
    }

    void bothFalseLeavesTheLabelsAsTheyWere() {
        save("Option1", "False");
        save("Option2", "False");
        save("Option3", "False");
        save("Option4", "False");
        // A fresh window's labels stay empty.
        QCOMPARE(tick(), qMakePair(QString(), QString()));
        QVERIFY(!m_window->shownDate().isValid());

        save("Option1", "True");
        save("Option3", "True");
        QCOMPARE(tick(), qMakePair(QStringLiteral("12/09/2026"), QStringLiteral("02:05 PM")));
        save("Option1", "False");
        save("Option3", "False");
        SystemClock::setFixed(QDateTime(QDate(2027, 1, 2), QTime(8, 0)));
        QCOMPARE(tick(), qMakePair(QStringLiteral("12/09/2026"), QStringLiteral("02:05 PM")));
        QCOMPARE(m_window->shownDate(), QDate(2026, 12, 9));
    }

    void numbersReadAsBooleans() {
        save("Option1", "0");
        save("Option2", "-1");
        save("Option3", "0");
        save("Option4", "1");
        QCOMPARE(tick(), qMakePair(QStringLiteral("09/12/2026"), QStringLiteral("14:05")));
        save("Option1", "-1");
        save("Option3", "1");
        QCOMPARE(tick(), qMakePair(QStringLiteral("12/09/2026"), QStringLiteral("02:05 PM")));
        save("Option1", "false");
        save("Option2", "TRUE");
        QCOMPARE(tick().first, QStringLiteral("09/12/2026"));
    }

    void unreadableSettingFailsTheTick() {
        QCOMPARE(tick().first, QStringLiteral("12/09/2026"));
        save("Option3", "maybe");
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, m_window->tick());
        save("Option3", "True");
        save("Option1", "");
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, m_window->tick());
        // An unreadable setting that is never consulted does no harm.
        save("Option1", "True");
        save("Option2", "maybe");
        QCOMPARE(tick().first, QStringLiteral("12/09/2026"));
    }

    void tickFailureOutsideStartUpIsShownOnce() {
        TestSupport::MessageRecorder boxes;
        save("Option1", "maybe");
        control<QTimer>(*m_window, "clockTimer")->setInterval(20);
        control<QTimer>(*m_window, "clockTimer")->start();
        QTest::qWait(200);
        QCOMPARE(boxes.errors().size(), size_t(1));
        QVERIFY(boxes.errors().at(0).text.contains(QStringLiteral("Form1.Timer1_Timer")));
        // Once it reads again, a later failure is shown again.
        save("Option1", "True");
        QTRY_COMPARE(control<QLabel>(*m_window, "dateLabel")->text(), QStringLiteral("12/09/2026"));
        save("Option1", "maybe");
        QTRY_COMPARE(boxes.errors().size(), size_t(2));
        control<QTimer>(*m_window, "clockTimer")->stop();
    }

    void separatorsAndDesignatorsOfTheLocale() {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        save("Option4", "True");
        QCOMPARE(tick(), qMakePair(QStringLiteral("12.09.2026"), QStringLiteral("02:05 PM")));
        save("Option3", "False");
        QCOMPARE(tick().second, QStringLiteral("14:05"));

        // Finnish writes the time with a full stop and has its own designators.
        QLocale::setDefault(QLocale(QLocale::Finnish, QLocale::Finland));
        save("Option3", "True");
        QCOMPARE(tick(), qMakePair(QStringLiteral("12.09.2026"), QStringLiteral("02.05 ip.")));
        setNow(0, 30);
        QCOMPARE(tick().second, QStringLiteral("12.30 ap."));

        QLocale::setDefault(QLocale(QLocale::Korean, QLocale::SouthKorea));
        QCOMPARE(tick(), qMakePair(QStringLiteral("12.09.2026"), QStringLiteral("12:30 오전")));

        // A short date written with right-to-left marks around its slashes still gives slashes.
        QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt));
        QCOMPARE(tick().first, QStringLiteral("12/09/2026"));
    }

    void loginDifferences() {
        QCOMPARE(loginDifference(QStringLiteral("09:05 AM"), QStringLiteral("09:05 AM")),
                 QStringLiteral("0 sec(s)"));
        QCOMPARE(loginDifference(QStringLiteral("09:05 AM"), QStringLiteral("11:35 AM")),
                 QStringLiteral("150 min(s)"));
        QCOMPARE(loginDifference(QStringLiteral("11:50 AM"), QStringLiteral("12:10 PM")),
                 QStringLiteral("20 min(s)"));
        // Closed after midnight: only the times of day count, so the difference is negative.
        QCOMPARE(loginDifference(QStringLiteral("11:50 PM"), QStringLiteral("12:20 AM")),
                 QStringLiteral("-1410 min(s)"));
        QCOMPARE(loginDifference(QStringLiteral("11:50 PM"), QStringLiteral("11:20 PM")),
                 QStringLiteral("-30 min(s)"));
        QCOMPARE(loginDifference(QStringLiteral("09:05"), QStringLiteral("17:45")),
                 QStringLiteral("520 min(s)"));
        QCOMPARE(loginDifference(QStringLiteral("23:50"), QStringLiteral("00:20")),
                 QStringLiteral("-1410 min(s)"));
        // The format may change between punch-in and punch-out.
        QCOMPARE(loginDifference(QStringLiteral("09:05 AM"), QStringLiteral("14:00")),
                 QStringLiteral("295 min(s)"));
        // Minute boundaries, not elapsed whole minutes; seconds within one minute.
        QCOMPARE(loginDifference(QStringLiteral("09:05:50"), QStringLiteral("09:06:10")),
                 QStringLiteral("1 min(s)"));
        QCOMPARE(loginDifference(QStringLiteral("09:05:10"), QStringLiteral("09:05:50")),
                 QStringLiteral("40 sec(s)"));
        QCOMPARE(loginDifference(QStringLiteral("09:05 AM"), QString()), QString());
        QCOMPARE(loginDifference(QString(), QStringLiteral("09:05 AM")), QString());
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 loginDifference(QStringLiteral("09:05 AM"), QStringLiteral("soon")));
    }
};

TALLYCLOCK_TEST(ClockTest)
#include "ClockTest.moc"
