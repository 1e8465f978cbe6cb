#!/usr/bin/env bash
# The whole demo, 0 to 100 s of music, captured at a low frame rate by the
# program built with AddressSanitizer and UndefinedBehaviorSanitizer: every
# block, every loader and the shutdown run, and none may report, leaks
# included (the content the demo keeps to the end is still reachable then).
# Environment: DEMO_FPS (default 5), DEMO_SIZE (default 320x240).
. "$VANTOR_TEST_SUPPORT/preamble.sh"
set -o pipefail

need_program_and_content
ldd "$BIN" | grep libasan >/dev/null || skip "$BIN is not built with sanitizers (configure with -DVANTOR_SANITIZE=ON)"

FPS=${DEMO_FPS:-5}
SIZE=${DEMO_SIZE:-320x240}
rm -rf frames report.htm
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:intercept_tls_get_addr=0}:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$VANTOR_TEST_SUPPORT/lsan.supp:print_suppressions=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}:halt_on_error=1:print_stacktrace=1"

start=$(date +%s)
timeout 560 "$BIN" --capture "$PWD/frames" --fps "$FPS" --size "$SIZE" --from 0 --to 100000 --data "$CONTENT" \
  >out 2>err
rc=$?
echo "capture: status $rc in $(($(date +%s) - start)) s"

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
[ $rc -eq 0 ] || fail "status $rc"
if grep -qE 'AddressSanitizer|LeakSanitizer|UndefinedBehaviorSanitizer|runtime error:' err; then
  fail "sanitizer report"
  grep -m20 -E 'ERROR|runtime error|SUMMARY|^    #' err
fi
expected=$((100000 * FPS / 1000))
frames=$(ls frames 2>/dev/null | grep -c '^frame_[0-9]*\.png$')
[ "$frames" -eq "$expected" ] || fail "$frames frames written, expected $expected"
[ -f report.htm ] && grep -q '</html>' report.htm || fail "report.htm missing or without its trailer"
! grep -q 'CRITICAL' report.htm 2>/dev/null || fail "critical line in report.htm"
if [ $failures -ne 0 ]; then
  tail -20 err
  exit 1
fi
echo PASS
