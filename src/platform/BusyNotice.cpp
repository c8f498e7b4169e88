#include "platform/BusyNotice.h"

#include "platform/MessageBox.h"

#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>

BusyNotice::BusyNotice(const QString& text) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    m_window = std::make_unique<QWidget>(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint);
    m_window->setWindowTitle(MessageBox::applicationTitle());
    m_window->setObjectName(QStringLiteral("BusyNotice"));
    auto* label = new QLabel(text, m_window.get());
    label->setWordWrap(true);
    label->setMinimumWidth(320);
    auto* layout = new QVBoxLayout(m_window.get());
    layout->setContentsMargins(18, 18, 18, 18);
    layout->addWidget(label);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_window->show();
    // Painted now: the work that follows keeps the event loop from running. Clicks, keys and ticks
    // wait for the loop (the work may be under way inside one of their handlers).
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                        QEventLoop::ExcludeSocketNotifiers | QEventLoop::X11ExcludeTimers);
    m_window->repaint();
}

BusyNotice::~BusyNotice() {
    if (m_window) {
        m_window->close();
        QApplication::restoreOverrideCursor();
    }
}
