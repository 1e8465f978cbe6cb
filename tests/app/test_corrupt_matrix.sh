#!/usr/bin/env bash
# Missing and corrupt data files against the real program. Every data file of
# the built content in turn is removed, cut at half its length and flipped
# (bytes XOR 0xFF) at a few fixed offsets near its start and in its body;
# each time the program renders a few frames in capture mode, inside the
# block that uses the file, and must:
#   - end by itself with status 0 or 1 (never a signal, never a timeout),
#   - print no sanitizer report,
#   - write "report.htm" with the line that file's loader owes it,
#   - exit 1 only where a fatal loader error says why (a scene file, the
#     vertex profiles), with the critical line in the report; a robot's glow
#     copy is optional, and without it the demo plays.
# Environment: MATRIX_VARIANTS (default "remove cut flip_head flip_body"),
# MATRIX_FILES (a space-separated subset, paths relative to the content
# root), MATRIX_SIZE (default 160x120), MATRIX_FPS (default 10),
# MATRIX_FRAMES (default 2).
. "$VANTOR_TEST_SUPPORT/preamble.sh"
set -o pipefail

need_program_and_content

VARIANTS=${MATRIX_VARIANTS:-remove cut flip_head flip_body}
SIZE=${MATRIX_SIZE:-160x120}
FPS=${MATRIX_FPS:-10}
FRAMES=${MATRIX_FRAMES:-2}
SPAN=$((FRAMES * 1000 / FPS))

WORK=$PWD/matrix
rm -rf "$WORK"
mkdir -p "$WORK"
DATA=$WORK/data
cp -a "$CONTENT" "$DATA"
# The music is large; the runs only read it, so every case shares one copy
# except the ones that damage it.
SANITIZED=no
ldd "$BIN" 2>/dev/null | grep libasan >/dev/null && SANITIZED=yes
echo "program: $BIN (sanitizers: $SANITIZED)"

failures=0
cases=0
fail() {
  echo "FAIL [$CASE]: $*"
  failures=$((failures + 1))
}

# Music time (ms) of a block that draws with the file.
time_for() {
  case $1 in
    textures/veldra_core_text.png) echo 6000 ;;
    textures/veldra_blender_text.png) echo 18000 ;;
    models/circuits.vscene) echo 30000 ;;
    models/robot_wheee.vscene | models/robot_wheee_glow.vscene | models/armazem.vscene | scripts/test7.vsl | scripts/radiosity_dark.vsl | scripts/radiosity_mapped.vsl) echo 45000 ;;
    models/robot_afropowa.vscene | models/robot_afropowa_glow.vscene) echo 65000 ;;
    models/level_elements.vscene) echo 78000 ;;
    fnt_04b08.png) echo 90000 ;;
    textures/* | data_00.pack)
      # The block of the first scene that names the texture (or any entry of
      # the pack); names are stored as plain text in the scene files.
      local names=$1 scene
      [ "$1" = data_00.pack ] && names=$(pack_names) || names=$(basename "$1")
      for scene in circuits armazem robot_wheee robot_afropowa level_elements; do
        for n in $names; do
          if grep -qaF "$n" "$CONTENT/models/$scene.vscene"; then
            time_for "models/$scene.vscene"
            return
          fi
        done
      done
      echo 45000 ;;
    *) echo 40000 ;;
  esac
}

# Entry names of the pack archive: length byte, name, 0, 32-bit size, data.
pack_names() {
  local f=$CONTENT/data_00.pack off=0 size len name n
  size=$(stat -c %s "$f")
  while [ "$off" -lt "$size" ]; do
    len=$(od -An -tu1 -j "$off" -N1 "$f" | tr -d ' ')
    [ "$len" -lt 128 ] || break
    name=$(dd if="$f" bs=1 skip=$((off + 1)) count="$len" 2>/dev/null)
    n=$(od -An -tu4 -j $((off + len + 2)) -N4 "$f" | tr -d ' ')
    echo "$name"
    off=$((off + len + 6 + n))
  done
}

flip() { # file offset...
  local f=$1 off b
  shift
  for off in "$@"; do
    [ "$off" -lt "$(stat -c %s "$f")" ] || continue
    b=$(od -An -tu1 -j "$off" -N1 "$f" | tr -d ' ')
    printf "\\$(printf %03o $((b ^ 255)))" | dd of="$f" bs=1 seek="$off" conv=notrunc 2>/dev/null
  done
}

damage() { # variant file
  local f=$DATA/$2 size
  size=$(stat -c %s "$f")
  case $1 in
    remove) rm -f "$f" ;;
    cut) truncate -s $((size / 2)) "$f" ;;
    # Headers: counts, sizes, flags and the first names of every format.
    flip_head) flip "$f" 0 4 9 16 21 ;;
    flip_body) flip "$f" $((size / 3)) $((size / 2 + 1)) $((size * 3 / 4 + 2)) $((size - 3)) ;;
  esac
}

restore() { cp -a "$CONTENT/$1" "$DATA/$1"; }

has() { grep -qF -- "$1" "$RUN/report.htm"; }
said() { grep -qF -- "$1" "$RUN/err"; }

# Runs one capture; sets RC and RUN.
capture() { # from_ms
  RUN=$WORK/run
  rm -rf "$RUN"
  mkdir -p "$RUN"
  (cd "$RUN" && timeout 300 "$BIN" --capture "$RUN/frames" --fps "$FPS" --size "$SIZE" \
    --from "$1" --to $(($1 + SPAN)) --data "$DATA" >"$RUN/out" 2>"$RUN/err")
  RC=$?
  cases=$((cases + 1))
}

check_common() {
  if [ "$RC" -ne 0 ] && [ "$RC" -ne 1 ]; then
    fail "exit status $RC (signal or timeout)"
    tail -5 "$RUN/err"
  fi
  if grep -qE 'AddressSanitizer|LeakSanitizer|UndefinedBehaviorSanitizer|runtime error:' "$RUN/err"; then
    fail "sanitizer report"
    grep -m3 -E 'ERROR|runtime error|SUMMARY' "$RUN/err"
  fi
  [ -f "$RUN/report.htm" ] || { fail "no report.htm"; return 1; }
  grep -q '</html>' "$RUN/report.htm" || fail "report.htm has no trailer"
  if [ "$RC" -eq 0 ] && ! ls "$RUN/frames" 2>/dev/null | grep 'frame_000000.png' >/dev/null; then
    fail "status 0 without frames"
  fi
  if [ "$RC" -eq 1 ]; then
    grep -q 'CRITICAL' "$RUN/report.htm" || fail "status 1 without a critical report line"
    grep -q '^vantor: ' "$RUN/err" || fail "status 1 without a reason on standard error"
  fi
  return 0
}

# The line the file's loader owes the report, by file kind and damage.
check_expected() { # variant file
  local v=$1 f=$2 name
  name=$(basename "$f")
  case $f in
    models/*)
      if [ "$v" = remove ] && [[ $name == *_glow.vscene ]]; then
        # The glow copies are optional: without one the full robot glows.
        [ "$RC" -eq 0 ] || fail "missing glow copy: status $RC, expected 0"
        has "Content [glow copy \"$name\"] not found, the full robot glows !" || fail "no glow copy line"
      elif [ "$RC" -eq 1 ]; then
        if [ "$v" = remove ]; then
          has "VScene Model [\"$name\"] Not Found !" || fail "no Not Found line"
        else
          has "VScene Model [\"$name\"] Corrupt File !" || fail "no Corrupt File line"
        fi
      else
        [ "$v" != remove ] || fail "missing scene file did not end the program with status 1"
        has "VScene Model [\"$name\" obj " || fail "no Loaded line"
      fi ;;
    scripts/vertexprofiles.vsl)
      if [ "$v" = remove ]; then
        [ "$RC" -eq 1 ] || fail "missing vertex profiles: status $RC, expected 1"
        has "Vertex Profiler [\"$name\"] Not Found !" || fail "no Not Found line"
      else
        has "Vertex Profiler [\"$name\" " || fail "no Loaded line"
        # Damaged profiles may leave a scene's layout unknown: that scene is refused.
        [ "$RC" -eq 0 ] || has "] Corrupt File !" || fail "status 1 without a refused scene"
      fi ;;
    scripts/*)
      [ "$RC" -eq 0 ] || fail "shader script: status $RC, expected 0"
      if [ "$v" = remove ]; then
        said "Impossivel carregar o shader especificado." || fail "no error dialog text on standard error"
      else
        has "Shader [\"$name\" type" || fail "no Shader loaded line"
      fi ;;
    data_00.pack)
      [ "$RC" -eq 0 ] || fail "pack: status $RC, expected 0"
      if [ "$v" = remove ]; then
        local n found=no
        for n in $(pack_names); do has "Texture Loader [\"$n\"] Not found !" && found=yes; done
        [ $found = yes ] || fail "no Not found line for any pack entry"
      fi ;;
    fps7.ogg)
      [ "$RC" -eq 0 ] || fail "music: status $RC, expected 0"
      if [ "$v" = remove ]; then has 'Music Stream ["fps7.ogg"] Not Found or Not Ogg Vorbis !' || fail "no missing-music line"; fi ;;
    *) # textures: loose files, the font sheet
      [ "$RC" -eq 0 ] || fail "texture: status $RC, expected 0"
      if [ "$v" = remove ]; then
        ! grep -qE "Texture Loader \[\"$name\" [1-9][0-9]*x" "$RUN/report.htm" || fail "missing texture reported as loaded"
      else
        has "Texture Loader [\"$name\"" || has "Texture Loader [#" || has "Texture Loader [$name]" ||
          fail "no Texture Loader line"
      fi ;;
  esac
}

# Intact content first: it must run clean, or every case below means nothing.
CASE=intact
capture 45000
check_common
[ "$RC" -eq 0 ] || fail "intact content: status $RC"
if [ $failures -ne 0 ]; then
  echo "FAIL: the intact content does not capture cleanly"
  tail -20 "$RUN/err"
  exit 1
fi

# The viewer's skinning script is not part of the demo: the viewer tests cover it.
FILES=${MATRIX_FILES:-$(cd "$CONTENT" && find . -type f ! -name '*.htm' ! -name 'view_skin.vsl' | sed 's|^\./||' | sort)}
for f in $FILES; do
  t=$(time_for "$f")
  for v in $VARIANTS; do
    CASE="$f $v @${t}ms"
    damage "$v" "$f"
    capture "$t"
    echo "$CASE: status $RC"
    check_common && check_expected "$v" "$f"
    restore "$f"
  done
done

echo "$cases captures, $failures failures"
[ $failures -eq 0 ] && echo PASS || { echo FAIL; exit 1; }
