#!/usr/bin/env bash
# Set up, build with sanitizers and run every test through CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --packaging
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVANTOR_SANITIZE=ON >/dev/null
cmake --build build-test
cd build-test
ctest --output-on-failure -j2 "$@"
