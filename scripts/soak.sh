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
run_sanitized tervex_soak "$exchanges" "$seed"
