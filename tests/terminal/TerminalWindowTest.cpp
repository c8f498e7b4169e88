#include "clock/MainWindowFixture.h"
#include "hours/HoursTotals.h"
#include "persons/PersonsWindow.h"
#include "terminal/BadgeReader.h"
#include "terminal/Banner.h"
#include "terminal/TerminalSettings.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

namespace {

const QDateTime kNow(QDate(2026, 3, 5), QTime(9, 5));

// The main window in terminal mode over a fresh data folder; Ann (01, badge 4021) and the administrator
// Boss (99) exist.
struct TerminalScene : MainWindowFixture {
    explicit TerminalScene(Terminal::Settings settings = {}) : MainWindowFixture(kNow) {
        settings.kiosk = true;
        Terminal::setCurrent(settings);
        load();
        form->show();
        QApplication::setActiveWindow(form.get());
        addPerson(QStringLiteral("01"), QStringLiteral("pw"), QStringLiteral("Ann"));
        db().setBadge(QStringLiteral("01"), QStringLiteral("4021"));
        db().insertPerson(
            {QStringLiteral("99"), QStringLiteral("boss"), QStringLiteral("Boss"), {}, {}, true});
        reader = form->findChild<BadgeReader*>();
        reader->setClock([this] { return readerClock; });
        banner = form->findChild<Banner*>(QStringLiteral("banner"));
    }
    ~TerminalScene() { Terminal::setCurrent({}); }

    QLineEdit* box(const char* name) const { return control<QLineEdit>(*form, name); }

    // A badge read as a reader types it: the digit row's X keycodes, `gapMs` apart by the reader's
    // clock, then Enter; sent to whatever has the focus.
    void swipe(const QString& code, int gapMs = 0) {
        for (const QChar c : code) {
            const quint32 keycode = c == QLatin1Char('0') ? 19 : 9 + quint32(c.digitValue());
            QKeyEvent press(QEvent::KeyPress, Qt::Key_0 + c.digitValue(), Qt::NoModifier, keycode, 0, 0, c);
            QApplication::sendEvent(QApplication::focusWidget(), &press);
            readerClock += gapMs;
        }
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, 36, 0, 0, QStringLiteral("\r"));
        QApplication::sendEvent(QApplication::focusWidget(), &enter);
    }

    // Ann's records: day|in|out.
    QStringList annsRecords() const {
        QStringList rows;
        for (RecordSet rs = db().recordsOfPerson(QStringLiteral("01")); !rs.eof(); rs.moveNext())
            rows << rs.value(QStringLiteral("LogDate")).toDate().toString(Qt::ISODate) + QLatin1Char('|') +
                        rs.text(QStringLiteral("TimeIn")) + QLatin1Char('|') +
                        rs.text(QStringLiteral("TimeOut"));
        return rows;
    }

    BadgeReader* reader = nullptr;
    Banner* banner = nullptr;
    qint64 readerClock = 0;
};

} // namespace

class TerminalWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    // Wherever the focus is, a read punches; a burst slower than the gap is typing.
    void badgeBursts_data() {
        QTest::addColumn<int>("gapMs");
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("records");
        QTest::addColumn<QString>("typed"); // what the focused box holds afterwards
        QTest::newRow("0 ms, number box") << 0 << "numberBox" << 1 << "";
        QTest::newRow("20 ms, password box") << 20 << "passwordBox" << 1 << "";
        QTest::newRow("50 ms, number box") << 50 << "numberBox" << 1 << "";
        QTest::newRow("70 ms: typing") << 70 << "numberBox" << 0 << "4021";
    }

    void badgeBursts() {
        QFETCH(int, gapMs);
        QFETCH(QString, focus);
        TerminalScene t;
        QLineEdit* focused = t.box(qPrintable(focus));
        focused->setFocus();
        t.swipe(QStringLiteral("4021"), gapMs);
        QTEST(int(t.annsRecords().size()), "records");
        QTEST(focused->text(), "typed");
        QCOMPARE(t.boxes.shown().size(), size_t(0));
    }

    // Three reads within a second are one punch; after RepeatSeconds the next read punches out.
    void doubleReads() {
        TerminalScene t;
        t.box("numberBox")->setFocus();
        for (int read = 0; read < 3; ++read) {
            t.swipe(QStringLiteral("4021"));
            SystemClock::setFixed(kNow.addMSecs(300 * (read + 1)));
        }
        QCOMPARE(t.annsRecords(), QStringList{"2026-03-05|09:05 AM|"});
        QCOMPARE(t.banner->message(), QStringLiteral("Not punched: Already clocked in at 09:05 AM"));
        t.moveClockTo(kNow.addSecs(61));
        t.swipe(QStringLiteral("4021"));
        QCOMPARE(t.annsRecords(), QStringList{"2026-03-05|09:05 AM|09:06 AM"});
        QCOMPARE(t.banner->kind(), Banner::Kind::Done);
        QVERIFY2(
            t.banner->message().startsWith(QStringLiteral("Out: Ann\nTime stored: 09:06 AM\nHours worked "
                                                          "today: 0:01")),
            qPrintable(t.banner->message()));
        // A typed punch is held back by the same rule.
        t.punch(QStringLiteral("01"), QStringLiteral("pw"), true);
        QCOMPARE(t.banner->message(), QStringLiteral("Not punched: Already clocked out at 09:06 AM"));
        QCOMPARE(t.boxes.shown().size(), size_t(0));
    }

    // Every outcome of a punch at a terminal is told in the banner, none in a box.
    void noBoxForAnyOutcome_data() {
        QTest::addColumn<QStringList>("punches"); // number/password/in|out, or badge:code, or "offline"
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("in") << QStringList{"01/pw/in"} << int(Banner::Kind::Done)
                            << "In: Ann\nTime stored: 09:05 AM\nHours worked today: 0:00";
        QTest::newRow("wrong password")
            << QStringList{"01/nope/in"} << int(Banner::Kind::Refused)
            << "Not punched: Invalid Person Number or Password. Please make sure that this login has been "
               "created with the 'Create' button.";
        QTest::newRow("not yet in") << QStringList{"01/pw/out"} << int(Banner::Kind::Refused)
                                    << "Not punched: Ann has not yet logged in.";
        QTest::newRow("unknown badge")
            << QStringList{"badge:777"} << int(Banner::Kind::Refused)
            << "Not punched: This badge is not known. Please ask an administrator.";
        QTest::newRow("throttled") << QStringList{"01/a/in", "01/b/in", "01/c/in",
                                                  "01/d/in", "01/e/in", "01/pw/in"}
                                   << int(Banner::Kind::Refused) << "Not punched: ";
        QTest::newRow("database gone")
            << QStringList{"offline", "01/pw/in"} << int(Banner::Kind::Fault) << "Out of order: ";
        QTest::newRow("badge with the database gone")
            << QStringList{"offline", "badge:4021"} << int(Banner::Kind::Fault) << "Out of order: ";
    }

    void noBoxForAnyOutcome() {
        QFETCH(QStringList, punches);
        QFETCH(QString, message);
        TerminalScene t;
        for (const QString& p : punches) {
            if (p == QLatin1String("offline"))
                t.db().close();
            else if (p.startsWith(QLatin1String("badge:")))
                t.swipe(p.mid(6));
            else
                t.punch(p.section(QLatin1Char('/'), 0, 0), p.section(QLatin1Char('/'), 1, 1),
                        p.section(QLatin1Char('/'), 2) == QLatin1String("in"));
        }
        QCOMPARE(t.boxes.shown().size(), size_t(0));
        QTEST(int(t.banner->kind()), "kind");
        QVERIFY2(t.banner->message().startsWith(message), qPrintable(t.banner->message()));
        QVERIFY(t.box("numberBox")->text().isEmpty() && t.box("passwordBox")->text().isEmpty());
    }

    // A record open since yesterday 08:00 with LongRecordHours 16: today's read opens a new record and
    // leaves the old one open for an administrator.
    void forgottenClockOut() {
        TerminalScene t;
        SettingsStore::SaveSetting(SettingsStore::kApplication, SettingsStore::kSection,
                                   QStringLiteral("LongRecordHours"), QStringLiteral("16"));
        t.db().punchIn(QStringLiteral("01"), kNow.date().addDays(-1), QStringLiteral("08:00 AM"));
        t.swipe(QStringLiteral("4021"));
        QCOMPARE(t.annsRecords(), (QStringList{"2026-03-04|08:00 AM|", "2026-03-05|09:05 AM|"}));
        QVERIFY2(t.banner->message().endsWith(QStringLiteral(
                     "You did not clock out on Wednesday, March 4, 2026; an administrator will correct it.")),
                 qPrintable(t.banner->message()));
        // Listed for correcting before payroll.
        const Hours::Report report =
            Hours::totals(Hours::records(t.db().allLogins()), Hours::rulesFromSettings());
        QCOMPARE(int(report.toCorrect.size()), 1);
        QCOMPARE(report.toCorrect.front().record.day, kNow.date().addDays(-1));
        // The next read closes today's record, not the forgotten one.
        t.moveClockTo(kNow.addSecs(3600));
        t.swipe(QStringLiteral("4021"));
        QCOMPARE(t.annsRecords(), (QStringList{"2026-03-04|08:00 AM|", "2026-03-05|09:05 AM|10:05 AM"}));
    }

    void badgeWithPassword() {
        Terminal::Settings settings;
        settings.badgeNeedsPassword = true;
        TerminalScene t(settings);
        t.swipe(QStringLiteral("4021"));
        QCOMPARE(t.box("numberBox")->text(), QStringLiteral("01"));
        QCOMPARE(QApplication::focusWidget(), t.box("passwordBox"));
        QCOMPARE(t.annsRecords(), QStringList{});
        t.box("passwordBox")->setText(QStringLiteral("pw"));
        control<PushButton>(*t.form, "punchButton")->click();
        QCOMPARE(t.annsRecords(), QStringList{"2026-03-05|09:05 AM|"});
    }

    void closing_data() {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("closes");
        QTest::newRow("nobody") << ""
                                << "" << false;
        QTest::newRow("a person") << "01"
                                  << "pw" << false;
        QTest::newRow("wrong password") << "99"
                                        << "nope" << false;
        QTest::newRow("administrator") << "99"
                                       << "boss" << true;
    }

    void closing() {
        QFETCH(QString, number);
        QFETCH(QString, password);
        TerminalScene t;
        t.box("numberBox")->setText(number);
        t.box("passwordBox")->setText(password);
        QTEST(t.form->close(), "closes");
        QCOMPARE(t.boxes.shown().size(), size_t(0));
        QVERIFY(t.box("passwordBox")->text().isEmpty());
    }

    void administratorWindowClosesWhenIdle() {
        Terminal::Settings settings;
        settings.adminIdleSeconds = 1;
        TerminalScene t(settings);
        t.box("numberBox")->setText(QStringLiteral("99"));
        t.box("passwordBox")->setText(QStringLiteral("boss"));
        bool seen = false;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            seen = seen || qobject_cast<PersonsWindow*>(QApplication::activeModalWidget());
        });
        watch.start(20);
        QElapsedTimer elapsed;
        elapsed.start();
        control<PushButton>(*t.form, "personsButton")->click(); // returns once the window closed
        QVERIFY(seen);
        QVERIFY2(elapsed.elapsed() >= 900 && elapsed.elapsed() < 10000,
                 qPrintable(QString::number(elapsed.elapsed())));
        QVERIFY(t.box("numberBox")->text().isEmpty());
    }
};

TALLYCLOCK_TEST(TerminalWindowTest)
#include "TerminalWindowTest.moc"
