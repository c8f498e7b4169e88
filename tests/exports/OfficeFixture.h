#pragma once

#include "OfficeProbe.h"

#include <QString>
#include <functional>

// One private, headless LibreOffice for the whole test run, standing in for the user's running
// office: the exports hand their start requests to it, and the tests read its sheets back.
namespace OfficeFixture {

// Why the real-office tests cannot run here, or "" when they can.
QString unavailableReason();
// The running office (started on first use); throws when it cannot be started.
LibreOffice::Probe& probe();
// Settings that lead the export to that office.
LibreOffice::Settings settings();
// Starts the office when needed and leads the exports to it.
void useForExports();
// Runs `read` on the office's probe. A lost connection to it fails the current test instead of
// throwing: an exception ends the whole test process (Qt's runner rethrows it).
bool withProbe(const std::function<void(LibreOffice::Probe&)>& read);

} // namespace OfficeFixture

// Skips the current test with the reason when no LibreOffice can be used.
#define REQUIRE_OFFICE()                                                                                     \
    do {                                                                                                     \
        const QString reason = OfficeFixture::unavailableReason();                                           \
        if (!reason.isEmpty())                                                                               \
            QSKIP(qPrintable(reason));                                                                       \
    } while (false)
