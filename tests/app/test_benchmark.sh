#!/bin/bash
# The benchmark mode: frame-time statistics per block as a table and as one
# JSON object, and the command lines it refuses.
. "$VANTOR_TEST_SUPPORT/preamble.sh"
need_content

# 11800 and 11900 in block2, 12000 and 12100 in block3.
"$VANTOR_BIN" --data "$VANTOR_CONTENT" --benchmark --json --fps 10 --size 320x240 --from 11800 --to 12200 \
    >bench.json 2>run.err
status=$?
[ "$status" = 0 ] || fail "exit status $status"
cat bench.json
# One object on one line, keys in the agreed order, nothing else on stdout.
[ "$(wc -l <bench.json)" = 1 ] || fail "more than one line on standard output"
num='[0-9]+\.[0-9]+'
screen="\"screen_pass_ms\":\{\"glow_pass\":$num,\"glow_composite\":$num,\"texture_draw\":$num\}"
passes="\"gpu_ms\":\{\"glow\":$num,\"scene\":$num,\"composite\":$num,\"overlay\":$num\}"
block() {
    echo "\{\"name\":\"$1\",\"title\":\"$2\",\"frames\":2,\"median_ms\":$num,\"p95_ms\":$num,\"max_ms\":$num,\"p95_fills\":$num,\"overdraw\":$num,$passes\}"
}
floor="\"floor_ms\":$num,\"floor_ms_before\":$num,\"floor_ms_after\":$num"
grep -Eq "^\{\"size\":\"320x240\",\"fps\":10,\"load_ms\":$num,\"peak_rss_mb\":$num,$floor,\"blocks\":\[$(block block2 "first title"),$(block block3 "second title")\],$screen\}$" \
    bench.json || fail "JSON not in the agreed shape"
# Per block: 0 < median <= p95 <= max; start-up time and memory above zero.
tr '{' '\n' <bench.json | awk -F'[:,}]' '
    /"name"/ { if (!($8 > 0 && $8 <= $10 && $10 <= $12)) bad = 1 }
    /"load_ms"/ { if (!($6 > 0 && $8 > 1)) bad = 1 }
    END { exit bad }' || fail "statistics out of order"
# The yardstick took time, and the title screens cover the screen more than once.
grep -Eq '"floor_ms":0\.000' bench.json && fail "no yardstick time"
grep -Eq '"overdraw":0\.000' bench.json && fail "no fragments counted"
grep -q "4/4 frames" run.err || fail "no progress bar on standard error"
[ ! -e frame_000000.png ] || fail "the benchmark wrote frames"
[ "$(tail -c 15 report.htm)" = "</body>
</html>" ] || fail "report.htm not closed"

"$VANTOR_BIN" --data "$VANTOR_CONTENT" --benchmark --fps 10 --size 320x240 --from 0 --to 200 >bench.txt 2>run.err ||
    fail "text benchmark failed"
cat bench.txt
grep -q '^start-up to first frame  *[0-9.]* ms$' bench.txt || fail "no start-up time"
grep -q '^peak resident memory  *[0-9.]* MB$' bench.txt || fail "no peak memory"
grep -q '^floor (one textured quad) *[0-9.]* ms' bench.txt || fail "no yardstick"
grep -Eq '^block1 +1( +[0-9.]+){9}  loading bar$' bench.txt || fail "no block1 row"
grep -Eq '^block2 +1( +[0-9.]+){9}  first title$' bench.txt || fail "no block2 row"
grep -Eq '^screen passes: glow pass [0-9.]+ ms, glow composite [0-9.]+ ms, textured quad [0-9.]+ ms$' bench.txt ||
    fail "no screen-pass figures"

# Settings without a mode, and --json without --benchmark, are bad command lines.
for args in "--json" "--fps 30" "--capture x --json" "--benchmark --from 500 --to 100"; do
    # shellcheck disable=SC2086
    "$VANTOR_BIN" --data "$VANTOR_CONTENT" $args >/dev/null 2>run.err
    status=$?
    [ "$status" = 1 ] || fail "\"$args\" exited with $status, not 1"
    grep -q '^vantor: ' run.err || fail "\"$args\" gave no reason"
done
echo ok
