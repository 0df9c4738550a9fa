#!/usr/bin/env bash
# Sets up what is missing, builds the driver and runs the reference host with it on
# the demo station (built-in simulator) for about 20 s. Extra arguments go to the host.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
"$root/scripts/setup.sh"
build_windows
echo "driver: $root/dist/tervex.dll"
dll=$root/dist/tervex.dll
[ "$win_run_dir" = "$build/win32" ] || dll=$win_run_dir/dist/tervex.dll
export WINEPREFIX=$win_run_dir/wineprefix
"$root/cmake/wine-run.sh" "$win_run_dir/tools/host/tervex-host.exe" --dll "$dll" \
  --station "$root/tools/host/stations/demo.station" --duration 20 --refresh 5 \
  --write-at 6 Boiler.Setpoint=1500 --write-at 8 Vault.Door=1 --write-at 10 Pump.Speed=2000 \
  "$@" | (trap '' INT; cat)
# Through a pipe Wine hands the host's UTF-8 text to the terminal as it is; the
# reader ignores Ctrl+C so that the host's summary still gets out.
