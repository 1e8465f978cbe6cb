# The real program under Xvfb, driven with xdotool like a video player: the
# picture follows window resizes without stretching; Right seeks 5 s, Space
# pauses the music; --desktop fills the screen; --loop starts again at the
# end; --from starts there.
# Where the music really was after each key is in the report's Playback lines.
. "$VANTOR_TEST_SUPPORT/preamble.sh"
. "$VANTOR_TEST_SUPPORT/xvfb.sh"
start_xvfb 1600x900x24

# "Playback [What from A ms to B ms]" or "Playback [What at A ms]" lines.
playback_lines() { grep -o 'Playback \[[^]]*\]' report.htm 2>/dev/null; }
has_line() { playback_lines | grep -q "$1"; }
first_number() { echo "$1" | grep -o '[0-9]\+' | sed -n "${2}p"; }
pixel_is() { [ "$(window_pixel "$win" "$1" "$2")" = "$3" ]; }

start_app --windowed
win=$(wait_window) || exit 1
wait_frame "$win"
xdotool windowfocus "$win" 2>/dev/null
sleep 2

# Right: the music moves 5 s on (within a frame of 60 Hz, 17 ms).
xdotool key Right
wait_until 20 has_line Seek || fail "Right made no seek"
line=$(playback_lines | grep Seek | head -n 1)
from=$(first_number "$line" 1)
to=$(first_number "$line" 2)
[ "$from" -gt 0 ] || fail "the music did not run before the seek: $line"
step=$((to - from))
[ "$step" -ge 4983 ] && [ "$step" -le 5017 ] || fail "Right moved the music by $step ms: $line"

# Two seconds of pause move the music by at most a frame.
xdotool key space
wait_until 20 has_line Pause || fail "Space did not pause"
sleep 2
xdotool key space
wait_until 20 has_line Resume || fail "Space did not resume"
paused_at=$(first_number "$(playback_lines | grep Pause | head -n 1)" 1)
resumed_at=$(first_number "$(playback_lines | grep Resume | head -n 1)" 1)
[ $((resumed_at - paused_at)) -le 17 ] || fail "the music ran on while paused: $paused_at to $resumed_at ms"

# Resizing: never stretched. Narrower than 4:3 the whole frame shows with
# black above and below; 16:9 fills the width and keeps 8 rows of each bar;
# wider than 20:11 the picture fits the height, black at the sides.
xdotool windowsize "$win" 800 800
wait_until 20 pixel_is 400 50 000000 || fail "no black above the frame in an 800x800 window"
pixel_is 400 140 010101 || fail "no upper bar at rows 100-179 in an 800x800 window"
pixel_is 400 660 010101 || fail "no lower bar at rows 620-699 in an 800x800 window"
pixel_is 400 750 000000 || fail "no black below the frame in an 800x800 window"
xdotool windowsize "$win" 1280 720
wait_until 20 pixel_is 640 4 010101 || fail "no 8-row upper bar in a 1280x720 window"
pixel_is 640 715 010101 || fail "no 8-row lower bar in a 1280x720 window"
xdotool windowsize "$win" 1600 600
wait_until 20 pixel_is 100 300 000000 || fail "no black at the sides in a 1600x600 window"
pixel_is 1500 300 000000 || fail "no black at the right side in a 1600x600 window"
xdotool key Escape
wait_exit 30 || fail "Escape did not end the program"
[ "$APP_STATUS" = 0 ] || fail "exit status $APP_STATUS after Escape"

# --desktop covers the 16:9 screen without a mode switch: 10-row bars.
start_app --desktop
win=$(wait_window) || exit 1
geometry=$(xdotool getwindowgeometry "$win")
echo "$geometry" | grep -q 'Geometry: 1600x900' || fail "--desktop does not cover the screen: $geometry"
wait_until 60 pixel_is 800 5 010101 || fail "no 10-row upper bar on the 1600x900 desktop"
pixel_is 800 894 010101 || fail "no 10-row lower bar on the 1600x900 desktop"
xdotool windowfocus "$win" 2>/dev/null
xdotool key Escape
wait_exit 30 || fail "Escape did not end the --desktop program"
[ "$APP_STATUS" = 0 ] || fail "exit status $APP_STATUS after Escape on the desktop"

# --loop from near the end: the clock goes back to 0 instead of ending.
start_app --windowed --loop --from 98500
win=$(wait_window) || exit 1
wait_until 60 has_line Loop || fail "--loop did not start again at the end"
kill -0 "$APP_PID" 2>/dev/null || fail "the program ended at the end of the demo despite --loop"
back_to=$(first_number "$(playback_lines | grep Loop | head -n 1)" 2)
[ -n "$back_to" ] && [ "$back_to" -le 17 ] || fail "after the loop the clock was at ${back_to:-?} ms"
xdotool windowfocus "$win" 2>/dev/null
xdotool key Escape
wait_exit 30 || fail "Escape did not end the looping program"
[ "$APP_STATUS" = 0 ] || fail "exit status $APP_STATUS after Escape in a loop"

# --from 72000 shows the shaft from its first frames: the window is close to
# a capture of the instant it paused at and far from one of the robot block
# before it. The shaft moves with the music, so a slow build that pauses half
# a second in must be compared with that half second, not with 72000.
"$VANTOR_BIN" --capture robot --from 66000 --to 66001 >capture.out 2>run.err || fail "capture at 66000 failed"
start_app --windowed --from 72000
win=$(wait_window) || exit 1
wait_frame "$win"
xdotool windowfocus "$win" 2>/dev/null
xdotool key space
wait_until 20 has_line Pause || fail "Space did not pause the shaft"
paused_at=$(first_number "$(playback_lines | grep Pause | head -n 1)" 1)
[ "$paused_at" -ge 72000 ] && [ "$paused_at" -lt 84000 ] || fail "--from 72000 paused at $paused_at ms"
"$VANTOR_BIN" --capture shaft --from "$paused_at" --to $((paused_at + 1)) >capture.out 2>run.err ||
    fail "capture at $paused_at failed"
near=$("$VANTOR_X11" diff "$win" shaft/frame_000000.png) || fail "cannot compare the window"
far=$("$VANTOR_X11" diff "$win" robot/frame_000000.png) || fail "cannot compare the window"
echo "paused at $paused_at ms; difference to the shaft there: $near, to the robot at 66000: $far"
awk -v n="$near" -v f="$far" 'BEGIN { exit !(n < 20 && n * 2 < f) }' || fail "the first frames do not look like the shaft"
xdotool key Escape
wait_exit 30 || fail "Escape did not end the program"
echo "ok"
