#include "platform/PushButton.h"

#include "platform/Fonts.h"

#include <QMouseEvent>

PushButton::PushButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    setFont(Fonts::pushButton());
    setAutoDefault(false);
    setDefault(false);
    setMouseTracking(true);
}

void PushButton::mouseMoveEvent(QMouseEvent* event) {
    emit mouseMoved();
    QPushButton::mouseMoveEvent(event);
    // The move was over this button: it must not travel on to the window, whose own mouse-move
    // handling would put the arrow back over the hand.
    event->accept();
}
