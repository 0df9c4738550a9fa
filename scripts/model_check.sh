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
run_sanitized tervex_model_check "$rounds" "$seeds" "$first"
