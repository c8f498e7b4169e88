#include "platform/Accessibility.h"

#include <QLabel>

#include <QAccessibleWidget>
#include <QWidget>

namespace Accessibility {

namespace {
// Asked for each class of an object from the most derived one up; Qt's own widget classes are
// answered before "QWidget" is reached, so only plain widgets arrive here.
QAccessibleInterface* windowRole(const QString& className, QObject* object) {
    if (className != QLatin1String("QWidget") || !object || !object->isWidgetType())
        return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    if (!widget->isWindow())
        return nullptr;
    return new QAccessibleWidget(widget, QAccessible::Window);
}
} // namespace

void install() {
    static const bool installed = [] {
        QAccessible::installFactory(windowRole);
        return true;
    }();
    Q_UNUSED(installed);
}

QLabel* labelFor(const QString& text, QWidget* control) {
    auto* label = new QLabel(text, control->parentWidget());
    label->setBuddy(control);
    control->setAccessibleName(text);
    return label;
}

namespace {
AlertObserver& alertObserver() {
    static AlertObserver observer;
    return observer;
}
} // namespace

void alert(QWidget* source) {
    QAccessibleEvent event(source, QAccessible::Alert);
    QAccessible::updateAccessibility(&event);
    if (alertObserver())
        alertObserver()(source);
}

void setAlertObserver(AlertObserver observer) {
    alertObserver() = std::move(observer);
}

} // namespace Accessibility
