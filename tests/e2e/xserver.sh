# Shared by the end-to-end scripts (sourced): stopping a process, and a private X server.

# Ends a process, politely first; nothing when the pid is empty or already gone.
stop() {
    local pid=$1
    [ -n "$pid" ] || return 0
    kill "$pid" 2>/dev/null || return 0
    for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null || true
}

# start_xvfb SIZE NUMBER...: an X server on the first free display of the list (a display taken
# meanwhile makes our server exit, and the next number is tried). Sets xvfb_pid and DISPLAY; xvfb_pid
# stays empty when none was free. The server's log goes to $work/xvfb.log.
start_xvfb() {
    local size=$1 number
    shift
    for number in "$@"; do
        [ -e "/tmp/.X$number-lock" ] && continue
        Xvfb ":$number" -screen 0 "$size" -noreset -nolisten tcp >"$work/xvfb.log" 2>&1 &
        xvfb_pid=$!
        export DISPLAY=":$number"
        for _ in $(seq 50); do
            kill -0 "$xvfb_pid" 2>/dev/null || break
            timeout 2 xdpyinfo >/dev/null 2>&1 && return 0
            sleep 0.1
        done
        stop "$xvfb_pid"
        xvfb_pid=''
    done
}

# finish_work TAG WHAT: after a passing run (unless TALLYCLOCK_E2E_KEEP is set) the work folder goes;
# otherwise it stays, the message says so, and the program's log is shown.
finish_work() {
    local tag=$1 kept=$2
    if [ "$passed" -eq 1 ] && [ -z "${TALLYCLOCK_E2E_KEEP:-}" ]; then
        rm -rf "$work"
    else
        echo "$tag: $kept kept in $work" >&2
        [ -s "$work/program.log" ] && sed "s/^/$tag: program: /" "$work/program.log" >&2
    fi
    return 0
}
