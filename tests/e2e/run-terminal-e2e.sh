#!/usr/bin/env bash
# End-to-end test of terminal mode: the built program started with --kiosk on a private X display, a
# badge reader played by xdotool (a burst of keys ended by Enter, a few milliseconds apart) under the
# US, French (AZERTY) and German (QWERTZ) keyboard layouts, and the database checked with sqlite3.
# The reader's keys are sent as the key positions a reader set to US presses: under each layout the
# keysyms that sit on those positions there, so that the program sees the same keycodes it would get
# from a real reader, with that layout's texts.
#
#   run-terminal-e2e.sh PROGRAM
#
# TALLYCLOCK_E2E_DISPLAYS  display numbers to try for the private X server (default "80 81 ... 89")
# TALLYCLOCK_E2E_SHOTS     folder that receives terminal-idle.png, terminal-in.png, terminal-refused.png
set -euo pipefail

program=$(readlink -f "${1:?usage: run-terminal-e2e.sh PROGRAM}")
for tool in Xvfb xdotool xdpyinfo setxkbmap sqlite3 import; do
    command -v "$tool" >/dev/null || { echo "e2e-terminal: $tool is missing (make deps installs it)" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/tallyclock-terminal.XXXXXX")
xvfb_pid='' program_pid='' passed=0
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"

. "$(dirname "${BASH_SOURCE[0]}")/xserver.sh"
cleanup() {
    local status=$?
    stop "$program_pid"
    stop "$xvfb_pid"
    finish_work e2e-terminal logs
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
fail() {
    echo "e2e-terminal: $*" >&2
    exit 1
}

start_xvfb 1920x1080x24 ${TALLYCLOCK_E2E_DISPLAYS:-80 81 82 83 84 85 86 87 88 89}
[ -n "$xvfb_pid" ] || fail "no free X display"

# A data folder with two persons who have badges and no administrator (so that Ctrl+Q may close the
# terminal at the end), and system-wide settings that let one person punch again at once.
export TALLYCLOCK_COMMON_APPDATA="$work/common" XDG_CONFIG_HOME="$work/config" XDG_CONFIG_DIRS="$work/xdg"
data="$TALLYCLOCK_COMMON_APPDATA/Quillmark/Tallyclock Suite"
mkdir -p "$data" "$XDG_CONFIG_HOME" "$XDG_CONFIG_DIRS/Quillmark"
cp "$(dirname "$program")/dbBlank.mdb" "$data/dbData.mdb"
db="$data/dbData.mdb"
sqlite3 "$db" "INSERT INTO tblEmployees (EmployeeNo, Name, Department, Position, BadgeCode) VALUES
    ('01', 'Ann Example', 'Assembly', 'Fitter', '4021'), ('02', 'Bo Example', 'Stores', 'Clerk', 'qy7');"
printf '[Tallyclock%%20Suite]\nRepeatSeconds=0\nBannerSeconds=30\n' >"$XDG_CONFIG_DIRS/Quillmark/Quillmark.ini"
unset QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_AUTO_SCREEN_SCALE_FACTOR QT_FONT_DPI LC_ALL LC_TIME LANGUAGE
export QT_QPA_PLATFORM=xcb LANG=en_US.UTF-8

setxkbmap us
"$program" --kiosk >"$work/program.log" 2>&1 &
program_pid=$!
window=$(timeout 30 xdotool search --sync --onlyvisible --name 'Tallyclock Suite' | head -1) ||
    fail "the terminal's window did not appear"
sleep 1
xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
geometry=$(xdotool getwindowgeometry "$window")
echo "$geometry" | grep -q 'Geometry: 1920x1080' || fail "the terminal does not fill the screen: $geometry"

shot() {
    [ -n "${TALLYCLOCK_E2E_SHOTS:-}" ] || return 0
    sleep 0.5
    import -display "$DISPLAY" -window root "$TALLYCLOCK_E2E_SHOTS/$1"
}

# A read: the keysyms of one layout for the reader's key positions, 5 ms apart, then Enter.
read_badge() {
    xdotool key --delay 5 "$@" Return
    sleep 1
}
records() { sqlite3 "$db" "SELECT count(*) || '/' || count(TimeOut) FROM tblLogins WHERE EmployeeNo = '$1'"; }

shot terminal-idle.png
# Badge 4021 (positions 4 0 2 1) and qy7 (positions Q Y 7) under each layout.
setxkbmap us
read_badge 4 0 2 1
[ "$(records 01)" = "1/0" ] || fail "US layout: 4021 did not punch in ($(records 01))"
shot terminal-in.png
read_badge q y 7
[ "$(records 02)" = "1/0" ] || fail "US layout: qy7 did not punch in ($(records 02))"
setxkbmap fr
read_badge apostrophe agrave eacute ampersand
[ "$(records 01)" = "1/1" ] || fail "French layout: 4021 did not punch out ($(records 01))"
read_badge a y egrave
[ "$(records 02)" = "1/1" ] || fail "French layout: qy7 did not punch out ($(records 02))"
setxkbmap de
read_badge 4 0 2 1
[ "$(records 01)" = "2/1" ] || fail "German layout: 4021 did not punch in again ($(records 01))"
read_badge q z 7
[ "$(records 02)" = "2/1" ] || fail "German layout: qy7 did not punch in again ($(records 02))"
setxkbmap us
# A badge nobody has: refused, nothing written.
read_badge 9 9 9 9
[ "$(sqlite3 "$db" 'SELECT count(*) FROM tblLogins')" = "4" ] || fail "an unknown badge wrote a record"
shot terminal-refused.png

# Without any administrator, Ctrl+Q closes the terminal and the program ends by itself.
xdotool key ctrl+q
for _ in $(seq 100); do
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.1
done
status=0
wait "$program_pid" || status=$?
program_pid=''
[ "$status" -eq 0 ] || fail "the program ended with status $status"
passed=1
echo "e2e-terminal: passed"
