#include "common/TestSupport.h"
#include "core/ErrorTrap.h"
#include "core/Main.h"

#include <QTest>
#include <stdexcept>

class ErrorReportTest : public QObject {
    Q_OBJECT
private slots:
    void textHasEveryPart() {
        QCOMPARE(Main::errorReportText(QStringLiteral("File not found"),
                                       QStringLiteral("Tallyclock2021/08/31.Form1.Form_Load"), 110),
                 QStringLiteral("File not found\r\nin Tallyclock2021/08/31.Form1.Form_Load at line 110\r\r"
                                "Please email screenshot of this message to ") +
                     Main::kSupportAddress);
    }

    void emptyDescriptionStartsWithEmptyLine() {
        const QString text = Main::errorReportText(QString(), QStringLiteral("T"), 100);
        QVERIFY(text.startsWith(QStringLiteral("\r\nin T at line 100\r\r")));
        QCOMPARE(MessageBox::screenText(text).split(QLatin1Char('\n')).at(0), QString());
    }

    void boxShowsFourLines() {
        TestSupport::MessageRecorder boxes;
        Main::ErrorReport(QStringLiteral("File not found"),
                          QStringLiteral("Tallyclock2021/08/31.Form1.Form_Load"), 110);
        QCOMPARE(boxes.shown().size(), size_t(1));
        QCOMPARE(boxes.shown().at(0).kind, MessageBox::Kind::Error);
        QCOMPARE(boxes.shown().at(0).title, QStringLiteral("Application Error"));
        QCOMPARE(MessageBox::screenText(boxes.shown().at(0).text).split(QLatin1Char('\n')),
                 (QStringList{
                     QStringLiteral("File not found"),
                     QStringLiteral("in Tallyclock2021/08/31.Form1.Form_Load at line 110"), QString(),
                     QStringLiteral("Please email screenshot of this message to ") + Main::kSupportAddress}));
    }

    void trapReportsAndGoesOn() {
        TestSupport::MessageRecorder boxes;
        ErrorTrap trap(QStringLiteral("Form9"), QStringLiteral("Handler"));
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
            QStringLiteral("first\r\nin Tallyclock2021/08/31.Form9.Handler ")));
    }
};

TALLYCLOCK_TEST(ErrorReportTest)
#include "ErrorReportTest.moc"
