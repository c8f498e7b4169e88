#include "credentials/Throttle.h"
#include "common/TestSupport.h"

#include <QTest>

using Throttle::State;

namespace {
const QDateTime kStart(QDate(2026, 3, 5), QTime(9, 0), Qt::UTC);
QDateTime at(int minutes, int seconds = 0) {
    return kStart.addSecs(minutes * 60 + seconds);
}
} // namespace

class ThrottleTest : public QObject {
    Q_OBJECT
private slots:
    // A run of wrong passwords at the given moments (seconds after the start), then the question
    // whether the number is refused at `asked`, and until when.
    void refusal_data() {
        QTest::addColumn<QList<int>>("failures");
        QTest::addColumn<int>("asked");
        QTest::addColumn<int>("until"); // -1: not refused

        QTest::newRow("four are allowed") << QList<int>{0, 10, 20, 30} << 40 << -1;
        QTest::newRow("the fifth refuses") << QList<int>{0, 10, 20, 30, 40} << 41 << 40 + 600;
        QTest::newRow("refused to the last second") << QList<int>{0, 1, 2, 3, 4} << 603 << 604;
        QTest::newRow("the refusal ends") << QList<int>{0, 1, 2, 3, 4} << 604 << -1;
        QTest::newRow("five just within the window") << QList<int>{0, 100, 200, 300, 599} << 600 << 1199;
        // The first failure has left the window: the count started again at 600.
        QTest::newRow("five over more than the window") << QList<int>{0, 100, 200, 300, 600} << 601 << -1;
        QTest::newRow("after the refusal, one more") << QList<int>{0, 1, 2, 3, 4, 700} << 701 << -1;
        QTest::newRow("after the refusal, five more")
            << QList<int>{0, 1, 2, 3, 4, 700, 701, 702, 703, 704} << 705 << 704 + 600;
        // Attempts during a refusal are not tried and would not lengthen it.
        QTest::newRow("tries while refused") << QList<int>{0, 1, 2, 3, 4, 300, 500} << 550 << 604;
        // A clock far behind the stored start still refuses, but not without end.
        QTest::newRow("clock set back") << QList<int>{3600, 3601, 3602, 3603, 3604} << 0 << 600;
        QTest::newRow("terminal a little behind") << QList<int>{60, 61, 62, 63, 64} << 30 << 664;
    }
    void refusal() {
        QFETCH(QList<int>, failures);
        QFETCH(int, asked);
        QFETCH(int, until);
        State state;
        for (int second : failures)
            state = Throttle::afterFailure(state, at(0, second));
        const std::optional<QDateTime> refused = Throttle::refusedUntil(state, at(0, asked));
        if (until < 0)
            QVERIFY2(!refused, qPrintable(refused ? refused->toString(Qt::ISODate) : QString()));
        else
            QCOMPARE(refused.value_or(QDateTime()), at(0, until));
    }

    void emptyStateIsNeverRefused() {
        QVERIFY(!Throttle::refusedUntil(State{}, kStart));
        QVERIFY(!Throttle::refusedUntil(State{Throttle::kAllowedFailures, QDateTime()}, kStart));
    }
};

TALLYCLOCK_TEST(ThrottleTest)
#include "ThrottleTest.moc"
