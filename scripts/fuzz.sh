#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/, clang) and runs them one after another.
#
#   scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]
#
# SECONDS_PER_TARGET defaults to 600; TARGET is any of pack, texture,
# vertex_profile, shader, scene, gltf_import (default: all). Environment: FUZZ_BUILD (build
# folder, default build-fuzz), FUZZ_WORK (run folder, default
# $FUZZ_BUILD/work), FUZZ_JOBS (compile jobs, default 2).
#
# New inputs go to $FUZZ_WORK/corpus/TARGET, so the committed seeds in
# fuzz/corpus stay small; crashes go to $FUZZ_WORK/crashes/TARGET. Each
# target's last lines (executions per second, cov:, ft:) are printed at the
# end, and the exit status is 1 when any target found a crash, a leak, a
# timeout or ran out of memory.
set -uo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD

SECONDS_PER_TARGET=${1:-600}
shift || true
TARGETS=("$@")
[ ${#TARGETS[@]} -eq 0 ] && TARGETS=(pack texture vertex_profile shader scene gltf_import)

BUILD=${FUZZ_BUILD:-$ROOT/build-fuzz}
WORK=${FUZZ_WORK:-$BUILD/work}

if ! command -v clang++ >/dev/null; then
  echo "fuzz.sh: clang++ not found (apt-get install clang libclang-rt-dev)" >&2
  exit 2
fi
cmake -S "$ROOT/fuzz" -B "$BUILD" -G Ninja >/dev/null || exit 2
ninja -C "$BUILD" -j"${FUZZ_JOBS:-2}" >/dev/null || { echo "fuzz.sh: build failed" >&2; exit 2; }

mkdir -p "$WORK"
cd "$WORK" || exit 2
# The loaders write the report log into the working directory; a fuzzer
# writes millions of lines, so they go nowhere.
ln -sfn /dev/null report.htm

status=0
summary=()
for target in "${TARGETS[@]}"; do
  dict=()
  case $target in
    texture | pack) dict=(-dict="$ROOT/fuzz/dict/texture.dict") ;;
    vertex_profile | shader) dict=(-dict="$ROOT/fuzz/dict/vsl.dict") ;;
    gltf_import) dict=(-dict="$ROOT/fuzz/dict/gltf.dict") ;;
  esac
  mkdir -p "corpus/$target" "crashes/$target"
  log="$WORK/$target.log"
  echo "fuzz.sh: $target for ${SECONDS_PER_TARGET}s (log $log)"
  "$BUILD/fuzz_$target" "${dict[@]}" -max_total_time="$SECONDS_PER_TARGET" -timeout=10 -rss_limit_mb=2048 \
    -max_len=16384 -print_final_stats=1 -artifact_prefix="$WORK/crashes/$target/" \
    "corpus/$target" "$ROOT/fuzz/corpus/$target" >"$log" 2>&1
  rc=$?
  last=$(grep -E '^#[0-9]+' "$log" | tail -1)
  rate=$(grep -E '^stat::average_exec_per_sec' "$log" | awk '{print $2}')
  summary+=("$target: rc $rc, ${rate:-?} exec/s, $last")
  if [ $rc -ne 0 ] || ls "crashes/$target" | grep . >/dev/null; then
    status=1
    grep -E 'ERROR|SUMMARY|fuzz check failed|runtime error' "$log" | head -5
  fi
done
printf '%s\n' "${summary[@]}"
exit $status
