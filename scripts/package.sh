#!/usr/bin/env bash
# Builds the release archive dist/tervex-<version>-win32.zip: the stripped DLL and
# its debug file, the 32-bit reference host with the example stations, the
# integrator's guide with its documents on the reference host, the station format and
# the glossary, the change log and SHA256SUMS over all of them. scripts/check-kit.sh tries the archive as an integrator would.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
"$root/scripts/setup.sh"

version=$(sed -n 's/^project(tervex VERSION \([0-9][0-9.]*\) .*/\1/p' "$root/CMakeLists.txt")
[ -n "$version" ] || { echo "package: no version in CMakeLists.txt" >&2; exit 1; }

echo "== building the 32-bit product tree"
build_win32
dll=$root/dist/tervex.dll
host=$build/win32/tools/host/tervex-host.exe
for f in "$dll" "$dll.debug" "$host"; do
  [ -f "$f" ] || { echo "package: $f was not built" >&2; exit 1; }
done
# Both programs must be the 32-bit ones, whatever else this machine builds.
for f in "$dll" "$host"; do
  i686-w64-mingw32-objdump -f "$f" | grep -q 'file format pei-i386' || { echo "package: $f is not a 32-bit image" >&2; exit 1; }
done

name=tervex-$version-win32
stage=$build/package/$name
rm -rf "$build/package"
mkdir -p "$stage/stations" "$stage/docs/images"
cp "$dll" "$dll.debug" "$host" "$stage/"
# The host is a tool: it goes without its debug information.
i686-w64-mingw32-strip --strip-debug "$stage/tervex-host.exe"
cp "$root"/tools/host/stations/* "$stage/stations/"
cp "$root/docs/INTEGRATOR.md" "$root/docs/STATIONS.md" "$root/docs/GLOSSARY.md" "$root/docs/HOST.md" "$stage/docs/"
cp "$root"/docs/images/*.png "$stage/docs/images/"
cp "$root/CHANGELOG.md" "$stage/"
(cd "$stage" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort | xargs sha256sum > SHA256SUMS)
(cd "$stage" && sha256sum --quiet -c SHA256SUMS)

archive=$root/dist/$name.zip
rm -f "$archive"
(cd "$build/package" && zip -q -X -r "$archive" "$name")
echo "$archive ($(stat -c %s "$archive") bytes):"
unzip -l "$archive" | sed -n '4,$p' | sed '$d' | sed '$d' | awk '{print "  " $4}'
