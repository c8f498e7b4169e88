#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

class QWidget;

// Closes a window that nobody has touched (no key, no click, no wheel, no pointer movement over it)
// for a given time: an administrator window left open at a terminal must not stay open for the next
// person.
class IdleCloser : public QObject {
    Q_OBJECT
public:
    IdleCloser(QWidget* window, int seconds);
    ~IdleCloser() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_window;
    QTimer m_timer;
};
