#include "platform/Twips.h"

#include <QWidget>
#include <cmath>

namespace Twips {

namespace {
int convert(int twips, int dpi) {
    return static_cast<int>(std::lround(twips * static_cast<double>(dpi) / 1440.0));
}
} // namespace

int toPixelsX(const QWidget* widget, int twips) {
    return convert(twips, widget->logicalDpiX());
}

int toPixelsY(const QWidget* widget, int twips) {
    return convert(twips, widget->logicalDpiY());
}

QRect toPixels(const QWidget* widget, int left, int top, int width, int height) {
    return QRect(toPixelsX(widget, left), toPixelsY(widget, top), toPixelsX(widget, width),
                 toPixelsY(widget, height));
}

void place(QWidget* control, int left, int top, int width, int height) {
    control->setGeometry(toPixels(control, left, top, width, height));
}

void setClientSize(QWidget* window, int width, int height) {
    window->setFixedSize(toPixelsX(window, width), toPixelsY(window, height));
}

} // namespace Twips
