#!/usr/bin/env bash
# Installs the Debian packages the build, the demo and the tests need.
# Only missing packages are installed; safe to run again.
#   scripts/setup.sh              build, run and test
#   scripts/setup.sh --packaging  the same and the packaging tools (dpkg-dev,
#                                 desktop-file-utils, lintian): the install test
#                                 and `cpack -G DEB` use them
#   scripts/setup.sh --profiling  the same and the tools for measuring frame
#                                 cost (perf, apitrace)
#   scripts/setup.sh --debootstrap  the same and debootstrap, for trying the
#                                 project on a fresh Debian root
#                                 (scripts/test-debian.sh)
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config g++ clang libclang-rt-dev
  # engine libraries
  libsdl2-dev libepoxy-dev libpng-dev libdeflate-dev zlib1g-dev libglu1-mesa-dev libgl-dev libegl-dev
  libvorbis-dev libogg-dev libkissfft-dev libx11-dev
  # glTF import: tinygltf (header-only use) with its JSON and image headers
  libtinygltf-dev nlohmann-json3-dev libstb-dev
  # tests: real GL on llvmpipe, a real X server and input, Ogg samples
  libgtest-dev libgl1-mesa-dri libegl-mesa0 libglx-mesa0 mesa-utils
  xvfb xdotool x11-utils sound-theme-freedesktop valgrind
  # video capture
  ffmpeg
  # the music clock's benchmark: a real sound server with a null sink
  pulseaudio pulseaudio-utils
)
case "${1:-}" in
  --packaging) packages+=(dpkg-dev desktop-file-utils lintian) ;;
  # GL call traces, and where the CPU time goes
  --profiling) packages+=(apitrace linux-perf) ;;
  --debootstrap) packages+=(debootstrap) ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
