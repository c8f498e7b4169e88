#!/usr/bin/env bash
# End-to-end test of the built program as a person meets it: a private X display, a private
# session bus with the accessibility bus on it, a fresh common data folder and fresh per-user
# settings. scenario.py drives the windows with xdotool (typing, clicks at the layout positions,
# keyboard answers to message boxes), reads them through the accessibility bus as a screen reader
# does, and checks the database with the sqlite3 tool.
#
#   run-e2e.sh PROGRAM
#
# TALLYCLOCK_E2E_DISPLAYS  display numbers to try for the private X server (default "90 91 ... 99")
# TALLYCLOCK_E2E_SHOTS     folder that receives the window screenshots (default: the work folder)
# TALLYCLOCK_E2E_KEEP=1    keep the work folder (screenshots, logs) also when the test passes
# TALLYCLOCK_E2E_DUMP=1    print what the accessibility bus shows of each window the test visits
set -euo pipefail

program=$(readlink -f "${1:?usage: run-e2e.sh PROGRAM}")
here=$(cd "$(dirname "$0")" && pwd)

# Everything below needs its own session bus; dbus-run-session ends that bus when we end.
if [ -z "${TALLYCLOCK_E2E_IN_SESSION:-}" ]; then
    for tool in dbus-run-session Xvfb xdotool xprop sqlite3 import convert; do
        command -v "$tool" >/dev/null || { echo "e2e: $tool is missing (make deps installs it)" >&2; exit 1; }
    done
    [ -x /usr/libexec/at-spi-bus-launcher ] || { echo "e2e: at-spi2-core is missing" >&2; exit 1; }
    # Debian's own Python carries pyatspi; another python3 earlier on PATH would not.
    /usr/bin/python3 -c 'import pyatspi' 2>/dev/null || { echo "e2e: python3-pyatspi is missing" >&2; exit 1; }
    export TALLYCLOCK_E2E_IN_SESSION=1
    exec timeout --kill-after=5 150 dbus-run-session -- "$0" "$@"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tallyclock-e2e.XXXXXX")
xvfb_pid='' bus_pid='' program_pid=''
passed=0
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"

. "$(dirname "${BASH_SOURCE[0]}")/xserver.sh"

cleanup() {
    local status=$?
    if [ "$passed" -ne 1 ] && [ -n "$xvfb_pid" ] && kill -0 "$xvfb_pid" 2>/dev/null; then
        timeout 10 import -display "$DISPLAY" -window root "$work/at-failure.png" 2>/dev/null || true
    fi
    stop "$program_pid"
    stop "$bus_pid"
    stop "$xvfb_pid"
    finish_work e2e "screenshots and logs"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A private X server on the first free display of the list.
start_xvfb 1280x1024x24 ${TALLYCLOCK_E2E_DISPLAYS:-90 91 92 93 94 95 96 97 98 99}
[ -n "$xvfb_pid" ] || { echo "e2e: no free X display among ${TALLYCLOCK_E2E_DISPLAYS:-90..99}" >&2; exit 1; }

# The accessibility bus, so that the program's windows can be read as a screen reader reads them.
/usr/libexec/at-spi-bus-launcher --launch-immediately >"$work/at-spi.log" 2>&1 &
bus_pid=$!
for _ in $(seq 50); do
    # Asking the name's owner, not the bus itself, which would start a second launcher by activation.
    timeout 2 dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null | grep -q 'boolean true' && break
    sleep 0.1
done

export TALLYCLOCK_COMMON_APPDATA="$work/common" XDG_CONFIG_HOME="$work/config"
mkdir -p "$TALLYCLOCK_COMMON_APPDATA" "$XDG_CONFIG_HOME"
# Qt reports its widgets on the accessibility bus only when asked to.
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb
unset QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_AUTO_SCREEN_SCALE_FACTOR QT_FONT_DPI
# The layout and the texts were made for US English; Qt carries the locale data itself.
unset LC_ALL LC_TIME LC_NUMERIC LANGUAGE
export LANG=en_US.UTF-8

"$program" >"$work/program.log" 2>&1 &
program_pid=$!

export TALLYCLOCK_E2E_WORK="$work" TALLYCLOCK_E2E_PID="$program_pid"
export TALLYCLOCK_E2E_SHOTS="${TALLYCLOCK_E2E_SHOTS:-$work}"
timeout --kill-after=5 120 /usr/bin/python3 "$here/scenario.py"
# The scenario ends by closing the main window: the program must have ended by itself, cleanly.
status=0
wait "$program_pid" || status=$?
program_pid=''
[ "$status" -eq 0 ] || { echo "e2e: the program ended with status $status after its window closed" >&2; exit 1; }
passed=1
