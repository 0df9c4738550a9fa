#!/usr/bin/env bash
# Runs a cross-built program under Wine with the build folder's own prefix.
# WINEPREFIX may be set by the caller; otherwise the prefix beside the program's build tree is used.
# TERVEX_EMULATE_I386=1 acts as on a kernel that cannot execute 32-bit programs.
set -eu
if [ -z "${WINEPREFIX:-}" ]; then
  dir=$(cd "$(dirname "$1")" && pwd)
  while [ "$dir" != "/" ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  export WINEPREFIX="$dir/wineprefix"
fi
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="

# Some kernels cannot execute 32-bit code at all; Wine's 64-bit loader then runs
# the 64-bit test build (cmake/mingw-x86_64.cmake), and a 32-bit program runs through
# Wine's 32-bit loader under user-mode emulation, started here rather than through
# binfmt_misc, which would emulate every 32-bit start on the machine.
loader=(wine)
if [ "${TERVEX_EMULATE_I386:-}" = 1 ] || ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  if [ -x /usr/lib/wine/wine64 ]; then
    loader=(/usr/lib/wine/wine64)
    export WINELOADER=/usr/lib/wine/wine64
    case "${1:-}" in
      *.exe)
        if file "$1" 2>/dev/null | grep -q 'PE32 executable'; then
          if ! command -v qemu-i386-static >/dev/null; then
            echo "wine-run: this machine cannot execute 32-bit programs and has no qemu-i386-static; build the Wine tests with cmake/mingw-x86_64.cmake (scripts/test.sh does)" >&2
            exit 1
          fi
          loader=(qemu-i386-static /usr/lib/wine/wine)
          unset WINELOADER
          export WINELOADERNOEXEC=1
        fi ;;
    esac
  fi
fi

# The 64-bit loader makes the prefix even for an emulated program: under emulation that takes minutes.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  if [ "${loader[0]}" = wine ]; then
    wine wineboot -i >/dev/null 2>&1 || true
  else
    WINELOADER=/usr/lib/wine/wine64 /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 || true
  fi
  wineserver -w || true
fi
exec "${loader[@]}" "$@"
