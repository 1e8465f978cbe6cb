#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each one for a short time
# (FUZZ_SECONDS, default 30) over its committed corpus. Fails on any crash,
# sanitizer report, leak, timeout or memory blow-up; the input that did it
# is left in crashes/TARGET/ under this test's working directory, ready to
# replay with the target binary. Longer runs: scripts/fuzz.sh.
. "$VANTOR_TEST_SUPPORT/preamble.sh"
set -o pipefail
SRC=$(cd "$(dirname "$0")/../.." && pwd)

if ! command -v clang++ >/dev/null 2>&1; then
  echo "skipped: clang++ is not installed (the fuzz targets need Debian's clang and libclang-rt-dev)"
  exit 77
fi
if ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  echo "skipped: libFuzzer runtime not found (apt-get install libclang-rt-dev)"
  exit 77
fi

# Beside the main build when run by CTest, so each build tree has its own.
if [ -n "${VANTOR_BIN:-}" ]; then
  BUILD=$(dirname "$VANTOR_BIN")/fuzz
else
  BUILD=$SRC/build-fuzz
fi

FUZZ_BUILD=$BUILD FUZZ_WORK=$PWD bash "$SRC/scripts/fuzz.sh" "${FUZZ_SECONDS:-30}"
rc=$?
if [ $rc -eq 2 ]; then
  echo "FAIL: the fuzz targets did not build"
  exit 1
fi
if [ $rc -ne 0 ]; then
  echo "FAIL: a fuzz target found a fault; inputs in $PWD/crashes/, logs in $PWD/*.log"
  exit 1
fi
echo "PASS"
