#!/usr/bin/env bash
# Writes tests/data/frame_hashes.txt anew from the current content, for when
# the content or the drawing changes on purpose. Look at the frames first
# (scripts/run.sh, or --capture), then commit the new hashes with the change.
#
#   tests/update_frame_hashes.sh [BUILD_DIR]     (default: build-test)
set -euo pipefail
SRC=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:-$SRC/build-test}" && pwd)
cmake --build "$BUILD" --target test_content_frames content
mkdir -p "$BUILD/tests/work/test_content_frames"
cd "$BUILD/tests/work/test_content_frames"
SDL_AUDIODRIVER=dummy ASAN_OPTIONS=detect_leaks=1:intercept_tls_get_addr=0 \
    LSAN_OPTIONS="suppressions=$SRC/tests/support/lsan.supp:print_suppressions=0" VANTOR_CONTENT="$BUILD/content" \
    VANTOR_UPDATE_FRAME_HASHES="$SRC/tests/data/frame_hashes.txt" \
    "$BUILD/tests/test_content_frames" --gtest_brief=1
git -C "$SRC" --no-pager diff --stat -- tests/data/frame_hashes.txt
