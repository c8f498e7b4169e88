#include "common/TestSupport.h"
#include "data/RecordSet.h"
#include "platform/Accessibility.h"
#include "terminal/BadgeReader.h"
#include "terminal/Banner.h"
#include "terminal/IdleCloser.h"
#include "terminal/Keypad.h"
#include "terminal/PunchOutcome.h"
#include "terminal/TerminalSettings.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

namespace {

// X keycodes: the digit row starts at 10, the top letter row at 24, the middle one at 38.
constexpr quint32 kKey1 = 10;
constexpr quint32 kKeyQ = 24;
constexpr quint32 kKeyY = 29;
constexpr quint32 kKeyA = 38;

void press(QWidget* target, quint32 scanCode, const QString& text, Qt::KeyboardModifiers modifiers = {}) {
    const int key = text.isEmpty() ? 0 : QKeySequence(text.toUpper())[0].key();
    QKeyEvent event(QEvent::KeyPress, key, modifiers, scanCode, 0, 0, text);
    QApplication::sendEvent(target, &event);
}

void pressEnter(QWidget* target) {
    QKeyEvent event(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, 36, 0, 0, QStringLiteral("\r"));
    QApplication::sendEvent(target, &event);
}

RecordSet openRecord(const QDate& day, const QString& timeIn) {
    RecordSet::Builder rows({{QStringLiteral("LogDate"), RecordSet::Kind::Date},
                             {QStringLiteral("TimeIn"), RecordSet::Kind::Text},
                             {QStringLiteral("TimeOut"), RecordSet::Kind::Text}});
    rows.addText(day.toString(Qt::ISODate).toStdString());
    rows.addText(timeIn.toStdString());
    rows.addNull();
    return rows.finish();
}

} // namespace

class TerminalPartsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void decodesThePhysicalKey_data() {
        QTest::addColumn<quint32>("scanCode");
        QTest::addColumn<bool>("shift");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("decoded"); // "" for none
        QTest::newRow("US 1") << kKey1 << false << "1"
                              << "1";
        QTest::newRow("AZERTY 1 key types &") << kKey1 << false << "&"
                                              << "1";
        QTest::newRow("AZERTY shifted 1") << kKey1 << true << "1"
                                          << "1";
        QTest::newRow("QWERTZ Z where US has Y") << kKeyY << false << "z"
                                                 << "y";
        QTest::newRow("AZERTY A where US has Q") << kKeyQ << false << "a"
                                                 << "q";
        QTest::newRow("capital with Shift") << kKeyA << true << "A"
                                            << "A";
        QTest::newRow("no keycode: the text") << quint32(0) << false << "7"
                                              << "7";
        QTest::newRow("no keycode, no letter") << quint32(0) << false << "&"
                                               << "";
        QTest::newRow("space bar") << quint32(65) << false << " "
                                   << "";
    }

    void decodesThePhysicalKey() {
        QFETCH(quint32, scanCode);
        QFETCH(bool, shift);
        QFETCH(QString, text);
        const std::optional<QChar> c =
            BadgeReader::decode(scanCode, shift ? Qt::ShiftModifier : Qt::NoModifier, text);
        QTEST(c ? QString(*c) : QString(), "decoded");
        QVERIFY(!BadgeReader::decode(scanCode, Qt::ControlModifier, text));
    }

    // Keys within the gap and ended by Enter are a read and never reach the box; a pause longer than the
    // gap, or too short a code, is typing and reaches it, Enter included.
    void burstsAndTyping_data() {
        QTest::addColumn<int>("gapMs");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("read");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("returns"); // Enter presses the box received
        QTest::newRow("0 ms") << 0 << "40213"
                              << "40213"
                              << "" << 0;
        QTest::newRow("20 ms") << 20 << "40213"
                               << "40213"
                               << "" << 0;
        QTest::newRow("50 ms") << 50 << "40213"
                               << "40213"
                               << "" << 0;
        QTest::newRow("61 ms: typing") << 61 << "40213"
                                       << ""
                                       << "40213" << 1;
        QTest::newRow("too short") << 0 << "40"
                                   << ""
                                   << "40" << 1;
    }

    void burstsAndTyping() {
        QFETCH(int, gapMs);
        QFETCH(QString, keys);
        QWidget window;
        auto* box = new QLineEdit(&window);
        window.show();
        box->setFocus();
        qint64 now = 1000;
        BadgeReader reader(&window, 60);
        reader.setClock([&] { return now; });
        QSignalSpy reads(&reader, &BadgeReader::badgeRead);
        QSignalSpy returns(box, &QLineEdit::returnPressed);
        for (const QChar c : keys) {
            const quint32 code = c == QLatin1Char('0') ? kKey1 + 9 : kKey1 + quint32(c.digitValue() - 1);
            press(box, code, c);
            now += gapMs;
        }
        pressEnter(box);
        QTEST(reads.isEmpty() ? QString() : reads.first().first().toString(), "read");
        QTEST(box->text(), "typed");
        QTEST(int(returns.size()), "returns");
    }

    // Typing held back for a possible read reaches the box once the gap has passed without another key.
    void typingArrivesAfterTheGap() {
        QWidget window;
        auto* box = new QLineEdit(&window);
        window.show();
        qint64 now = 0;
        BadgeReader reader(&window, 60);
        reader.setClock([&] { return now; });
        press(box, kKey1 + 4, QStringLiteral("5"));
        QCOMPARE(box->text(), QString());
        now += 61;
        QTRY_COMPARE_WITH_TIMEOUT(box->text(), QStringLiteral("5"), 1000);
        // Keys for another window are none of the reader's business.
        QLineEdit other;
        other.show();
        press(&other, kKey1, QStringLiteral("1"));
        QCOMPARE(other.text(), QStringLiteral("1"));
    }

    void bannerKinds() {
        QStringList alerts; // what the banner said at each alert
        QWidget window;
        Banner banner(&window);
        Accessibility::setAlertObserver([&](QWidget* source) {
            alerts << (source == &banner ? banner.accessibleDescription() : QStringLiteral("?"));
        });
        banner.setSeconds(1);
        window.show();
        banner.showDone(QStringLiteral("In"), QStringLiteral("Ann"));
        QCOMPARE(banner.kind(), Banner::Kind::Done);
        QVERIFY(banner.isVisible());
        QCOMPARE(alerts, QStringList{"In: Ann"});
        QTRY_COMPARE_WITH_TIMEOUT(banner.kind(), Banner::Kind::Empty, 3000);
        QVERIFY(!banner.isVisible());
        // A fault stays; a refusal shows over it and gives way to it again; a punch ends it.
        banner.showFault(QStringLiteral("The database cannot be reached."));
        QTest::qWait(1300);
        QCOMPARE(banner.kind(), Banner::Kind::Fault);
        banner.showRefused(QStringLiteral("Already clocked in at 09:05 AM"));
        QCOMPARE(banner.message(), QStringLiteral("Not punched: Already clocked in at 09:05 AM"));
        QTRY_COMPARE_WITH_TIMEOUT(banner.kind(), Banner::Kind::Fault, 3000);
        banner.showDone(QStringLiteral("Out"), QStringLiteral("Ann"));
        QTRY_COMPARE_WITH_TIMEOUT(banner.kind(), Banner::Kind::Empty, 3000);
        QCOMPARE(alerts.size(), 5);
        QCOMPARE(alerts.at(2), QStringLiteral("Not punched: Already clocked in at 09:05 AM"));
        Accessibility::setAlertObserver(nullptr);
    }

    void keypad_data() {
        QTest::addColumn<bool>("passwordFocused");
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("password");
        QTest::newRow("number") << false << QStringList{"1", "2", "0"} << "120"
                                << "";
        QTest::newRow("backspace") << false << QStringList{"1", "2", "Backspace", "3"} << "13"
                                   << "";
        QTest::newRow("password box") << true << QStringList{"9", "8"} << ""
                                      << "98";
    }

    void keypad() {
        QFETCH(bool, passwordFocused);
        QFETCH(QStringList, keys);
        QWidget window;
        auto* number = new QLineEdit(&window);
        auto* password = new QLineEdit(&window);
        auto* pad = new Keypad(number, password, &window);
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(number);
        layout->addWidget(password);
        layout->addWidget(pad);
        window.show();
        QApplication::setActiveWindow(&window);
        (passwordFocused ? password : number)->setFocus();
        QSignalSpy submitted(pad, &Keypad::submitted);
        for (const QString& key : keys)
            QTest::mouseClick(pad->findChild<QPushButton*>(QStringLiteral("keypad") + key), Qt::LeftButton);
        QTest::mouseClick(pad->findChild<QPushButton*>(QStringLiteral("keypadOK")), Qt::LeftButton);
        QTEST(number->text(), "number");
        QTEST(password->text(), "password");
        QCOMPARE(submitted.size(), 1);
        QCOMPARE(QApplication::focusWidget(), passwordFocused ? password : number);
    }

    void idleWindowCloses() {
        QWidget window;
        auto* box = new QLineEdit(&window);
        window.show();
        new IdleCloser(&window, 1);
        QTest::qWait(700);
        QTest::keyClick(box, Qt::Key_A); // touched: the second starts again
        QTest::qWait(700);
        QVERIFY(window.isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 2000);
    }

    void repeatedPunch_data() {
        QTest::addColumn<int>("secondsLater");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("same second") << 0 << "ab7"
                                     << "Already clocked in at 09:05 AM";
        QTest::newRow("letter case ignored") << 30 << "AB7"
                                             << "Already clocked in at 09:05 AM";
        QTest::newRow("after the time") << 60 << "ab7"
                                        << "";
        QTest::newRow("someone else") << 1 << "ab8"
                                      << "";
    }

    void repeatedPunch() {
        QFETCH(int, secondsLater);
        QFETCH(QString, number);
        const QDateTime at(QDate(2026, 12, 9), QTime(9, 5));
        TerminalPunch::RecentPunches recent;
        recent.remember(QStringLiteral("ab7"), PunchKind::In, QStringLiteral("09:05 AM"), at);
        const auto earlier = recent.within(number, at.addSecs(secondsLater), 60);
        QTEST(earlier ? TerminalPunch::alreadyText(*earlier) : QString(), "refusal");
    }

    void openLongerThanTheLongestRecord_data() {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QString>("timeIn");
        QTest::addColumn<bool>("forgotten");
        const QDate today(2026, 12, 10);
        QTest::newRow("yesterday 08:00, now 09:00") << QDateTime(today, QTime(9, 0)) << "08:00 AM" << true;
        QTest::newRow("yesterday 08:00, now 00:00") << QDateTime(today, QTime(0, 0)) << "08:00 AM" << false;
        QTest::newRow("night shift since 10 PM") << QDateTime(today, QTime(6, 0)) << "10:00 PM" << false;
        QTest::newRow("unreadable time: the day's start") << QDateTime(today, QTime(0, 1)) << "late" << true;
    }

    void openLongerThanTheLongestRecord() {
        QFETCH(QDateTime, now);
        QFETCH(QString, timeIn);
        QTEST(TerminalPunch::openLongerThan(openRecord(QDate(2026, 12, 9), timeIn), now, 16), "forgotten");
    }

    void settingsFromTheSystemFile_data() {
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<bool>("kiosk");
        QTest::addColumn<QList<int>>("numbers"); // banner, gap, repeat, idle
        QTest::addColumn<bool>("needsPassword");
        QTest::newRow("nothing set") << QByteArray() << false << QList<int>{4, 60, 60, 120} << false;
        QTest::newRow("kiosk and values")
            << QByteArray("Terminal=kiosk\nBannerSeconds=6\nBadgeKeyGapMs=40\nRepeatSeconds=30\n"
                          "AdminIdleSeconds=300\nBadgeNeedsPassword=True\n")
            << true << QList<int>{6, 40, 30, 300} << true;
        QTest::newRow("unreadable values keep their defaults")
            << QByteArray("Terminal=Kiosk\nBannerSeconds=soon\nBadgeKeyGapMs=0\nBadgeNeedsPassword=maybe\n")
            << true << QList<int>{4, 60, 60, 120} << false;
        QTest::newRow("another mode")
            << QByteArray("Terminal=desk\n") << false << QList<int>{4, 60, 60, 120} << false;
    }

    void settingsFromTheSystemFile() {
        QFETCH(QByteArray, lines);
        QFETCH(QList<int>, numbers);
        const TestSupport::SystemSettings system(lines);
        const Terminal::Settings s = Terminal::fromSystemSettings(false);
        QTEST(s.kiosk, "kiosk");
        QCOMPARE((QList<int>{s.bannerSeconds, s.badgeKeyGapMs, s.repeatSeconds, s.adminIdleSeconds}),
                 numbers);
        QTEST(s.badgeNeedsPassword, "needsPassword");
        QVERIFY(Terminal::fromSystemSettings(true).kiosk);
    }
};

TALLYCLOCK_TEST(TerminalPartsTest)
#include "TerminalPartsTest.moc"
