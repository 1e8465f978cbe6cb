#!/bin/bash
# Drives the error dialog in a real window under Xvfb with xdotool: the
# ErrorDialogX11 cases of test_error_dialog, then EXIT ending the process.
. "$VANTOR_TEST_SUPPORT/preamble.sh"
source "$VANTOR_TEST_SUPPORT/xvfb.sh"
bin="$(dirname "$VANTOR_BIN")/tests/test_error_dialog"
[ -x "$bin" ] || fail "missing $bin (build test_error_dialog)"
start_xvfb
export VANTOR_DIALOG_X11=1

# The dialog's own loop waits for a click that may never come: bounded, so a
# lost click fails here instead of in CTest's time-out.
timeout 240 "$bin" --gtest_filter='ErrorDialogX11.*' || fail "dialog cases failed (status $?)"

VANTOR_DIALOG_EXIT=1 timeout 120 "$bin" --gtest_filter='ErrorDialogX11.ExitButtonEndsTheProcess' >app.out 2>app.err
rc=$?
cat app.out
[ $rc -eq 0 ] || fail "EXIT: status $rc, expected 0"
grep -q 'RUN.*ExitButtonEndsTheProcess' app.out || fail "the EXIT case did not run"
if grep -q 'DIALOG RETURNED\|PASSED\|SKIPPED' app.out; then fail "EXIT did not end the process inside the dialog"; fi
echo "EXIT ended the process with status 0"
