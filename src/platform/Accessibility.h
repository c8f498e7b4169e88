#pragma once

#include <functional>

class QLabel;
class QString;
class QWidget;

// What assistive technologies (screen readers, switch devices) are told about our windows.
namespace Accessibility {

// A caption for `control`, in the control's window: its buddy (Alt and the underlined letter move
// there), and the control's accessible name.
QLabel* labelFor(const QString& text, QWidget* control);

// A top-level window built on a plain widget (the main window) is presented as a window, the
// way a main window or a dialog is, rather than as a nameless panel. Call once the application
// object exists; calling again does nothing.
void install();

// Tells assistive technologies at once what `source` now says (an alert event), whatever has the
// focus. Tests watch the alerts through an observer: without an assistive technology running, Qt
// drops the event itself.
void alert(QWidget* source);
using AlertObserver = std::function<void(QWidget* source)>;
void setAlertObserver(AlertObserver observer);

} // namespace Accessibility
