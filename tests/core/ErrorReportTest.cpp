#include "common/TestSupport.h"
#include "core/ErrorTrap.h"
#include "core/Main.h"
#include "data/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <stdexcept>

namespace {

const QString kSupportLine = QStringLiteral("Please email screenshot of this message to ");

} // namespace

class ErrorReportTest : public QObject {
    Q_OBJECT
private slots:
    void textHasEveryPart() {
        const TestSupport::SystemSettings system("SupportAddress=help@workplace.org\n");
        QCOMPARE(Main::errorReportText(QStringLiteral("File not found"),
                                       QStringLiteral("Tallyclock2021/08/31.Form1.Form_Load"), 110),
                 QStringLiteral("File not found\r\nin Tallyclock2021/08/31.Form1.Form_Load at line 110\r\r"
                                "Please email screenshot of this message to help@workplace.org"));
    }

    void emptyDescriptionStartsWithEmptyLine() {
        const QString text = Main::errorReportText(QString(), QStringLiteral("T"), 100);
        QVERIFY(text.startsWith(QStringLiteral("\r\nin T at line 100\r\r")));
        QCOMPARE(MessageBox::screenText(text).split(QLatin1Char('\n')).at(0), QString());
    }

    void boxShowsFourLines() {
        const TestSupport::SystemSettings system("SupportAddress=help@workplace.org\n");
        TestSupport::MessageRecorder boxes;
        Main::ErrorReport(QStringLiteral("File not found"),
                          QStringLiteral("Tallyclock2021/08/31.Form1.Form_Load"), 110);
        QCOMPARE(boxes.shown().size(), size_t(1));
        QCOMPARE(boxes.shown().at(0).kind, MessageBox::Kind::Error);
        QCOMPARE(boxes.shown().at(0).title, QStringLiteral("Application Error"));
        QCOMPARE(MessageBox::screenText(boxes.shown().at(0).text).split(QLatin1Char('\n')),
                 (QStringList{QStringLiteral("File not found"),
                              QStringLiteral("in Tallyclock2021/08/31.Form1.Form_Load at line 110"),
                              QString(), kSupportLine + QStringLiteral("help@workplace.org")}));
    }

    // The workplace names its support address in the system-wide settings, not each user in their own.
    void supportAddressFromTheSystemSettings_data() {
        QTest::addColumn<QByteArray>("systemLines");
        QTest::addColumn<QString>("expected"); // empty: what the program was built with
        QTest::newRow("set") << QByteArray("SupportAddress=help@workplace.org\n") << "help@workplace.org";
        QTest::newRow("blanks around") << QByteArray("SupportAddress=\"  desk@a.org \"\n") << "desk@a.org";
        QTest::newRow("two, with a comma")
            << QByteArray("SupportAddress=help@a.org, desk@a.org\n") << "help@a.org, desk@a.org";
        QTest::newRow("blank") << QByteArray("SupportAddress=\n") << "";
        QTest::newRow("no key") << QByteArray("Other=1\n") << "";
    }
    void supportAddressFromTheSystemSettings() {
        QFETCH(QByteArray, systemLines);
        QFETCH(QString, expected);
        QString builtIn;
        {
            const TestSupport::SystemSettings none("");
            builtIn = Main::supportAddress();
        }
        const QString userKey = SettingsStore::kSection + QStringLiteral("/SupportAddress");
        QSettings user(QSettings::IniFormat, QSettings::UserScope, SettingsStore::kApplication,
                       SettingsStore::kApplication);
        user.setValue(userKey, QStringLiteral("me@mine.org"));
        user.sync();
        QString address;
        QString text;
        {
            const TestSupport::SystemSettings system(systemLines);
            address = Main::supportAddress();
            text = Main::errorReportText(QStringLiteral("x"), QStringLiteral("T"), 100);
        }
        user.remove(userKey);

        QCOMPARE(address, expected.isEmpty() ? builtIn : expected);
        // Without any address the box still says where the screenshot goes.
        QVERIFY(text.endsWith(
            QStringLiteral("\r\r") + kSupportLine +
            (address.isEmpty() ? QStringLiteral("the person who looks after this computer") : address)));
    }

    void trapReportsAndGoesOn() {
        TestSupport::MessageRecorder boxes;
        ErrorTrap trap(Where::Punch);
        int ran = 0;
        QVERIFY(!trap.step(100, [] { throw std::runtime_error("first"); }));
        QVERIFY(trap.step(102, [&] { ++ran; }));
        // A failing test holds unless the handler says it skips.
        QVERIFY(trap.test(104, []() -> bool { throw std::runtime_error("second"); }));
        QVERIFY(!trap.test(
            106, []() -> bool { throw std::runtime_error("third"); }, ErrorTrap::FailedTest::Skips));
        QCOMPARE(ran, 1);
        QCOMPARE(boxes.errorSteps(), (std::vector<int>{100, 104, 106}));
        QCOMPARE(boxes.errors().at(0).title, QStringLiteral("Application Error"));
        QVERIFY(boxes.errors().at(0).text.startsWith(
            QStringLiteral("first\r\nin Tallyclock2021/08/31.Form1.PushButton1_Click ")));
    }
};

TALLYCLOCK_TEST(ErrorReportTest)
#include "ErrorReportTest.moc"
