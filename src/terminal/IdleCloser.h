#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

class QWidget;

// Closes a window, and whatever it opened over itself, when nobody has touched the program (no key,
// no click, no wheel, no pointer movement) for a given time: an administrator window left open at a
// terminal must not stay open for the next person.
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
