#!/usr/bin/env bash
# Writes the reference pictures of the content test (tests/data/frames/) anew
# from the current content, for when the content or the drawing changes on
# purpose. Look at the frames first (scripts/run.sh, or --capture), then
# commit the new pictures with the change.
#
#   tests/update_reference_frames.sh [BUILD_DIR]     (default: build-test)
set -euo pipefail
SRC=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:-$SRC/build-test}" && pwd)
cmake --build "$BUILD" --target test_content_frames content
mkdir -p "$BUILD/tests/work/test_content_frames"
cd "$BUILD/tests/work/test_content_frames"
rm -rf "$SRC/tests/data/frames"
SDL_AUDIODRIVER=dummy ASAN_OPTIONS=detect_leaks=1:intercept_tls_get_addr=0 \
    LSAN_OPTIONS="suppressions=$SRC/tests/support/lsan.supp:print_suppressions=0" VANTOR_CONTENT="$BUILD/content" \
    VANTOR_UPDATE_REFERENCE_FRAMES="$SRC/tests/data/frames" \
    "$BUILD/tests/test_content_frames" --gtest_brief=1
git -C "$SRC" --no-pager diff --stat -- tests/data/frames
