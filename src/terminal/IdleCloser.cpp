#include "terminal/IdleCloser.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

IdleCloser::IdleCloser(QWidget* window, int seconds) : QObject(window), m_window(window) {
    m_timer.setSingleShot(true);
    m_timer.setInterval(seconds * 1000);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        // A box the window opened (a question, an error) is answered as closed first.
        if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != m_window && m_window &&
                                                                modal->parentWidget() &&
                                                                modal->parentWidget()->window() == m_window)
            modal->close();
        if (m_window)
            m_window->close();
    });
    qApp->installEventFilter(this);
    m_timer.start();
}

IdleCloser::~IdleCloser() {
    qApp->removeEventFilter(this);
}

bool IdleCloser::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
        if (auto* widget = qobject_cast<QWidget*>(watched);
            widget && m_window && widget->window() == m_window)
            m_timer.start();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
