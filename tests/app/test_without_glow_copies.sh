#!/usr/bin/env bash
# Content without the robots' coarse glow copies (an older or trimmed content
# folder): the full robots glow instead, the report says so once for each,
# and the demo plays from robot one to its end.
. "$VANTOR_TEST_SUPPORT/preamble.sh"
need_program_and_content

rm -rf data
cp -rs "$CONTENT" data || fail "cannot mirror the content"
rm data/models/robot_wheee_glow.vscene data/models/robot_afropowa_glow.vscene
"$BIN" --data data --benchmark --fps 2 --from 36000 --size 160x120 >bench.txt 2>run.err ||
  fail "exit status $? without the glow copies"
for block in block5 block6 block7 block8; do
  grep -q "^$block " bench.txt || fail "$block did not play"
done
grep -q '</html>' report.htm || fail "report not closed"
! grep -q 'CRITICAL' report.htm || fail "critical line in the report"
for copy in robot_wheee_glow robot_afropowa_glow; do
  [ "$(grep -cF "Content [glow copy \"$copy.vscene\"] not found, the full robot glows !" report.htm)" = 1 ] ||
    fail "no single report line for $copy"
done
echo ok
