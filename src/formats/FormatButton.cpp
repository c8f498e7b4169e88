#include "core/ErrorTrap.h"
#include "core/Form1.h"
#include "formats/Form5.h"

// The main window's "Format" button opens the format window. The clock picks up a saved choice
// at its next tick; nothing to refresh here.
void Form1::PushButton4_Click() {
    ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("PushButton4_Click"));
    trap.step(100, [&] {
        Form5 form(this);
        form.showModal();
    });
}
