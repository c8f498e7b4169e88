#include "platform/MousePointer.h"
#include "common/TestSupport.h"
#include "platform/ListView.h"
#include "platform/PushButton.h"

#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <stdexcept>

namespace {

// The mouse moving across the middle of `widget`, delivered the way the platform delivers it: to the
// widget first and on to its parents when the widget leaves the event unhandled.
void moveOver(QWidget* widget) {
    const QPointF at(widget->width() / 2.0, widget->height() / 2.0);
    QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

// A window laid out like the program's: push buttons inside a frame and on the window, a text box
// and a list.
struct Window {
    QWidget window;
    QGroupBox* frame = new QGroupBox(QStringLiteral("Frame"), &window);
    PushButton* inFrame = new PushButton(QStringLiteral("In frame"), frame);
    PushButton* onWindow = new PushButton(QStringLiteral("On window"), &window);
    QLineEdit* text = new QLineEdit(frame);
    ListView* list = new ListView(&window);
    MousePointer* pointer = new MousePointer(&window);

    Window() {
        window.resize(400, 300);
        frame->setGeometry(10, 10, 380, 120);
        inFrame->setGeometry(10, 20, 150, 30);
        text->setGeometry(10, 60, 150, 30);
        onWindow->setGeometry(10, 140, 150, 30);
        list->setGeometry(10, 180, 380, 100);
        list->addColumnHeader(QStringLiteral("H"));
        for (QWidget* button : {inFrame, onWindow})
            pointer->handOver(button);
        for (QWidget* area : {static_cast<QWidget*>(frame), static_cast<QWidget*>(text),
                              static_cast<QWidget*>(list->viewport())})
            pointer->arrowOver(area);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }
};

} // namespace

class MousePointerTest : public QObject {
    Q_OBJECT

private slots:
    void handOverButtonsArrowElsewhere() {
        Window w;
        QCOMPARE(w.pointer->value(), MousePointer::Default);
        for (PushButton* button : {w.inFrame, w.onWindow}) {
            moveOver(button);
            QCOMPARE(w.pointer->value(), MousePointer::Custom);
            moveOver(w.text);
            QCOMPARE(w.pointer->value(), MousePointer::Default);
            // On a real screen the move arrives later, through the window system.
            QTest::mouseMove(button);
            QTRY_COMPARE(w.pointer->value(), MousePointer::Custom);
            QTest::mouseMove(w.list->viewport());
            QTRY_COMPARE(w.pointer->value(), MousePointer::Default);
            QTest::mouseMove(button, QPoint(2, 2));
            QTest::mouseMove(button, QPoint(5, 5));
            QTest::qWait(50);
            QCOMPARE(w.pointer->value(), MousePointer::Custom);
            moveOver(button);
            moveOver(&w.window);
            QCOMPARE(w.pointer->value(), MousePointer::Default);
            moveOver(button);
            moveOver(w.frame);
            QCOMPARE(w.pointer->value(), MousePointer::Default);
        }
    }

    void hourglassIsNeverReplacedByMoves() {
        Window w;
        w.pointer->setValue(MousePointer::Hourglass);
        QVERIFY(w.pointer->isBusy());
        QCOMPARE(w.window.cursor().shape(), Qt::WaitCursor);
        for (QWidget* widget : std::initializer_list<QWidget*>{w.inFrame, w.onWindow, w.text, w.frame,
                                                               w.list->viewport(), &w.window}) {
            moveOver(widget);
            QTest::mouseMove(widget);
            QCOMPARE(w.pointer->value(), MousePointer::Hourglass);
            QCOMPARE(w.window.cursor().shape(), Qt::WaitCursor);
        }
        w.pointer->setValue(MousePointer::Default);
        moveOver(w.onWindow);
        QCOMPARE(w.pointer->value(), MousePointer::Custom);
    }

    void disabledButtonGivesNoHand() {
        Window w;
        w.inFrame->setEnabled(false);
        moveOver(w.text);
        moveOver(w.inFrame);
        QCOMPARE(w.pointer->value(), MousePointer::Default);
        moveOver(w.onWindow);
        QCOMPARE(w.pointer->value(), MousePointer::Custom);
    }

    void customPointerIsTheLoadedCursor() {
        Window w;
        // Without a loaded cursor the custom pointer shows the standard arrow.
        moveOver(w.inFrame);
        QCOMPARE(w.pointer->value(), MousePointer::Custom);
        QCOMPARE(w.window.cursor().shape(), Qt::ArrowCursor);
        w.pointer->loadMouseIcon(QCoreApplication::applicationDirPath() + QStringLiteral("/HAND-M.CUR"));
        QVERIFY(w.pointer->hasMouseIcon());
        moveOver(w.text);
        moveOver(w.inFrame);
        QCOMPARE(w.window.cursor().shape(), Qt::BitmapCursor);
        QCOMPARE(w.window.cursor().hotSpot(), QPoint(5, 0));
    }

    void cursorFileReading() {
        const QCursor hand =
            loadCursorFile(QCoreApplication::applicationDirPath() + QStringLiteral("/HAND-M.CUR"));
        QCOMPARE(hand.hotSpot(), QPoint(5, 0));
        QCOMPARE(hand.pixmap().size(), QSize(32, 32));

        QTemporaryDir dir;
        const auto write = [&](const char* name, const QByteArray& bytes) {
            QFile file(dir.filePath(QString::fromLatin1(name)));
            file.open(QIODevice::WriteOnly);
            file.write(bytes);
            return file.fileName();
        };
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 loadCursorFile(dir.filePath(QStringLiteral("missing.cur"))));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, loadCursorFile(write("text.cur", QByteArray(100, 'x'))));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 loadCursorFile(write("short.cur", QByteArray("\0\0\2\0", 4))));
        // An icon file has type 1, not a cursor's type 2.
        QFile real(QCoreApplication::applicationDirPath() + QStringLiteral("/HAND-M.CUR"));
        QVERIFY(real.open(QIODevice::ReadOnly));
        QByteArray icon = real.readAll();
        icon[2] = 1;
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, loadCursorFile(write("icon.cur", icon)));
        // A cursor header over a damaged image.
        const QByteArray damaged = icon.left(2) + QByteArray(1, 2) + icon.mid(3, 37) + QByteArray(60, '\xff');
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, loadCursorFile(write("damaged.cur", damaged)));

        QWidget owner;
        auto* pointer = new MousePointer(&owner);
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 pointer->loadMouseIcon(dir.filePath(QStringLiteral("text.cur"))));
        QVERIFY(!pointer->hasMouseIcon());
    }
};

TALLYCLOCK_TEST(MousePointerTest)
#include "MousePointerTest.moc"
