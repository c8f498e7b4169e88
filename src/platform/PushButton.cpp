#include "platform/PushButton.h"

#include "platform/Fonts.h"

PushButton::PushButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    setFont(Fonts::pushButton());
    setAutoDefault(false);
    setDefault(false);
    setMouseTracking(true);
}

void PushButton::mouseMoveEvent(QMouseEvent* event) {
    emit mouseMoved();
    QPushButton::mouseMoveEvent(event);
}
