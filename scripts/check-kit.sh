#!/usr/bin/env bash
# Tries the release archive as an integrator would: unpacks it into an empty folder
# and runs the command blocks of its guide and the guide's other documents there, under
# Wine with an English locale.
#
# A checked block is fenced as ```console. In it, "> " starts a command for Windows'
# command interpreter and "$ " one for a POSIX shell (a block's shell lines run as one
# script, so variables carry over); a block holds one kind only. Every other line is
# output that must appear, in that order, runs of blanks counting as one; "…" stands
# for any text. Besides: every link of the kit's documents leads to a file of the kit,
# they name no file of the source tree, the check-sum example lists every file of the
# kit, every example station reads without problems, and the crash recipe's tools print
# a C++ function's name demangled with a project-relative file and line.
#
# Usage: scripts/check-kit.sh [ARCHIVE]   (default: builds it with scripts/package.sh)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

if ! can_run_32bit; then
  echo "check-kit: skipped, this machine cannot execute the kit's 32-bit programs"
  exit 0
fi

archive=${1:-}
if [ -z "$archive" ]; then
  mkdir -p "$build"
  "$root/scripts/package.sh" >"$build/package.log" 2>&1 || { cat "$build/package.log"; exit 1; }
  version=$(sed -n 's/^project(tervex VERSION \([0-9][0-9.]*\) .*/\1/p' "$root/CMakeLists.txt")
  archive=$root/dist/tervex-$version-win32.zip
fi
archive=$(cd "$(dirname "$archive")" && pwd)/$(basename "$archive")

work=$build/kit-check
rm -rf "$work"
mkdir -p "$work/unpacked"
unzip -q "$archive" -d "$work/unpacked"
kit=$(find "$work/unpacked" -mindepth 1 -maxdepth 1 -type d)
guide=$kit/docs/INTEGRATOR.md
[ -f "$guide" ] || { echo "check-kit: the archive holds no docs/INTEGRATOR.md" >&2; exit 1; }

# A Windows whose language is English, in a prefix of its own.
export WINEPREFIX=$build/kit-wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL=C.UTF-8 LANG=C.UTF-8
unset LANGUAGE
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w || true
fi

failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

# Splits a command line at blanks outside double quotes, dropping the quotes, as
# the command interpreter does; backslashes stay as they are.
split_words() {
  local line=$1 word= quoted=0 started=0 c i
  words=()
  for ((i = 0; i < ${#line}; i++)); do
    c=${line:i:1}
    if [ "$c" = '"' ]; then
      quoted=$((1 - quoted)); started=1
    elif [ "$c" = ' ' ] && [ $quoted = 0 ]; then
      [ $started = 1 ] && words+=("$word")
      word=; started=0
    else
      word+=$c; started=1
    fi
  done
  [ $started = 1 ] && words+=("$word")
  return 0
}

run_windows() {  # <command line> <output file>
  split_words "$1"
  (cd "$kit" && timeout 120 wine cmd /c "${words[@]}" </dev/null >>"$2" 2>&1) || true
}

# The expected lines (first file) appear in the output (second file) in order.
expect_lines() {
  LC_ALL=C awk '
    function norm(s) { gsub(/\r/, "", s); gsub(/[ \t]+/, " ", s); sub(/^ /, "", s); sub(/ $/, "", s); return s }
    function fits(line, pat,   n, parts, i, p, rest) {
      n = split(pat, parts, "…")
      if (n == 1) return line == pat
      if (substr(line, 1, length(parts[1])) != parts[1]) return 0
      rest = substr(line, length(parts[1]) + 1)
      for (i = 2; i < n; i++) {
        if (parts[i] == "") continue
        p = index(rest, parts[i])
        if (p == 0) return 0
        rest = substr(rest, p + length(parts[i]))
      }
      return parts[n] == "" || (length(rest) >= length(parts[n]) && substr(rest, length(rest) - length(parts[n]) + 1) == parts[n])
    }
    NR == FNR { e = norm($0); if (e != "") want[++n] = e; next }
    k < n && fits(norm($0), want[k + 1]) { k++ }
    END { if (k < n) { print "  missing: " want[k + 1]; exit 1 } }' "$1" "$2"
}

documents=("$guide")
for doc in "$kit"/docs/*.md; do [ "$doc" = "$guide" ] || documents+=("$doc"); done
# The blocks of the kit's documents, the guide's first, as lines "B <document> line <n>",
# "W <command>", "S <command>", "E <output>". A block may be indented (inside a list
# item): its lines lose the fence's indent.
LC_ALL=C awk '
  /^ *```console[ \t]*$/ { inside = 1; indent = index($0, "`") - 1; n = split(FILENAME, path, "/"); print "B " path[n] " line " FNR; next }
  inside && /^ *```/ { inside = 0; next }
  inside { line = substr($0, 1, indent) ~ /^ *$/ ? substr($0, indent + 1) : $0 }
  inside && line ~ /^> / { print "W " substr(line, 3); next }
  inside && line ~ /^\$ / { print "S " substr(line, 3); next }
  inside { print "E " line }' "${documents[@]}" >"$work/blocks"

report() {  # <where> <command> <expected file> <output file>
  if ! expect_lines "$3" "$4" >"$4.why"; then
    fail "$1: $2"
    cat "$4.why"
    echo "  output:"
    sed -n '1,60s/^/    | /p' "$4"
  fi
}

# Windows commands run one by one, each checked against the lines that follow it; a
# block's shell commands run as one script, checked against all its lines.
run_block() {  # <n> <where>
  local n=$1 at=$2 file=$work/block$1 i=0 kind line
  if ! grep -q '^[WS] ' "$file"; then
    fail "$at: a console block without a command"
    return
  fi
  if grep -q '^W ' "$file" && grep -q '^S ' "$file"; then
    fail "$at: a block mixes Windows and shell commands"
    return
  fi
  if grep -q '^S ' "$file"; then
    sed -n 's/^S //p' "$file" >"$file.sh"
    sed -n 's/^E //p' "$file" >"$file.want"
    (cd "$kit" && timeout 120 bash "$file.sh" </dev/null >"$file.out" 2>&1) || true
    report "$at" "$(head -n 1 "$file.sh")" "$file.want" "$file.out"
    return
  fi
  local commands=()
  while IFS= read -r line; do
    kind=${line:0:1}
    if [ "$kind" = W ]; then
      i=$((i + 1))
      commands[i]=${line#W }
      : >"$file.$i.out"
      : >"$file.$i.want"
      run_windows "${commands[i]}" "$file.$i.out"
    elif [ $i -gt 0 ]; then
      printf '%s\n' "${line#E }" >>"$file.$i.want"
    fi
  done <"$file"
  for ((j = 1; j <= i; j++)); do report "$at" "${commands[j]}" "$file.$j.want" "$file.$j.out"; done
}

blocks=0
n=0
at=0
while IFS= read -r line; do
  case $line in
    "B "*)
      [ $n -gt 0 ] && run_block $n "$at"
      n=$((n + 1)); at=${line#B }; : >"$work/block$n" ;;
    *) printf '%s\n' "$line" >>"$work/block$n" ;;
  esac
done <"$work/blocks"
[ $n -gt 0 ] && run_block $n "$at"
blocks=$n
[ $blocks -gt 0 ] || fail "the kit's documents have no console block"

# The anchors of a document's headings, as Markdown viewers make them.
anchors() {
  LC_ALL=C awk '/^```/ { fenced = !fenced } !fenced && /^#+ / {
    sub(/^#+ /, ""); s = tolower($0); gsub(/[^a-z0-9 _\200-\377-]/, "", s); gsub(/ /, "-", s); print s }' "$1"
}

# Every link leads to a file of the kit, and to a heading there; nothing names a file
# of the source tree.
for doc in "$kit"/docs/*.md; do
  while IFS= read -r link; do
    target=${link%%#*}
    file=$doc
    [ -n "$target" ] && file=$(dirname "$doc")/$target
    if [ ! -e "$file" ]; then
      fail "${doc#"$kit"/} links to $target, which is not in the kit"
    elif [ "$link" != "$target" ] && ! grep -qxF "${link#*#}" <<<"$(anchors "$file")"; then
      fail "${doc#"$kit"/} links to $link, a heading that is not there"
    fi
  done < <(grep -o '](\([^)]*\))' "$doc" | sed 's/^](//; s/)$//' | grep -v -E '^(https?:|mailto:)' || true)
done
# The guide's check-sum example names every file of the kit.
while IFS= read -r file; do
  grep -qxF "$file: OK" "$guide" || fail "the guide's check-sum list lacks $file"
done < <(sed 's/^[0-9a-f]*[ *]*//' "$kit/SHA256SUMS")
if grep -n -E 'scripts/|BENCHMARKS\.md|tools/(host|sim)/' "$kit"/docs/*.md "$kit"/stations/*; then
  fail "the kit's documents name files that are not in the kit (above)"
fi

# Every example station reads without problems (a real port may be missing here).
for station in "$kit"/stations/*.station; do
  name=stations\\$(basename "$station")
  out=$work/$(basename "$station").out
  : >"$out"
  split_words "tervex-host.exe --station $name --duration 0.1 --refresh 0"
  code=0
  (cd "$kit" && timeout 60 wine cmd /c "${words[@]}" </dev/null >"$out" 2>&1) || code=$?
  if [ $code = 2 ] || grep -q 'problem(s) in the station' "$out"; then
    fail "$name does not read"
    sed -n '1,20s/^/    | /p' "$out"
  fi
done

# The crash recipe's tools, on a C++ function of the kit's DLL.
base=0x$(i686-w64-mingw32-objdump -p "$kit/tervex.dll" | sed -n 's/^ImageBase[[:space:]]*//p')
symbol=$(i686-w64-mingw32-nm "$kit/tervex.dll.debug" | awk '$2 == "T" && $3 ~ /^__ZN6tervex/ && !found { found = $1 } END { print found }')
if [ -z "$symbol" ]; then
  fail "no C++ function in tervex.dll.debug's symbols"
else
  address=$(printf '0x%x' $((0x$symbol + 4)))
  named=$(cd "$kit" && i686-w64-mingw32-addr2line -f -e tervex.dll.debug "$address" | c++filt -n)
  case $(sed -n 1p <<<"$named") in
    tervex::*"("*) ;;
    *) fail "the crash recipe printed \"$(sed -n 1p <<<"$named")\" at $address (image base $base), not a demangled name" ;;
  esac
  # A file of the project, named from its top folder: never the build machine's path.
  grep -qE '^[a-z]+(/[A-Za-z0-9_]+)*/[A-Za-z0-9_]+\.(cpp|h):[0-9]+' <<<"$(sed -n 2p <<<"$named")" ||
    fail "the crash recipe printed \"$(sed -n 2p <<<"$named")\" at $address, not a project-relative file and line"
fi
[ "$base" = 0x67300000 ] || fail "the DLL's image base is $base, not the guide's 0x67300000"

if [ $failures -gt 0 ]; then
  echo "check-kit: $failures failure(s) in $(basename "$archive") ($blocks command blocks of its documents)"
  exit 1
fi
echo "check-kit: $(basename "$archive") unpacked into an empty folder: $blocks command blocks of its documents ran as printed"
