#!/usr/bin/env bash
# A short capture under valgrind memcheck: start-up with every loader, a few
# frames of the heaviest block, shutdown. No invalid read, write or free may
# be reported. Valgrind cannot run a sanitizer build, so a plain build of the
# program is made beside the test build when VANTOR_BIN is one (or give one
# in VANTOR_PLAIN_BIN). Environment: VG_FROM (default 45000 ms), VG_FRAMES
# (default 2), VG_SIZE (default 160x120).
. "$VANTOR_TEST_SUPPORT/preamble.sh"
set -o pipefail

SRC=$(cd "$(dirname "$0")/../.." && pwd)
need_program_and_content
command -v valgrind >/dev/null || skip "valgrind is not installed (apt-get install valgrind)"

PLAIN=${VANTOR_PLAIN_BIN:-}
if [ -z "$PLAIN" ]; then
  if ldd "$BIN" | grep libasan >/dev/null; then
    PLAIN_BUILD=$(dirname "$BIN")/plain
    echo "building a plain program in $PLAIN_BUILD"
    cmake -S "$SRC" -B "$PLAIN_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTOR_SANITIZE=OFF \
      -DVANTOR_TESTS=OFF >/dev/null || { echo "FAIL: cannot configure the plain build"; exit 1; }
    ninja -C "$PLAIN_BUILD" -j2 vantor >"$PWD/plain_build.log" 2>&1 ||
      { tail -20 "$PWD/plain_build.log"; echo "FAIL: the plain build failed"; exit 1; }
    PLAIN=$PLAIN_BUILD/vantor
  else
    PLAIN=$BIN
  fi
fi

FROM=${VG_FROM:-45000}
FRAMES=${VG_FRAMES:-2}
SIZE=${VG_SIZE:-160x120}
FPS=10
rm -rf frames report.htm vg.log
unset ASAN_OPTIONS UBSAN_OPTIONS
# One rendering thread keeps the run short and the report readable.
export LP_NUM_THREADS=0

start=$(date +%s)
timeout 560 valgrind --tool=memcheck --error-limit=no --num-callers=30 --suppressions="$VANTOR_TEST_SUPPORT/valgrind.supp" --log-file=vg.log \
  "$PLAIN" --capture "$PWD/frames" --fps $FPS --size "$SIZE" --from "$FROM" --to $((FROM + FRAMES * 1000 / FPS)) \
  --data "$CONTENT" >out 2>err
rc=$?
echo "valgrind capture: status $rc in $(($(date +%s) - start)) s"

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
[ $rc -eq 0 ] || { fail "status $rc"; tail -5 err; }
# Invalid accesses only: the GL driver's JIT reads uninitialised padding,
# which memcheck reports as conditional jumps; those are not ours to judge.
if grep -qE 'Invalid (read|write|free)|Mismatched free|Source and destination overlap|Process terminating' vg.log; then
  fail "memcheck found invalid accesses"
  grep -E -A12 'Invalid (read|write|free)|Mismatched free|Source and destination overlap|Process terminating' vg.log |
    head -60
fi
grep -q 'ERROR SUMMARY' vg.log || fail "valgrind did not finish"
grep 'ERROR SUMMARY' vg.log
frames=$(ls frames 2>/dev/null | grep -c '^frame_[0-9]*\.png$')
[ "$frames" -eq "$FRAMES" ] || fail "$frames frames written, expected $FRAMES"
[ $failures -eq 0 ] || exit 1
echo PASS
