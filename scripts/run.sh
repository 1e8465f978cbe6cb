#!/usr/bin/env bash
# Set up, build the program and its content (Release, in build/), then start
# the demo. Options are passed on to the program, e.g. --windowed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTOR_SANITIZE=OFF -DVANTOR_TESTS=OFF >/dev/null
cmake --build build

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    # Nobody could watch a window: render the demo to files instead.
    if command -v ffmpeg >/dev/null; then out=out/vantor.mp4; else out=out/frames; fi
    echo "run: no display (DISPLAY is not set); capturing the demo to $out instead of showing it"
    mkdir -p out
    exec build/vantor --capture "$out" "$@"
fi
exec build/vantor "$@"
