#include "core/ErrorTrap.h"
#include "core/MainWindow.h"
#include "formats/FormatWindow.h"

// The main window's "Format" button opens the format window. The clock picks up a saved choice
// at its next tick; nothing to refresh here.
void MainWindow::openFormats() {
    ErrorTrap trap(Where::OpenFormats);
    trap.step(100, [&] {
        FormatWindow form(this);
        form.showModal();
    });
}
