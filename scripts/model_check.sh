#!/usr/bin/env bash
# The long model check: the poll engine against simulated controllers with memory, its
# answers and the controllers' memory checked against what the host asked for, built
# with ASan and UBSan. Prints its figures; fails on any broken invariant or sanitizer
# report.
#   scripts/model_check.sh [rounds per seed, default 20000] [seeds, default 10] [first seed, default 1]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
"$root/scripts/setup.sh"

rounds=${1:-20000}
seeds=${2:-10}
first=${3:-1}
dir=$build/native-asan
mkdir -p "$build"
# The same tree and flags as the sanitizer pass of scripts/test.sh.
cmake -S "$root" -B "$dir" "${sanitizer_tree[@]}" >"$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; exit 1; }
cmake --build "$dir" -j"$jobs" --target tervex_model_check >"$dir.build-model.log" 2>&1 || { tail -n 40 "$dir.build-model.log"; exit 1; }
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 "$dir/tests/soak/tervex_model_check" "$rounds" "$seeds" "$first"
