#!/usr/bin/env bash
# Sets up what is missing, builds the native core and its benchmarks in Release, runs
# every benchmark and writes the report (BENCHMARKS.md at the repository root, or the
# file given as the first argument). Raw output goes to <build>/bench-release/bench.log.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
"$root/scripts/setup.sh"

report=${1:-$root/BENCHMARKS.md}
case $report in /*) ;; *) report=$PWD/$report ;; esac
dir=$build/bench-release
mkdir -p "$dir"

echo "== building (Release) in $dir"
cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release >"$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; exit 1; }
cmake --build "$dir" -j"$jobs" --target tervex_bench >"$dir.build.log" 2>&1 || { tail -n 60 "$dir.build.log"; exit 1; }

echo "== running the benchmarks (a few minutes; figures depend on what else runs here)"
"$dir/bench/tervex_bench" --report "$report" --peer-rounds "${TERVEX_BENCH_ROUNDS:-7}" \
  --benchmark_color=false 2>&1 | tee "$dir/bench.log"
echo "== report: $report"
