# Sourced first by every script test: fail and skip, and the checks for what
# a test needs. A test that lacks a tool or the built content exits with 77,
# which CTest reports as skipped, not passed.
set -u

# Ends the test as failed, with the tail of whatever the program said.
fail() {
    echo "FAIL: $*" >&2
    local f
    for f in run.err app.out app.err; do
        [ -s "$f" ] && { echo "--- $f" >&2; tail -n 20 "$f" >&2; }
    done
    exit 1
}

skip() {
    echo "skipped: $*"
    exit 77
}

# The program under test (VANTOR_BIN) and the built content: sets BIN and
# CONTENT, or skips.
need_program_and_content() {
    BIN=${VANTOR_BIN:-}
    [ -n "$BIN" ] && [ -x "$BIN" ] || skip "no program (VANTOR_BIN)"
    need_content
    CONTENT=$VANTOR_CONTENT
}

# The built content (VANTOR_CONTENT) holding $1, by default the vertex
# profiles; skipped without it.
need_content() {
    [ -n "${VANTOR_CONTENT:-}" ] && [ -f "$VANTOR_CONTENT/${1:-scripts/vertexprofiles.vsl}" ] ||
        skip "no built content (VANTOR_CONTENT)"
}
