#!/usr/bin/env bash
# The long soak: the poll engine against the simulated controllers for a number of
# exchanges (default 1,000,000) with random faults, removals, clears and settings
# changes, built with ASan and UBSan. Prints its figures; fails on any broken
# invariant, sanitizer report or growth of the heap.
#   scripts/soak.sh [exchanges] [seed]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
"$root/scripts/setup.sh"

exchanges=${1:-1000000}
seed=${2:-1}
dir=$build/native-asan
mkdir -p "$build"
# The same tree and flags as the sanitizer pass of scripts/test.sh.
cmake -S "$root" -B "$dir" "${sanitizer_tree[@]}" >"$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; exit 1; }
cmake --build "$dir" -j"$jobs" --target tervex_soak >"$dir.build-soak.log" 2>&1 || { tail -n 40 "$dir.build-soak.log"; exit 1; }
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 "$dir/tests/soak/tervex_soak" "$exchanges" "$seed"
