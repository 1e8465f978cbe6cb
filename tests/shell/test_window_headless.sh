# Without DISPLAY the program still starts, on SDL's offscreen driver (real
# GL through EGL), and a termination request ends it cleanly. Also the
# command line's answers and refusals.
. "$VANTOR_TEST_SUPPORT/preamble.sh"
. "$VANTOR_TEST_SUPPORT/xvfb.sh"
unset DISPLAY WAYLAND_DISPLAY

start_app
sleep 3
kill -0 "$APP_PID" 2>/dev/null || fail "the program did not keep running without a display"
kill -TERM "$APP_PID"
wait_exit 10 || fail "SIGTERM did not end the program"
[ "$APP_STATUS" = 0 ] || fail "exit status $APP_STATUS after SIGTERM"
check_report
grep -q 'OpenGL Renderer \["llvmpipe' report.htm || fail "not rendering through llvmpipe"

"$VANTOR_BIN" --help >out.txt 2>&1 || fail "--help failed"
grep -q -- '--windowed' out.txt || fail "--help does not list --windowed"
"$VANTOR_BIN" --version >out.txt 2>&1 || fail "--version failed"
grep -q '^vantor 1.04' out.txt || fail "--version says: $(cat out.txt)"

expect_refusal() {
    local status
    "$VANTOR_BIN" "$@" >out.txt 2>err.txt
    status=$?
    [ "$status" = 1 ] || fail "vantor $* exited with $status, not 1"
    grep -q '^vantor: ' err.txt || fail "vantor $* said nothing on standard error"
    [ ! -s out.txt ] || fail "vantor $* wrote to standard output"
}
rm -f report.htm
expect_refusal --bogus
expect_refusal --data
expect_refusal --data /nonexistent/content
expect_refusal --fps 0
expect_refusal --capture frames --json
[ ! -e report.htm ] || fail "a refused command line wrote report.htm"

# A display that is named but cannot be reached ends the program with the
# reason; SDL alone would play the show on its offscreen driver, unseen.
DISPLAY=:4321 timeout 30 "$VANTOR_BIN" --windowed >out.txt 2>err.txt
status=$?
[ "$status" = 1 ] || fail "with an unreachable display the program exited with $status, not 1"
grep -q 'cannot open display ":4321"' err.txt || fail "the unreachable display was not named: $(cat err.txt)"
echo "ok"
