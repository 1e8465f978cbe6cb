#!/usr/bin/env bash
# The engine as others get it: `cmake --install` into a temporary prefix,
# both examples built out of tree against it with find_package(V4Engine),
# a model converted with the installed vantor-import, examples/minimal run
# for one captured frame of it and examples/glow for a few frames and a
# short benchmark. The pkg-config file must compile both too, without
# warnings.
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
rm -rf sdk minimal glow model frames glow_frames
cmake --install "$BUILD" --prefix "$WORK/sdk" >install.log 2>&1 || { cat install.log; fail "cmake --install failed"; }
for f in include/v4/scene/scene.h include/v4/demo/demoblock.h include/v4/player/player.h; do
  [ -s "sdk/$f" ] || fail "$f not installed"
done
pc=$(find sdk -name v4engine.pc | head -n 1)
[ -n "$pc" ] || fail "v4engine.pc not installed"
[ -n "$(find sdk -name V4EngineConfig.cmake)" ] || fail "no CMake package"

# The same programs through pkg-config alone.
flags=$(PKG_CONFIG_PATH=$(dirname "$pc") pkg-config --cflags --libs v4engine) || fail "pkg-config refused v4engine.pc"
for example in minimal glow; do
  cmake -S "$SOURCE/examples/$example" -B $example -DCMAKE_PREFIX_PATH="$WORK/sdk" >$example.log 2>&1 &&
    cmake --build $example >>$example.log 2>&1 ||
    { tail -n 30 $example.log; fail "examples/$example did not build against the install"; }
  c++ -Wall -Wextra -Werror "$SOURCE/examples/$example/main.cpp" -DV4_CONTENT_DIR="\"$WORK/sdk/share/vantor\"" $flags -o ${example}_pc \
    >${example}_pc.log 2>&1 || { tail -n 30 ${example}_pc.log; fail "examples/$example did not build with pkg-config's flags"; }
done

mkdir model
"$WORK/sdk/bin/vantor-import" "$SOURCE/tests/data/gltf/tinygltf/Cube/Cube.gltf" -o model/Cube.vscene >import.log 2>&1 ||
  { cat import.log; fail "the installed vantor-import failed"; }
SDL_AUDIODRIVER=dummy ./minimal/minimal model/Cube.vscene --capture frames --fps 10 --from 0 --to 100 --size 160x120 \
  >run.log 2>&1 || { cat run.log; fail "the example failed"; }
[ -s frames/frame_000000.png ] || fail "no frame captured"
[ ! -e frames/frame_000001.png ] || fail "more than one frame"
# Something was drawn: the middle of the frame is not the clear colour.
if command -v ffmpeg >/dev/null; then
  middle=$(ffmpeg -v error -i frames/frame_000000.png -vf "crop=20:20:70:50,format=gray" -f rawvideo - |
    od -An -v -tu1 | tr -s ' ' '\n' | grep -v '^$' | sort -n | tail -n 1)
  [ "${middle:-0}" -gt 40 ] || fail "the scene is not in the frame (brightest $middle)"
fi

# The glow example: the board at 7.9 s, the title from 8.4 s on, fully in
# by 10.4 s; the benchmark names its two blocks and times the board's glow.
SDL_AUDIODRIVER=dummy ./glow/glow --capture glow_frames --fps 2 --from 7900 --to 10500 --size 320x240 \
  >glow_run.log 2>&1 || { cat glow_run.log; fail "the glow example failed"; }
[ -s glow_frames/frame_000005.png ] && [ ! -e glow_frames/frame_000006.png ] || fail "not six glow frames"
if command -v ffmpeg >/dev/null; then
  for frame in 000000 000005; do
    middle=$(ffmpeg -v error -i glow_frames/frame_$frame.png -vf "crop=200:60:60:90,format=gray" -f rawvideo - |
      od -An -v -tu1 | tr -s ' ' '\n' | grep -v '^$' | sort -n | tail -n 1)
    [ "${middle:-0}" -gt 100 ] || fail "glow frame $frame is dark (brightest $middle)"
  done
fi
SDL_AUDIODRIVER=dummy ./glow/glow --benchmark --json --fps 10 --from 7800 --to 8200 --size 160x120 \
  >glow_benchmark.json 2>glow_benchmark.log || { cat glow_benchmark.log; fail "the glow benchmark failed"; }
for want in '"name":"block1"' '"name":"block2"' '"screen_pass_ms"'; do
  grep -q "$want" glow_benchmark.json || fail "no $want in the glow benchmark: $(cat glow_benchmark.json)"
done
echo "built against the install and ran"
