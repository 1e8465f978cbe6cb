#!/usr/bin/env bash
# Builds the Debian packages from a Release build tree and checks them as
# the archive would: lintian has nothing to say, and the program's
# dependencies are the shared libraries dpkg-shlibdeps found on this release.
#
#   scripts/check-deb.sh [BUILD_DIR]     (default: build, as scripts/run.sh makes it)
set -euo pipefail
SRC=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:-$SRC/build}" && pwd)
bash "$SRC/scripts/setup.sh" --packaging
cmake --build "$BUILD"
rm -f "$BUILD"/*.deb
(cd "$BUILD" && cpack -G DEB >cpack.log 2>&1) || { cat "$BUILD/cpack.log" >&2; exit 1; }

status=0
for deb in "$BUILD"/*.deb; do
  # Root runs lintian too, as a packager might.
  if ! out=$(lintian --allow-root "$deb" 2>&1) || [ -n "$out" ]; then
    echo "check-deb: lintian on $(basename "$deb"):" >&2
    echo "$out" >&2
    status=1
  fi
done

program=$(ls "$BUILD"/vantor_*.deb)
depends=$(dpkg-deb -f "$program" Depends)
for lib in libc6 libsdl2-2.0-0 libepoxy0 libvorbisfile3 libpng16-16; do
  grep -qE "(^|, )$lib[a-z0-9]* \(>= " <<<"$depends" ||
    { echo "check-deb: $(basename "$program") does not depend on $lib by version: $depends" >&2; status=1; }
done
[ "$status" = 0 ] && echo "check-deb: $(cd "$BUILD" && echo *.deb) built, lintian clean; Depends: $depends"
exit "$status"
