#!/usr/bin/env bash
# The report from a working directory where report.htm cannot be created,
# though the folder itself counts as writable (here "report.htm" is a folder;
# permissions, ACLs, read-only mounts and sandboxes refuse in the same place):
# it goes to the state folder and standard error says so. Where the state
# folder cannot be made either, one line says so and the run goes on.
. "$VANTOR_TEST_SUPPORT/preamble.sh"
need_program_and_content

WORK=$PWD
rm -rf blocked state
mkdir -p blocked/report.htm
cd blocked || exit 1
[ -w . ] || skip "the test folder itself cannot be written"

run() { # XDG_STATE_HOME
  XDG_STATE_HOME=$1 "$BIN" --data "$CONTENT" --benchmark --fps 10 --from 0 --to 200 --size 64x48 \
    >/dev/null 2>run.err
}

run "$WORK/state" || fail "exit status $? with the report refused in the working directory"
grep -q '</html>' "$WORK/state/vantor/report.htm" || fail "no report in the state folder"
grep -qF "vantor: report in $WORK/state/vantor/report.htm (report.htm: Is a directory)" run.err ||
  fail "not told where the report went, and why"
[ -z "$(ls -A report.htm)" ] || fail "something was written into the folder named report.htm"

# A state folder under a file cannot be made.
touch "$WORK/state/plain"
run "$WORK/state/plain" || fail "exit status $? with no report anywhere"
[ "$(grep -c 'cannot write the report' run.err)" = 1 ] || fail "not said exactly once"
grep -qF "cannot write the report report.htm: Is a directory, nor $WORK/state/plain/vantor/report.htm: Not a directory" \
  run.err || fail "the reasons are not given"
echo ok
