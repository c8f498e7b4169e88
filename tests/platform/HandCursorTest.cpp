#include "common/TestSupport.h"
#include "core/Main.h"
#include "platform/MousePointer.h"

#include <QImage>
#include <QTest>

// The hand pointer shipped beside the program, read the way every window reads it.
class HandCursorTest : public QObject {
    Q_OBJECT
private slots:
    void pointsWithTheFingertip() {
        const QCursor cursor = loadCursorFile(Main::handCursorPath());
        QCOMPARE(cursor.hotSpot(), QPoint(5, 0));
        const QImage image = cursor.pixmap().toImage();
        QCOMPARE(image.size(), QSize(32, 32));
        // Outline at the hotspot, white inside the finger just below it, clear around the hand.
        QCOMPARE(image.pixelColor(5, 0), QColor(Qt::black));
        QCOMPARE(image.pixelColor(5, 2), QColor(Qt::white));
        QCOMPARE(image.pixelColor(0, 0).alpha(), 0);
        QCOMPARE(image.pixelColor(31, 31).alpha(), 0);
        // The palm is wider than the finger: white across it, several rows down.
        QCOMPARE(image.pixelColor(10, 13), QColor(Qt::white));
    }
};

TALLYCLOCK_TEST(HandCursorTest)
#include "HandCursorTest.moc"
