#pragma once

#include <QRect>

class QWidget;

// Layouts are drawn in twips (1/1440 inch); these turn them into pixels at the widget's logical DPI.
namespace Twips {

int toPixelsX(const QWidget* widget, int twips);
int toPixelsY(const QWidget* widget, int twips);
QRect toPixels(const QWidget* widget, int left, int top, int width, int height);

// Places a control at its twips position and size within its parent.
void place(QWidget* control, int left, int top, int width, int height);
// Places a new control and hands it back, so that a layout reads one control to a line.
template <typename Control> Control* placed(Control* control, int left, int top, int width, int height) {
    place(control, left, top, width, height);
    return control;
}
// Sets a window's fixed client area from twips.
void setClientSize(QWidget* window, int width, int height);

} // namespace Twips
