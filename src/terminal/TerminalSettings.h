#pragma once

#include <QString>

// Terminal mode: the main window as a shared terminal on the wall (full screen, closed only by an
// administrator, punches confirmed without boxes, badges). Set per computer by an administrator in
// the program's section of the system-wide settings file, or by starting the program with --kiosk;
// a user's own settings never change it.
namespace Terminal {

struct Settings {
    bool kiosk = false;
    int bannerSeconds = 4;  // a confirmation or refusal clears itself after this
    int badgeKeyGapMs = 60; // the longest pause between two keys of one badge read
    bool badgeNeedsPassword = false;
    int repeatSeconds = 60;     // the same person again within this does not punch
    int adminIdleSeconds = 120; // an administrator window left untouched this long closes
};

// The settings of this computer: "Terminal=kiosk" and the other keys from the system-wide file only,
// terminal mode also when `kioskFromCommandLine`. A value that is not a whole number in its range keeps
// its default (and says so in the log).
Settings fromSystemSettings(bool kioskFromCommandLine);

// The settings the program runs with; the windows read them. Outside terminal mode by default.
const Settings& current();
void setCurrent(const Settings& settings);
inline bool active() {
    return current().kiosk;
}

// Whether the program's arguments ask for terminal mode ("--kiosk" alone).
bool kioskArgument(int argc, char* argv[]);

} // namespace Terminal
