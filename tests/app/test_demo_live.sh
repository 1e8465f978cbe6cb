# The real program plays the whole demo live under Xvfb, music on the
# silent audio driver, and ends by itself when the music clock reaches the
# last block. Music time starts once loading is over, so the bound is the
# demo's 100 s plus start-up.
. "$VANTOR_TEST_SUPPORT/preamble.sh"
. "$VANTOR_TEST_SUPPORT/xvfb.sh"
start_xvfb 1024x768x24

t0=$(now_ms)
start_app --windowed
win=$(wait_window) || exit 1
wait_frame "$win"
t_first=$(now_ms)
wait_exit 150 || fail "the demo was still running 150 s after start"
t_end=$(now_ms)
[ "$APP_STATUS" = 0 ] || fail "the demo ended with status $APP_STATUS"
check_report
play_ms=$((t_end - t_first))
echo "start-up to first frame: $((t_first - t0)) ms; first frame to exit: $play_ms ms"
[ "$play_ms" -le 105000 ] || fail "playing took $play_ms ms, more than 105 s"
[ "$play_ms" -ge 95000 ] || fail "the demo ended after only $play_ms ms"
echo "ok"
