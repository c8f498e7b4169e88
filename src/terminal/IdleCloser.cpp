#include "terminal/IdleCloser.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

IdleCloser::IdleCloser(QWidget* window, int seconds) : QObject(window), m_window(window) {
    m_timer.setSingleShot(true);
    m_timer.setInterval(seconds * 1000);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        // What the window opened over itself (a box, the hours or audit window) closes first.
        for (int open = 0; open < 16 && m_window; ++open) {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || modal == m_window || !modal->close())
                break;
        }
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
