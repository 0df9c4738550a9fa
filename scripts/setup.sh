#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks for building and testing the driver.
# Quick and silent when everything is already present.
set -euo pipefail

need=()
have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

have_cmd cmake || need+=(cmake)
have_cmd g++ || need+=(g++)
have_cmd i686-w64-mingw32-g++-posix || need+=(g++-mingw-w64-i686)
# The 64-bit cross compiler and Wine loader run the Windows tests on kernels without 32-bit support.
have_cmd x86_64-w64-mingw32-g++-posix || need+=(g++-mingw-w64-x86-64)
have_cmd file || need+=(file)
have_cmd xvfb-run || need+=(xvfb)
have_cmd xauth || need+=(xauth)
have_pkg googletest || need+=(googletest)
have_pkg libgtest-dev || need+=(libgtest-dev)
have_pkg libstb-dev || need+=(libstb-dev)
# Benchmarks only (bench/): Google Benchmark, and libmodbus as the peer for the exchange rate.
have_pkg libbenchmark-dev || need+=(libbenchmark-dev)
have_pkg libmodbus-dev || need+=(libmodbus-dev)
have_cmd pkg-config || need+=(pkg-config)
# Wine's own "MS Sans Serif" (with its Cyrillic face), so page tests and screenshots see the dialog font.
have_pkg fonts-wine || need+=(fonts-wine)
have_pkg wine || need+=(wine)
have_pkg wine32:i386 || need+=(wine32:i386)
have_pkg wine64 || need+=(wine64)
have_cmd objdump || need+=(binutils)
# The release archive (scripts/package.sh).
have_cmd zip || need+=(zip)
have_cmd unzip || need+=(unzip)
# clang's libFuzzer and sanitizer runtimes for the fuzz targets (scripts/fuzz.sh).
have_cmd clang++ || need+=(clang)
have_pkg libclang-rt-14-dev || need+=(libclang-rt-14-dev)

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive

apt_install() {
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  echo "Installing: $*"
  # A mirror caught mid-sync fails one index now and then; what did download still serves the install.
  for try in 1 2 3; do
    $SUDO apt-get update -qq && break
    echo "apt-get update failed (try $try of 3)"; sleep 5
  done
  $SUDO apt-get install -y -qq --no-install-recommends "$@" >/dev/null
}

[ ${#need[@]} -eq 0 ] || apt_install "${need[@]}"

# Where the kernel cannot execute 32-bit programs (Wine's 32-bit loader does not start),
# the product's smoke tests run that loader under user-mode emulation. The package
# registers no i386 emulation with binfmt_misc on amd64; scripts start it explicitly.
if ! have_cmd qemu-i386-static &&
   { [ "${TERVEX_EMULATE_I386:-}" = 1 ] || ! /usr/lib/wine/wine --version >/dev/null 2>&1; }; then
  apt_install qemu-user-static
fi
