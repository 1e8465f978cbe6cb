# Sourced by the window script tests: a private Xvfb on a free display, the
# program under test, and cleanup that never leaves either running.
# Needs VANTOR_BIN; VANTOR_X11 (tests/support/x11_tool.c) for close requests
# and pixel reads. Functions that print a result run in $(...): follow them
# with "|| exit 1", since fail inside the substitution cannot end the script.

. "$(dirname "${BASH_SOURCE[0]}")/preamble.sh"

XVFB_PID=""   # the latest server
XVFB_PIDS=""  # every server started
APP_PID=""
APP_STATUS=""

cleanup() {
    if [ -n "$APP_PID" ] && kill -0 "$APP_PID" 2>/dev/null; then kill -9 "$APP_PID" 2>/dev/null; fi
    local pid
    for pid in $XVFB_PIDS; do
        if kill -0 "$pid" 2>/dev/null; then kill "$pid" 2>/dev/null; fi
    done
    wait 2>/dev/null
    return 0
}
trap cleanup EXIT


# Starts Xvfb on the first free display number (it picks and reports it
# itself) and exports DISPLAY. $1: screen geometry, default 1024x768x24.
# Without -noreset the server resets whenever its last client leaves (an
# xdotool poll) and drops whoever connects meanwhile.
# May be called again for another server; cleanup stops them all.
start_xvfb() {
    local numfile
    numfile=$(mktemp)
    Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 "${1:-1024x768x24}" 3>"$numfile" 2>xvfb.log &
    XVFB_PID=$!
    XVFB_PIDS="$XVFB_PIDS $XVFB_PID"
    for _ in $(seq 100); do
        [ -s "$numfile" ] && break
        sleep 0.1
    done
    [ -s "$numfile" ] || fail "Xvfb did not start"
    export DISPLAY=":$(tr -d '[:space:]' <"$numfile")"
    rm -f "$numfile"
}

# Starts the program in the background with the given options.
start_app() {
    rm -f report.htm
    "$VANTOR_BIN" "$@" >app.out 2>app.err &
    APP_PID=$!
    APP_STATUS=""
}

# Prints the program's window id once it is mapped (within 60 s).
wait_window() {
    local id="" deadline=$((SECONDS + 60))
    while [ "$SECONDS" -lt "$deadline" ]; do
        id=$(xdotool search --onlyvisible --class VL_CLIENT_CLASS 2>/dev/null | head -n 1)
        [ -n "$id" ] && break
        kill -0 "$APP_PID" 2>/dev/null || fail "the program ended before its window appeared"
        sleep 0.2
    done
    if [ -z "$id" ]; then
        # Enough to tell a hung program from a missing or unmapped window.
        {
            echo "--- windows on $DISPLAY"
            xwininfo -root -children 2>&1 | tail -n +5
            echo "--- program state"
            grep -E '^(State|Threads)' "/proc/$APP_PID/status" 2>&1
        } >&2
        fail "no window of class VL_CLIENT_CLASS appeared"
    fi
    echo "$id"
}

# Colour (RRGGBB) of pixel ($2, $3) of window $1.
window_pixel() { "$VANTOR_X11" pixel "$1" "$2" "$3"; }

# Number of near-white pixels in rectangle ($2, $3, $4 x $5) of window $1.
window_bright() { "$VANTOR_X11" bright "$1" "$2" "$3" "$4" "$5"; }

# Waits up to $1 seconds until the command in the remaining arguments
# succeeds; frames can be slow under the sanitizers on a busy machine.
wait_until() {
    local deadline=$((SECONDS + $1))
    shift
    while [ "$SECONDS" -lt "$deadline" ]; do
        "$@" && return 0
        sleep 0.2
    done
    return 1
}

# Waits (up to 60 s) until window $1 shows a frame of the loop: the upper
# letterbox bar's near-black (1, 1, 1) is on screen.
wait_frame() {
    local deadline=$((SECONDS + 60))
    while [ "$SECONDS" -lt "$deadline" ]; do
        [ "$(window_pixel "$1" 400 40 2>/dev/null)" = 010101 ] && return 0
        kill -0 "$APP_PID" 2>/dev/null || fail "the program ended before drawing a frame"
        sleep 0.2
    done
    fail "no frame was drawn within 60 s"
}

# The window manager's close request (the title bar's close button).
close_window() { "$VANTOR_X11" close "$1" || fail "could not send the close request"; }

# Waits up to $1 seconds for the program to end; sets APP_STATUS. Returns 1
# when it is still running.
wait_exit() {
    local tenths=$(( $1 * 10 ))
    for _ in $(seq "$tenths"); do
        if ! kill -0 "$APP_PID" 2>/dev/null; then
            wait "$APP_PID"
            APP_STATUS=$?
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# Milliseconds since the epoch.
now_ms() { date +%s%3N; }

# The report has the banner, the three OpenGL lines and the trailer.
check_report() {
    [ -f report.htm ] || fail "report.htm was not written"
    local line
    for line in '<title>VELDRA4 REPORT</title>' '<b>V4 Graphic Engine Project</b>' \
        '<b>Version 1.04, build "vantor"</b>' '<b>OpenGL Vendor \["' '<b>OpenGL Version \["' \
        '<b>OpenGL Renderer \["'; do
        grep -q "$line" report.htm || fail "report.htm lacks $line"
    done
    [ "$(tail -c 16 report.htm)" = "$(printf '\n</body>\n</html>')" ] || fail "report.htm has no trailer"
}
