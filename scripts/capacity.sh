#!/usr/bin/env bash
# Line capacity: the reference host under Wine with the driver, its COM port linked
# to the simulator on a paced pseudo-terminal (every character takes its time at the
# baud rate, 2 ms controller turnaround), at 9,600 to 115,200 baud, RTU and ASCII,
# two stations; libmodbus on the same paced line beside it. Writes the capacity
# section of BENCHMARKS.md (or of the file given as the first argument) and the
# table of docs/INTEGRATOR.md. About 10 minutes; TERVEX_CAPACITY_SECONDS sets
# the length of each host run (default 20), TERVEX_CAPACITY_BAUDS the rates,
# TERVEX_CAPACITY_HOST_ARGS extra host options (comparisons), TERVEX_CAPACITY_GUIDE
# where the integrators' table goes.
# Raw output stays in <build>/capacity.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
"$root/scripts/setup.sh"

report=${1:-$root/BENCHMARKS.md}
case $report in /*) ;; *) report=$PWD/$report ;; esac
guide=${TERVEX_CAPACITY_GUIDE:-$root/docs/INTEGRATOR.md}
seconds=${TERVEX_CAPACITY_SECONDS:-20}
peer_seconds=${TERVEX_CAPACITY_PEER_SECONDS:-10}
read -r -a bauds <<<"${TERVEX_CAPACITY_BAUDS:-9600 19200 57600 115200}"
turnaround_ms=2
host_args=${TERVEX_CAPACITY_HOST_ARGS:-}  # extra host options, for comparisons
work=$build/capacity
mkdir -p "$work"

native=$build/bench-release
echo "== building the simulator, the paced relay and the libmodbus peer (Release) in $native"
cmake -S "$root" -B "$native" -DCMAKE_BUILD_TYPE=Release >"$native.configure.log" 2>&1 || { cat "$native.configure.log"; exit 1; }
cmake --build "$native" -j"$jobs" --target tervex-sim tervex-wire tervex_modbus_peer tervex_engine_master >"$native.build.log" 2>&1 ||
  { tail -n 60 "$native.build.log"; exit 1; }
sim=$native/tools/sim/tervex-sim
wire=$native/tools/sim/tervex-wire
peer=$native/bench/tervex_modbus_peer
engine=$native/bench/tervex_engine_master

echo "== building the driver and the reference host"
build_windows
host=$win_run_dir/tools/host/tervex-host.exe
if [ "$win_run_dir" = "$build/win32" ]; then
  dll=$root/dist/tervex.dll
  which="the shipped 32-bit DLL (dist/tervex.dll) and the 32-bit host"
else
  dll=$win_run_dir/dist/tervex.dll
  which="the 64-bit stand-in build of the DLL and the host (this machine cannot execute 32-bit programs)"
fi
export WINEPREFIX=$win_run_dir/wineprefix
com=9
link=$WINEPREFIX/dosdevices/com$com
# The line and its controllers stand for hardware, which does not wait for a CPU:
# given real-time priority where allowed, they keep their times on a busy machine.
paced=()
if chrt -f 20 true 2>/dev/null; then paced=(chrt -f 20); fi
# Both stacks under test (the host with Wine's server, the libmodbus peer) get the same
# round-robin real-time priority, so that other work on the machine decides neither
# figure; TERVEX_CAPACITY_PRIORITY=normal runs them as ordinary processes.
stack=()
if [ "${TERVEX_CAPACITY_PRIORITY:-rt}" = rt ] && chrt -r 10 true 2>/dev/null; then stack=(chrt -r 10); fi
wineserver -k 2>/dev/null || true
"${stack[@]}" "$root/cmake/wine-run.sh" cmd /c exit >/dev/null 2>&1 || true

# Characters of one exchange (request and answer) and the physical limit in exchanges
# per second: every request written the moment the previous answer ends.
chars_of() { case $1 in RTU) echo 16 ;; ASCII) echo 28 ;; modbus) echo 21 ;; esac; }
limit_of() { awk -v c="$(chars_of "$1")" -v b="$2" -v t="$turnaround_ms" 'BEGIN { printf "%.3f", 1 / (c * 10 / b + t / 1000) }'; }
stat_of() { sed -n "s/^$2=//p" "$1"; }

# station <file> <framing> <baud> <controllers> <items per controller> <scan rate s>
station() {
  local file=$1 framing=$2 baud=$3 controllers=$4 items=$5 scan=$6 c i
  {
    printf '[settings]\nWaitTimeout = 1000\nCountTry = 3\nTimeNextSend = 5000\n\n'
    printf '[port COM%s]\ntype = serial\nbaud = %s\n' "$com" "$baud"
    for ((c = 1; c <= controllers; c++)); do
      printf '\n[node C%s]\nport = COM%s\naddress = %s\nprotocol = %s\nscan_rate = %s\n' "$c" "$com" "$c" "$framing" "$scan"
      for ((i = 0; i < items; i++)); do printf 'item I%02d ОЗУ %s Byte\n' "$i" "$i"; done
    done
  } >"$file"
}

# Memory of controller <address>: 64 bytes that differ from controller to controller.
# (All-zero memory would make the 10-byte start of controller 3's answers end in a
# matching CRC: see "Line capacity" in bench/findings.md.)
memory() { awk -v a="$1" 'BEGIN { for (i = 0; i < 64; i++) printf "%02X ", (i * 7 + a * 29 + 3) % 256 }'; }

# start_line <link> <name> <baud> <controller options...>: the simulator as a paced line
# behind the pseudo-terminal <link>, counting into <name>.wire; stop_line ends it.
start_line() {
  local link_path=$1 name=$2 baud=$3 c
  shift 3
  rm -f "$link_path" "$work/$name.wire"
  "${paced[@]}" "$sim" --pty --pace --baud "$baud" --turnaround-ms "$turnaround_ms" --link "$link_path" \
    --wire-stats "$work/$name.wire" "$@" >"$work/$name.sim.out" 2>"$work/$name.sim.err" &
  line_pid=$!
  for c in $(seq 50); do [ -L "$link_path" ] && break; sleep 0.1; done
}
stop_line() {
  kill -TERM "$line_pid" 2>/dev/null || true
  wait "$line_pid" || true
}

# run_case <name> <framing> <baud> <controllers> <items> <scan rate s> [host options...]
# Leaves <name>.wire (the wire's counts) and <name>.results (the host's) in $work.
run_case() {
  local name=$1 framing=$2 baud=$3 controllers=$4 items=$5 scan=$6 c
  shift 6
  local args=()
  for ((c = 1; c <= controllers; c++)); do args+=(--controller "$c:framing=$framing:mem=RAM 0 $(memory "$c")"); done
  station "$work/$name.station" "$framing" "$baud" "$controllers" "$items" "$scan"
  rm -f "$work/$name.results"
  start_line "$link" "$name" "$baud" "${args[@]}"
  # shellcheck disable=SC2086
  "${stack[@]}" "$root/cmake/wine-run.sh" "$host" --dll "$dll" --station "$work/$name.station" --duration "$seconds" \
    --refresh 0 --results "$work/$name.results" "$@" $host_args >"$work/$name.host.out" 2>&1 ||
    echo "   host run $name failed (see $work/$name.host.out)"
  stop_line
}

# Wine's own processes outlive a host run by a few seconds, at the host's real-time
# priority; the runs without Wine (the engine alone, libmodbus) start without them.
quiet_wine() { wineserver -k 2>/dev/null || true; wineserver -w 2>/dev/null || true; }

# run_engine <name> <framing> <baud>: the driver's engine alone (no host, no Wine) on
# the same line and station one, for $peer_seconds s; leaves <name>.wire.
run_engine() {
  local name=$1 framing=$2 baud=$3 pty=$work/engine.pty
  quiet_wine
  start_line "$pty" "$name" "$baud" --controller "1:framing=$framing:mem=RAM 0 $(memory 1)"
  "${stack[@]}" "$engine" --terminal "$pty" --framing "$framing" --seconds "$peer_seconds" >"$work/$name.out" 2>&1 ||
    echo "   engine run $name failed (see $work/$name.out)"
  stop_line
}

# Figures of a finished case: exchanges/s, ratio, busy share, refresh mean and p99
# (mean of the items' means, largest p99), host CPU per second, bad reads, and the
# master's rest between an answer's end and its next request (mean, p99, in us).
figures() {
  local name=$1 framing=$2 baud=$3 answers elapsed busy limit
  answers=$(stat_of "$work/$name.wire" answers)
  elapsed=$(stat_of "$work/$name.wire" elapsed_ms)
  busy=$(stat_of "$work/$name.wire" busy_ms)
  limit=$(limit_of "$framing" "$baud")
  awk -F'\t' -v a="$answers" -v e="$elapsed" -v bu="$busy" -v l="$limit" \
    -v gm="$(stat_of "$work/$name.wire" reply_gap_mean_us)" -v g99="$(stat_of "$work/$name.wire" reply_gap_p99_us)" '
    $1 == "item" { for (i = 3; i <= NF; i++) { split($i, kv, "="); f[kv[1]] = kv[2] }
                   n++; mean += f["refresh_mean_ms"]; if (f["refresh_p99_ms"] > p99) p99 = f["refresh_p99_ms"] }
    $1 == "host" { for (i = 2; i <= NF; i++) { split($i, kv, "="); h[kv[1]] = kv[2] } }
    $1 == "node" { for (i = 3; i <= NF; i++) { split($i, kv, "="); if (kv[1] != "good") bad += kv[2] } }
    END { rate = a / (e / 1000); cpu = h["run_ms"] > 0 ? h["cpu_ms"] / h["run_ms"] * 1000 : -1
          printf "%.1f %.1f %.1f %.1f %.1f %.0f %.3f %d %.0f %.0f\n", rate, 100 * rate / l, 100 * bu / e,
                 n ? mean / n : 0, p99, cpu, l, bad, gm, g99 }' "$work/$name.results"
}

echo "== capacity runs: ${#bauds[@]} baud rates, RTU and ASCII, two stations, $seconds s each"
echo "   host: $which"
rows=()
declare -A ratio_min peer_ratio peer_rate peer_gap engine_ratio engine_gap
for baud in "${bauds[@]}"; do
  for framing in RTU ASCII; do
    for shape in one four; do
      if [ $shape = one ]; then controllers=1 items=64; else controllers=4 items=32; fi
      name=$framing-$baud-$shape
      echo "   $name"
      run_case "$name" "$framing" "$baud" "$controllers" "$items" 0.1 --read-every-ms 1
      read -r rate ratio busy mean p99 cpu limit bad gap gap99 < <(figures "$name" "$framing" "$baud")
      rows+=("$framing|$baud|$shape|$rate|$limit|$ratio|$busy|$mean|$p99|$cpu|$bad|$gap|$gap99")
      key="$framing $baud"
      if [ $shape = one ]; then
        run_engine "engine-$framing-$baud" "$framing" "$baud"
        engine_ratio[$key]=$(awk -v a="$(stat_of "$work/engine-$framing-$baud.wire" answers)" \
          -v e="$(stat_of "$work/engine-$framing-$baud.wire" elapsed_ms)" -v l="$limit" 'BEGIN { printf "%.1f", 100 * a / (e / 1000) / l }')
        engine_gap[$key]="$(stat_of "$work/engine-$framing-$baud.wire" reply_gap_mean_us | cut -d. -f1) / $(stat_of "$work/engine-$framing-$baud.wire" reply_gap_p99_us | cut -d. -f1) us"
      fi
      if [ -z "${ratio_min[$key]:-}" ] || awk -v a="$ratio" -v b="${ratio_min[$key]}" 'BEGIN { exit !(a < b) }'; then
        ratio_min[$key]=$ratio
      fi
    done
  done
  echo "   libmodbus $baud"
  quiet_wine
  rm -f "$work/modbus-$baud.wire"
  coproc WIRE { exec "${paced[@]}" "$wire" --baud "$baud" --turnaround-ms "$turnaround_ms" --wire-stats "$work/modbus-$baud.wire" 2>/dev/null; }
  read -r master_path <&"${WIRE[0]}"
  read -r device_path <&"${WIRE[0]}"
  "${stack[@]}" "$peer" --master "$master_path" --device "$device_path" --baud "$baud" --seconds "$peer_seconds" >"$work/modbus-$baud.out"
  kill -TERM "$WIRE_PID" 2>/dev/null || true
  wait "$WIRE_PID" || true
  answers=$(stat_of "$work/modbus-$baud.wire" answers)
  elapsed=$(stat_of "$work/modbus-$baud.wire" elapsed_ms)
  peer_ratio[$baud]=$(awk -v a="$answers" -v e="$elapsed" -v l="$(limit_of modbus "$baud")" 'BEGIN { printf "%.1f", 100 * a / (e / 1000) / l }')
  peer_rate[$baud]=$(awk -v a="$answers" -v e="$elapsed" 'BEGIN { printf "%.1f", a / (e / 1000) }')
  peer_gap[$baud]="$(stat_of "$work/modbus-$baud.wire" reply_gap_mean_us | cut -d. -f1) / $(stat_of "$work/modbus-$baud.wire" reply_gap_p99_us | cut -d. -f1) us"
done

echo "== a station the line can serve: 64 items at 0.1 s, RTU 19200 baud"
run_case served RTU 19200 1 64 0.1
read -r s_rate s_ratio s_busy s_mean s_p99 s_cpu s_limit s_bad _ _ < <(figures served RTU 19200)

# The integrators' table: items per second and refresh periods of typical stations,
# from the measured exchange rates of the one-controller station (8 items per frame).
table=$work/guide.md
{
  echo "<!-- capacity table: measured on a paced line -->"
  echo "| Baud | Framing | Exchanges/s measured | Items/s, 8 per frame | Items/s, 1 per frame | Refresh: 64 items in 8 frames | Refresh: 128 items on 4 controllers, 16 frames | Refresh: 64 items in 64 frames |"
  echo "|---:|---|---:|---:|---:|---:|---:|---:|"
  for row in "${rows[@]}"; do
    IFS='|' read -r framing baud shape rate limit ratio busy mean p99 cpu bad gap gap99 <<<"$row"
    [ "$shape" = one ] || continue
    awk -v f="$framing" -v b="$baud" -v r="$rate" 'BEGIN {
      printf "| %s | %s | %.0f | %.0f | %.0f | %.0f ms | %.0f ms | %.0f ms |\n", b, f, r, 8 * r, r, 8000 / r, 16000 / r, 64000 / r }'
  done
  echo "<!-- /capacity -->"
} >"$table"

machine="$(grep -m1 'model name' /proc/cpuinfo | sed 's/.*: //'), $(nproc) logical CPUs; $(. /etc/os-release && echo "$PRETTY_NAME"); $(wine --version 2>/dev/null || /usr/lib/wine/wine64 --version)"
load=$(cut -d' ' -f1-3 /proc/loadavg)
section=$work/section.md
{
  echo "<!-- capacity: written by scripts/capacity.sh -->"
  echo "## Line capacity: the whole chain on a paced line"
  echo
  echo "Written by \`scripts/capacity.sh\` (about 10 minutes; \`scripts/bench.sh\` keeps this section as it stands)."
  echo
  echo "The reference host under Wine with the driver, on $which, its COM$com linked to the simulator's pseudo-terminal run as a real line (\`tervex-sim --pty --pace\`): every character takes 10 bit times (8N1) at the baud rate, one direction at a time, and each answer starts $turnaround_ms ms (the controller's turnaround) after the request's last character. The simulator counts what was on the wire. Each case runs $seconds s with every item read again as soon as its last read is done (\`--read-every-ms 1\`), so the line is the limit. Stations: **one** = 64 Byte items at RAM 0..63 of one controller (8 items share each read frame, 8 frames per cycle); **four** = 4 controllers with 32 Byte items each (16 frames per cycle). The physical limit is the exchange rate with every request written the moment the previous answer ends: RTU 5 + 11 characters, ASCII 8 + 20, plus the turnaround. libmodbus (RTU client \`modbus_read_registers\` of 4 registers, 8 + 13 characters, against a libmodbus RTU server) runs $peer_seconds s on the same paced line between two pseudo-terminals (\`tervex-wire\`), measured against its own limit."
  echo
  echo "The host's COM port is a serial port with \`wait = auto\`: under Wine the host looks at it in 20 µs steps while an answer can be arriving (not while its own request is on the wire, nor through the part of the controller's turnaround it has learned) and reads just the bytes that are there; the \"master's rest\" column is the time the wire stood idle between each answer's last character and the next request's first, as the line counted it, and is all the line time the master's side loses."
  echo
  echo "Machine: $machine. Priorities: the simulator and the relay (standing for the line and the controllers) $([ ${#paced[@]} -gt 0 ] && echo "real-time FIFO" || echo "ordinary (real-time not allowed here)"); the host with Wine's server, and the libmodbus peer, $([ ${#stack[@]} -gt 0 ] && echo "both real-time round-robin, so that other work on this shared machine decides neither figure" || echo "both ordinary processes"). Run $(date -u '+%Y-%m-%d %H:%M UTC'), load average after: $load."
  echo
  echo "| Framing | Baud | Station | Exchanges/s | Physical limit | Ratio | Line busy | Master's rest after an answer, mean / p99 | Refresh mean | Refresh p99 | Host CPU per s | Bad reads | libmodbus ratio |"
  echo "|---|---:|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
  for row in "${rows[@]}"; do
    IFS='|' read -r framing baud shape rate limit ratio busy mean p99 cpu bad gap gap99 <<<"$row"
    echo "| $framing | $baud | $shape | $rate | $limit | $ratio % | $busy % | $gap / $gap99 us | $mean ms | $p99 ms | $cpu ms | $bad | ${peer_ratio[$baud]} % |"
  done
  echo
  echo "The driver's engine alone on the same line (\`tervex_engine_master\`: no host, no Wine; station one read cycle after cycle, straight from the terminal, $peer_seconds s): $(for b in "${bauds[@]}"; do for f in RTU ASCII; do printf '%s %s %s %% (rest after an answer %s); ' "$f" "$b" "${engine_ratio["$f $b"]}" "${engine_gap["$f $b"]}"; done; done | sed 's/; $//')."
  echo
  echo "libmodbus alone on the paced line: $(for b in "${bauds[@]}"; do printf '%s baud %s exchanges/s (%s %%, rest after an answer %s); ' "$b" "${peer_rate[$b]}" "${peer_ratio[$b]}" "${peer_gap[$b]}"; done | sed 's/; $//')."
  echo
  echo "A station the line can serve (RTU, 19,200 baud, 64 items at their scan rate of 0.1 s, 8 frames per cycle = 80 exchanges/s against a limit of $s_limit): $s_rate exchanges/s, line busy $s_busy %, refresh period mean $s_mean ms, 99th percentile $s_p99 ms, host CPU $s_cpu ms per second, bad reads $s_bad."
  echo
  echo "For integrators (docs/INTEGRATOR.md): items per second on one line and the refresh period of typical stations, from the exchange rates measured above (station one):"
  echo
  sed '1d;$d' "$table"
  echo
  echo "Each case on a line of its own (the lower ratio of the two stations; libmodbus has no ASCII, so its RTU ratio at the same baud rate stands beside both framings):"
  echo
  for baud in "${bauds[@]}"; do
    for framing in RTU ASCII; do
      echo "    capacity $framing $baud baud: ${ratio_min["$framing $baud"]} % of the physical limit; libmodbus ${peer_ratio[$baud]} %"
    done
  done
  echo
  echo "<!-- /capacity -->"
} >"$section"

# Replaces the capacity section of a file, or appends it.
splice() {
  local file=$1 part=$2
  if [ -f "$file" ] && grep -q '^<!-- capacity' "$file"; then
    awk -v part="$part" '
      /^<!-- capacity/ { while ((getline line < part) > 0) print line; skip = 1; next }
      /^<!-- \/capacity -->/ { skip = 0; next }
      !skip' "$file" >"$file.new" && mv "$file.new" "$file"
  else
    { [ -f "$file" ] && cat "$file" && echo; cat "$part"; } >"$file.new" && mv "$file.new" "$file"
  fi
}
splice "$report" "$section"
splice "$guide" "$table"

echo "== report: $report (capacity section), $guide (table)"
