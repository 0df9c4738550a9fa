#!/usr/bin/env bash
# Sets up what is missing, builds the driver and runs the reference host with it.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
"$root/scripts/setup.sh"
build_windows
echo "driver: $root/dist/tervex.dll"
dll=$root/dist/tervex.dll
[ "$win_run_dir" = "$build/win32" ] || dll=$win_run_dir/dist/tervex.dll
export WINEPREFIX=$win_run_dir/wineprefix
"$root/cmake/wine-run.sh" "$win_run_dir/tools/host/tervex-host.exe" --dll "$dll" "$@"
