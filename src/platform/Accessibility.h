#pragma once

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

} // namespace Accessibility
