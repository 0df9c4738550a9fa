#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, ASan, UBSan) and runs each for a set
# time, one after the other. The corpus each run grows is kept in the build folder and
# starts from the seeds in fuzz/corpus/<target>; a crash leaves its input in
# <build>/fuzz/artifacts/<target>/ and makes the script fail.
#   scripts/fuzz.sh [seconds per target, default 60] [target ...]
# Targets: receive, value_codec, station_file (all by default).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
"$root/scripts/setup.sh"

seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(receive value_codec station_file)

dir=$build/fuzz
mkdir -p "$build"
CC=clang CXX=clang++ cmake -S "$root" -B "$dir" -DTERVEX_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$dir.configure.log" 2>&1 ||
  { cat "$dir.configure.log"; exit 1; }

status=0
for t in "${targets[@]}"; do
  if ! cmake --build "$dir" -j"$jobs" --target "fuzz_$t" >"$dir.build-$t.log" 2>&1; then
    tail -n 40 "$dir.build-$t.log"
    exit 1
  fi
  corpus=$dir/corpus/$t
  artifacts=$dir/artifacts/$t
  mkdir -p "$corpus" "$artifacts"
  log=$dir/run-$t.log
  echo "== fuzz_$t for ${seconds} s"
  dict=()
  [ -f "$root/fuzz/$t.dict" ] && dict=(-dict="$root/fuzz/$t.dict")
  set +e
  (cd "$dir" && "./fuzz/fuzz_$t" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$artifacts/" \
    "${dict[@]}" "$corpus" "$root/fuzz/corpus/$t") >"$log" 2>&1
  rc=$?
  set -e
  # The last status line has the coverage; the final stats the executions.
  last=$(grep -E '^#[0-9]+' "$log" | tail -n 1 || true)
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  echo "   executions ${runs:-?}; ${last#*	}"
  echo "$(date -u +%FT%TZ) $t ${seconds}s runs=${runs:-?} ${last#*	} rc=$rc" >>"$dir/history.log"
  if [ $rc -ne 0 ]; then
    grep -E 'invariant broken|ERROR|SUMMARY' "$log" | head -n 5
    echo "   crash input in $artifacts/ (full output: $log)"
    status=1
  fi
done
exit $status
