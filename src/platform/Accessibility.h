#pragma once

// What assistive technologies (screen readers, switch devices) are told about our windows.
namespace Accessibility {

// A top-level window built on a plain widget (the main window) is presented as a window, the
// way a main window or a dialog is, rather than as a nameless panel. Call once the application
// object exists; calling again does nothing.
void install();

} // namespace Accessibility
