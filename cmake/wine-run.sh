#!/usr/bin/env bash
# Runs a cross-built program under Wine with the build folder's own prefix.
# WINEPREFIX may be set by the caller; otherwise the prefix beside the program's build tree is used.
set -eu
if [ -z "${WINEPREFIX:-}" ]; then
  dir=$(cd "$(dirname "$1")" && pwd)
  while [ "$dir" != "/" ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  export WINEPREFIX="$dir/wineprefix"
fi
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="

# Some kernels cannot execute 32-bit code at all; Wine's 64-bit loader then runs
# the 64-bit test build (cmake/mingw-x86_64.cmake).
loader=wine
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  if [ -x /usr/lib/wine/wine64 ]; then
    loader=/usr/lib/wine/wine64
    export WINELOADER=/usr/lib/wine/wine64
    case "${1:-}" in
      *.exe)
        if file "$1" 2>/dev/null | grep -q 'PE32 executable'; then
          echo "wine-run: this machine cannot execute 32-bit programs; build the Wine tests with cmake/mingw-x86_64.cmake (scripts/test.sh does)" >&2
          exit 1
        fi ;;
    esac
  fi
fi

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  "$loader" wineboot -i >/dev/null 2>&1 || true
  wineserver -w || true
fi
exec "$loader" "$@"
