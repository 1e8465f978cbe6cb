# Without --windowed the program switches to full screen; under Xvfb (whose
# screen size the switch cannot change) it must still start, draw and end
# cleanly.
. "$VANTOR_TEST_SUPPORT/preamble.sh"
. "$VANTOR_TEST_SUPPORT/xvfb.sh"
start_xvfb 1024x768x24

start_app
win=$(wait_window) || exit 1
wait_frame "$win"
geometry=$(xdotool getwindowgeometry "$win")
echo "$geometry" | grep -q 'Geometry: 1024x768' || fail "the window does not cover the screen: $geometry"
# The picture follows the size message: both bars span the whole screen.
sleep 0.5
for p in "1000 20" "1000 750" "20 750"; do
    [ "$(window_pixel "$win" $p)" = 010101 ] || fail "no letterbox bar at ($p) of the full-screen window"
done
kill -0 "$APP_PID" 2>/dev/null || fail "the full-screen start ended by itself"
xdotool windowfocus "$win" 2>/dev/null
xdotool key Escape
wait_exit 10 || fail "Escape did not end the full-screen program"
[ "$APP_STATUS" = 0 ] || fail "exit status $APP_STATUS"
check_report

# A screen too small for any 800 x 600 mode: the switch is refused, which
# posts the quit message; start-up still completes and the program ends
# cleanly on its own.
start_xvfb 640x480x24
start_app
wait_exit 60 || fail "a refused mode switch did not end the program"
[ "$APP_STATUS" = 0 ] || fail "exit status $APP_STATUS after the refused mode switch"
grep -q 'full-screen mode is not available' app.err || fail "the refused mode switch was not reported"
check_report
echo "ok"
