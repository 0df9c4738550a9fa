#!/usr/bin/env bash
# Sets up what is missing, builds everything and runs every test: native, then Windows under Wine.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
"$root/scripts/setup.sh"
mkdir -p "$build"

echo "== native core"
configure_and_build "$build/native"
# One line per failure only; the summary stays.
(cd "$build/native" && ctest --output-on-failure -j"$jobs" | grep -v -E '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed')

# The same core, tests, simulator and tools again under AddressSanitizer and
# UndefinedBehaviorSanitizer: any report fails its test. This also runs the fuzz targets
# over their corpora and a short soak. Built with clang at -O1: g++ takes several times
# longer to compile with the sanitizers.
echo "== native core with ASan and UBSan"
configure_and_build "$build/native-asan" "${sanitizer_tree[@]}"
(cd "$build/native-asan" &&
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j"$jobs" | grep -v -E '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed')

echo "== Windows (Wine)"
build_windows smoke
# A CI log must tell which Windows builds were exercised, whether the run passes or not.
trap 'echo "== Windows tests ran on $win_run_note"' EXIT
if [ "$win_run_dir" != "$build/win32" ]; then
  (cd "$build/win32" && ctest --output-on-failure -LE emulated)
fi
(cd "$win_run_dir" && xvfb-run -a ctest --output-on-failure)
# Where the stand-in ran, the product DLL itself still runs a smoke subset, through
# Wine's 32-bit loader under qemu-i386, in the stand-in's prefix.
if [ -n "$win_smoke_dir" ]; then
  echo "== the 32-bit product's smoke subset under qemu-i386"
  win_run_note="the 64-bit stand-in ($win_run_dir), and a smoke subset on the 32-bit product under qemu-i386 ($win_smoke_dir)"
  (cd "$win_smoke_dir" && xvfb-run -a ctest --output-on-failure -L emulated)
fi

# The release archive as an integrator meets it: unpacked into an empty folder, every
# command block of its guide run as printed under Wine with an English locale.
echo "== the release kit"
"$root/scripts/check-kit.sh"
