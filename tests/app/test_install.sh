#!/usr/bin/env bash
# The installed program: `cmake --install` of this build into a temporary
# prefix, the tree moved elsewhere, then the moved program captures a frame
# from an empty folder (it finds its content beside itself, no build path).
# Started in its home folder, as a desktop launcher does, it leaves the home
# folder alone and writes the report in the state folder; copied away from
# its content, it refuses with one line that says where it looked.
. "$VANTOR_TEST_SUPPORT/preamble.sh"
set -o pipefail

# Its own fail: the run's output lives in $WORK.
fail() {
  echo "FAIL: $*" >&2
  [ -s "${WORK:-.}/run.err" ] && tail -n 20 "${WORK:-.}/run.err" >&2
  exit 1
}

command -v cmake >/dev/null || skip "no cmake"
BUILD=${VANTOR_BUILD:-}
[ -n "$BUILD" ] && [ -f "$BUILD/cmake_install.cmake" ] || skip "no build tree (VANTOR_BUILD)"
[ -f "$BUILD/content/scripts/vertexprofiles.vsl" ] || skip "no built content"

WORK=$PWD
rm -rf stage moved empty home lonely run.err
cmake --install "$BUILD" --prefix "$WORK/stage" >install.log 2>&1 || { cat install.log; fail "cmake --install failed"; }

for f in bin/vantor share/applications/vantor.desktop share/icons/hicolor/256x256/apps/vantor.png \
  share/man/man6/vantor.6 share/doc/vantor/LICENSE share/doc/vantor/README.md share/doc/vantor/copyright; do
  [ -s "stage/$f" ] || fail "$f not installed"
done
diff <(cd "$BUILD/content" && find . -type f | sort) <(cd stage/share/vantor && find . -type f | sort) ||
  fail "installed content differs from the built content"
# PNG header: width and height are the big-endian words at byte 16.
[ "$(od -An -tu1 -j16 -N8 stage/share/icons/hicolor/256x256/apps/vantor.png | tr -s ' ')" = " 0 0 1 0 0 0 1 0" ] ||
  fail "the icon is not 256 x 256"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate stage/share/applications/vantor.desktop || fail "desktop entry refused"
fi
# The manual page names every option the program knows.
for opt in $("$BUILD/vantor" --help | grep -oE -- '--[a-z]+' | sort -u); do
  grep -qF -- "${opt//-/\\-}" stage/share/man/man6/vantor.6 || fail "manual page lacks $opt"
done

mv stage moved || fail "could not move the installed tree"
mkdir empty home lonely

cd "$WORK/empty" || exit 1
"$WORK/moved/bin/vantor" --capture frames --fps 10 --from 36000 --to 36100 --size 160x120 >/dev/null 2>"$WORK/run.err" ||
  fail "the moved program failed in an empty folder"
[ -s frames/frame_000000.png ] || fail "no frame captured"
grep -q '</html>' report.htm || fail "no report in the working directory"

cd "$WORK/home" || exit 1
HOME=$WORK/home XDG_STATE_HOME='' XDG_CACHE_HOME='' "$WORK/moved/bin/vantor" --benchmark --fps 10 --from 36000 \
  --to 36100 --size 64x48 >/dev/null 2>"$WORK/run.err" || fail "the moved program failed in the home folder"
# The GL driver may keep its shader cache in the user's cache folder (Mesa
# 22: mesa_shader_cache, Mesa 25: mesa_shader_cache_db); everything else
# there would be ours.
written=$(find . -mindepth 1 -type f -not -path './.cache/mesa_shader_cache*/*')
[ "$written" = "./.local/state/vantor/report.htm" ] || fail "the home folder got: $(echo $written)"
grep -q '</html>' .local/state/vantor/report.htm || fail "report in the state folder not closed"
grep -qF "report in $WORK/home/.local/state/vantor/report.htm" "$WORK/run.err" || fail "not told where the report went"

cp "$WORK/moved/bin/vantor" "$WORK/lonely/vantor"
cd "$WORK/lonely" || exit 1
./vantor --capture frames --fps 10 --from 36000 --to 36100 >/dev/null 2>"$WORK/run.err"
status=$?
[ "$status" = 1 ] || fail "without content: exit status $status, expected 1"
[ "$(wc -l <"$WORK/run.err")" = 1 ] || fail "without content: more than one line"
grep -qF "$WORK/share/vantor" "$WORK/run.err" || fail "without content: the installed place is not named"
[ ! -e frames ] && [ ! -e report.htm ] || fail "without content: files were written"
echo "installed, moved and ran"
