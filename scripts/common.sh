# Shared by the scripts: paths and the choice of Windows build that Wine can run here.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${TERVEX_BUILD_DIR:-$root/build}
jobs=${TERVEX_JOBS:-2}

# True when this machine can execute 32-bit programs (Wine's 32-bit loader starts).
# TERVEX_EMULATE_I386=1 takes the path of a machine that cannot, to try it on one that can.
can_run_32bit() {
  [ "${TERVEX_EMULATE_I386:-}" != 1 ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}

# The native tree built with ASan and UBSan (scripts/test.sh, scripts/soak.sh).
sanitizer_tree=(-DTERVEX_SANITIZE=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
  "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 -g1" "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1")

# Builds one program of the sanitizer tree and runs it with its arguments; a sanitizer
# report fails it (scripts/soak.sh, scripts/model_check.sh).
run_sanitized() {  # <target> [args...]
  local target=$1; shift
  local dir=$build/native-asan
  mkdir -p "$build"
  # The same tree and flags as the sanitizer pass of scripts/test.sh.
  cmake -S "$root" -B "$dir" "${sanitizer_tree[@]}" >"$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; return 1; }
  cmake --build "$dir" -j"$jobs" --target "$target" >"$dir.build-$target.log" 2>&1 || { tail -n 40 "$dir.build-$target.log"; return 1; }
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 "$dir/tests/soak/$target" "$@"
}

configure_and_build() {  # <dir> [cmake args...]
  local dir=$1; shift
  cmake -S "$root" -B "$dir" "$@" >"$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; return 1; }
  cmake --build "$dir" -j"$jobs" >"$dir.build.log" 2>&1 || { tail -n 60 "$dir.build.log"; return 1; }
}

# The product tree: the DLL and the 32-bit reference host, with the Windows tests
# registered only where this machine can run them. With "smoke" (a machine that
# cannot, with qemu-i386-static), it also builds the DLL's test program and registers
# a smoke subset of it, run under emulation in the 64-bit stand-in's prefix.
build_win32() {  # [smoke]
  mkdir -p "$build"
  local run=OFF smoke=OFF
  can_run_32bit && run=ON
  [ "${1:-}" = smoke ] && smoke=ON
  configure_and_build "$build/win32" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
    -DTERVEX_RUN_WINE_TESTS=$run -DTERVEX_WINE_SMOKE=$smoke
}

# The product DLL (32-bit) and, where 32-bit programs cannot run, the 64-bit build
# that runs the Windows programs under Wine. Sets win_run_dir and win_run_note. With
# "smoke" (scripts/test.sh), where the product's smoke subset can run under qemu-i386,
# also sets win_smoke_dir to its tree.
build_windows() {  # [smoke]
  win_smoke_dir=
  if can_run_32bit; then
    build_win32
    win_run_dir=$build/win32
    win_run_note="the 32-bit product build ($win_run_dir)"
  else
    echo "note: this kernel cannot execute 32-bit programs; Windows programs run as the 64-bit build under Wine"
    if [ "${1:-}" = smoke ] && command -v qemu-i386-static >/dev/null; then
      build_win32 smoke
      win_smoke_dir=$build/win32
    else
      build_win32
    fi
    # Built only to run the tests: the product's optimization, lighter debug information.
    configure_and_build "$build/win64" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" -DTERVEX_RUN_WINE_TESTS=ON \
      "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1" "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O2 -g1"
    win_run_dir=$build/win64
    win_run_note="the 64-bit stand-in ($win_run_dir), because this kernel cannot execute 32-bit programs"
  fi
}
