#!/usr/bin/env bash
# The engine as others get it: `cmake --install` into a temporary prefix,
# examples/minimal built out of tree against it with find_package(V4Engine),
# a model converted with the installed vantor-import, and the example run
# for one captured frame of it. The pkg-config file must compile it too.
set -uo pipefail

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
skip() {
  echo "skipped: $*"
  exit 77
}

command -v cmake >/dev/null || skip "no cmake"
BUILD=${VANTOR_BUILD:-}
[ -n "$BUILD" ] && [ -f "$BUILD/cmake_install.cmake" ] || skip "no build tree (VANTOR_BUILD)"
[ -f "$BUILD/content/scripts/vertexprofiles.vsl" ] || skip "no built content"
SOURCE=$(cd "$VANTOR_TEST_SUPPORT/../.." && pwd)

WORK=$PWD
rm -rf sdk example model frames
cmake --install "$BUILD" --prefix "$WORK/sdk" >install.log 2>&1 || { cat install.log; fail "cmake --install failed"; }
for f in include/v4/scene/scene.h include/v4/demo/demoblock.h; do
  [ -s "sdk/$f" ] || fail "$f not installed"
done
pc=$(find sdk -name v4engine.pc | head -n 1)
[ -n "$pc" ] || fail "v4engine.pc not installed"
[ -n "$(find sdk -name V4EngineConfig.cmake)" ] || fail "no CMake package"

cmake -S "$SOURCE/examples/minimal" -B example -DCMAKE_PREFIX_PATH="$WORK/sdk" >example.log 2>&1 &&
  cmake --build example >>example.log 2>&1 || { tail -n 30 example.log; fail "the example did not build against the install"; }

# The same program through pkg-config alone.
flags=$(PKG_CONFIG_PATH=$(dirname "$pc") pkg-config --cflags --libs v4engine) || fail "pkg-config refused v4engine.pc"
c++ "$SOURCE/examples/minimal/main.cpp" -DV4_CONTENT_DIR="\"$WORK/sdk/share/vantor\"" $flags -o minimal_pc \
  >pc.log 2>&1 || { tail -n 30 pc.log; fail "the example did not build with pkg-config's flags"; }

mkdir model
"$WORK/sdk/bin/vantor-import" "$SOURCE/tests/data/gltf/tinygltf/Cube/Cube.gltf" -o model/Cube.vscene >import.log 2>&1 ||
  { cat import.log; fail "the installed vantor-import failed"; }
SDL_AUDIODRIVER=dummy ./example/minimal model/Cube.vscene --capture frames --fps 10 --from 0 --to 100 --size 160x120 \
  >run.log 2>&1 || { cat run.log; fail "the example failed"; }
[ -s frames/frame_000000.png ] || fail "no frame captured"
[ ! -e frames/frame_000001.png ] || fail "more than one frame"
# Something was drawn: the middle of the frame is not the clear colour.
if command -v ffmpeg >/dev/null; then
  middle=$(ffmpeg -v error -i frames/frame_000000.png -vf "crop=20:20:70:50,format=gray" -f rawvideo - |
    od -An -v -tu1 | tr -s ' ' '\n' | grep -v '^$' | sort -n | tail -n 1)
  [ "${middle:-0}" -gt 40 ] || fail "the scene is not in the frame (brightest $middle)"
fi
echo "built against the install and ran"
