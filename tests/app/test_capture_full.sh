#!/bin/bash
# The whole demo, 0-100000 ms at 10 fps, captured at a small size to keep the
# test short: every frame is written, the run exits with 0 and the report is
# closed with its trailer. Then a range past the end: the last block ends the
# run by itself.
. "$VANTOR_TEST_SUPPORT/preamble.sh"
need_content

# Width and height of a PNG from its header.
png_size() {
    od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%dx%d\n", $3 * 256 + $4, $7 * 256 + $8 }'
}

rm -rf full end report.htm
start=$(date +%s)
"$VANTOR_BIN" --data "$VANTOR_CONTENT" --capture full --fps 10 --size 160x120 >run.out 2>run.err
status=$?
echo "whole range: $(($(date +%s) - start)) s"
[ "$status" = 0 ] || fail "exit status $status"
count=$(find full -name 'frame_*.png' | wc -l)
[ "$count" = 1000 ] || fail "$count frames instead of 1000"
[ -f full/frame_000999.png ] || fail "no frame_000999.png"
[ "$(png_size full/frame_000500.png)" = 160x120 ] || fail "frame size $(png_size full/frame_000500.png)"
[ "$(tail -c 15 report.htm)" = "</body>
</html>" ] || fail "report.htm does not end with its trailer"
grep -q "1000/1000 frames" run.err || fail "no progress bar on standard error"
grep -q 'captured 1000 frames' run.err || fail "no closing line"
tail -n 1 run.err

# 99800, 99900 and 100000: the last frame runs block9, which ends the demo.
"$VANTOR_BIN" --data "$VANTOR_CONTENT" --capture end --fps 10 --size 160x120 --from 99800 --to 101000 \
    >run.out 2>run.err
status=$?
[ "$status" = 0 ] || fail "past the end: exit status $status"
count=$(find end -name 'frame_*.png' | wc -l)
[ "$count" = 3 ] || fail "past the end: $count frames instead of 3"
[ "$(tail -c 15 report.htm)" = "</body>
</html>" ] || fail "past the end: report.htm not closed"
echo ok
