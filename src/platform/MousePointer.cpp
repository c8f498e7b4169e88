#include "platform/MousePointer.h"

#include <QEvent>
#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <QPixmap>
#include <QWidget>
#include <QtEndian>
#include <stdexcept>

namespace {
const char* const kHandProperty = "tallyclockPointerOnMove";
} // namespace

MousePointer::MousePointer(QWidget* window) : QObject(window), m_window(window) {
    window->setMouseTracking(true);
    window->installEventFilter(this);
    window->setProperty(kHandProperty, Default);
}

void MousePointer::setValue(int value) {
    m_value = value;
    if (!m_window)
        return;
    switch (value) {
    case Hourglass:
        m_window->setCursor(Qt::WaitCursor);
        break;
    case Custom:
        if (!m_icon && m_iconFile) {
            // Decoded the first time it shows, which keeps the windows' start quick.
            try {
                m_icon = decodeCursor(*m_iconFile);
            } catch (const std::exception&) {
                m_iconFile.reset();
            }
        }
        if (m_icon)
            m_window->setCursor(*m_icon);
        else
            m_window->unsetCursor();
        break;
    default:
        m_window->unsetCursor();
        break;
    }
}

void MousePointer::loadMouseIcon(const QString& path) {
    m_iconFile = readCursorFile(path);
    m_icon.reset();
}

void MousePointer::handOver(QWidget* widget) {
    widget->setMouseTracking(true);
    widget->setProperty(kHandProperty, Custom);
    widget->installEventFilter(this);
}

void MousePointer::arrowOver(QWidget* widget) {
    widget->setMouseTracking(true);
    widget->setProperty(kHandProperty, Default);
    widget->installEventFilter(this);
}

void MousePointer::moveOver(int value) {
    if (m_value == Hourglass)
        return;
    if (m_value != value)
        setValue(value);
}

namespace {
// A move that a push button leaves unhandled travels on to the frame and the window around it; the
// pointer is decided by the nearest watched widget under the mouse, not by every one it passes.
bool nearerWidgetDecides(QWidget* widget, QEvent* event) {
    if (event->type() != QEvent::MouseMove)
        return false;
    const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
    for (QWidget* child = widget->childAt(at); child && child != widget; child = child->parentWidget()) {
        if (child->isEnabled() && child->property(kHandProperty).isValid())
            return true;
    }
    return false;
}
} // namespace

bool MousePointer::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter) {
        auto* widget = qobject_cast<QWidget*>(watched);
        const QVariant target = watched->property(kHandProperty);
        if (widget && target.isValid() && widget->isEnabled() && !nearerWidgetDecides(widget, event))
            moveOver(target.toInt());
    }
    return QObject::eventFilter(watched, event);
}

CursorFile readCursorFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(
            QStringLiteral("Cannot open the cursor file %1: %2").arg(path, file.errorString()).toStdString());
    const QByteArray data = file.readAll();
    // ICONDIR (6 bytes) then ICONDIRENTRY (16 bytes); type 2 is a cursor, whose entry holds the hotspot.
    if (data.size() < 22 || qFromLittleEndian<quint16>(data.constData() + 2) != 2)
        throw std::runtime_error(QStringLiteral("%1 is not a cursor file.").arg(path).toStdString());
    return CursorFile{data, qFromLittleEndian<quint16>(data.constData() + 10),
                      qFromLittleEndian<quint16>(data.constData() + 12), path};
}

QCursor decodeCursor(const CursorFile& file) {
    QImage image;
    if (!image.loadFromData(file.data, "cur") && !image.loadFromData(file.data, "ico"))
        throw std::runtime_error(
            QStringLiteral("The cursor file %1 cannot be read.").arg(file.path).toStdString());
    return QCursor(QPixmap::fromImage(image), file.hotX, file.hotY);
}

QCursor loadCursorFile(const QString& path) {
    return decodeCursor(readCursorFile(path));
}
