#!/usr/bin/env bash
# How long the real program takes from being started until its manager window
# is mapped on an X server, and how much memory it holds by then, side by
# side with the toolkit's floor: an empty Qt Widgets window (empty_window),
# started the same way in the same run.
#
#   bash bench/startup.sh [BUILD_DIR] [RUNS]     (defaults: build, 10)
#
# Without a display it runs itself under xvfb-run, and without a message bus
# under dbus-run-session, as on a desktop. For every run, of the
# program and of the floor in turn, a watcher of the X server's map events
# (xev on the root window) is started and seen to be listening, the program is
# started, and the wall time is taken from just before the start to the moment
# the watcher reports the window titled "Менеджер тестов" mapped. Then the
# program's peak resident memory (VmHWM) is read and the program is ended.
# Prints every run, then medians, minimums and maximums, and the program's
# ratio to the floor.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
runs=${2:-10}
program=$build/src/app/quorvane
floor=$build/bench/empty_window
title="Менеджер тестов"

for binary in "$program" "$floor"; do
  if [ ! -x "$binary" ]; then
    echo "startup.sh: no $binary; build the quorvane and empty_window targets (-DQV_BUILD_BENCH=ON)" >&2
    exit 1
  fi
done
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" bash "$0" "$build" "$runs"
fi
# A desktop session has a message bus; without one, the toolkit would start
# a bus of its own in every process it measures.
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ] && command -v dbus-run-session >/dev/null; then
  exec dbus-run-session -- bash "$0" "$build" "$runs"
fi
for tool in xev xprop stdbuf; do
  command -v "$tool" >/dev/null || { echo "startup.sh: needs $tool (packages x11-utils, coreutils)" >&2; exit 1; }
done

# Microseconds of the shell's own clock, without starting a process.
now_us() { local t=$EPOCHREALTIME; echo $((10#${t/./})); }

# Starts `$1` once; prints the milliseconds to its window mapped and its peak memory in kB.
measure() {
  local binary=$1 line start pid mapped at detail window peak_kb
  coproc WATCH { exec stdbuf -oL xev -root -event substructure -event property; }
  # The watcher listens once it reports a property set on the root window.
  xprop -root -f QV_STARTUP_PROBE 8s -set QV_STARTUP_PROBE "$RANDOM"
  while IFS= read -r -t 5 line <&"${WATCH[0]}"; do
    [[ $line == PropertyNotify* ]] && break
  done

  start=$(now_us)
  "$binary" >/dev/null 2>&1 &
  pid=$!
  mapped=""
  # Each MapNotify line is followed by one naming the window.
  while IFS= read -r -t 10 line <&"${WATCH[0]}"; do
    [[ $line == MapNotify* ]] || continue
    at=$(now_us)
    IFS= read -r -t 5 detail <&"${WATCH[0]}"
    window=$(sed -nE 's/.*window (0x[0-9a-f]+).*/\1/p' <<<"$detail")
    if xprop -id "$window" _NET_WM_NAME 2>/dev/null | grep -qF "\"$title\""; then
      mapped=$at
      break
    fi
  done
  sleep 0.2
  peak_kb=$(awk '/^VmHWM/ {print $2}' "/proc/$pid/status" 2>/dev/null || echo 0)
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  kill "$WATCH_PID" 2>/dev/null || true
  wait "$WATCH_PID" 2>/dev/null || true

  if [ -z "$mapped" ]; then
    echo "startup.sh: $binary: the window was not mapped within 10 s" >&2
    exit 1
  fi
  awk -v us=$((mapped - start)) -v kb="$peak_kb" 'BEGIN {printf "%.1f %d\n", us / 1000, kb}'
}

program_ms=() program_kb=() floor_ms=() floor_kb=()
for ((run = 1; run <= runs; run++)); do
  read -r ms kb < <(measure "$program")
  program_ms+=("$ms") program_kb+=("$kb")
  read -r fms fkb < <(measure "$floor")
  floor_ms+=("$fms") floor_kb+=("$fkb")
  printf 'run %2d: program mapped %7s ms, peak %6s kB; empty window %7s ms, peak %6s kB\n' \
    "$run" "$ms" "$kb" "$fms" "$fkb"
done

# Median, minimum and maximum of the numbers given.
stats() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END {
  m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
  printf "%.1f %.1f %.1f\n", m, v[1], v[NR] }'; }

read -r pm pmin pmax < <(stats "${program_ms[@]}")
read -r fm fmin fmax < <(stats "${floor_ms[@]}")
read -r pk _ _ < <(stats "${program_kb[@]}")
read -r fk _ _ < <(stats "${floor_kb[@]}")
awk -v runs="$runs" -v pm="$pm" -v pmin="$pmin" -v pmax="$pmax" -v fm="$fm" -v fmin="$fmin" -v fmax="$fmax" \
    -v pk="$pk" -v fk="$fk" 'BEGIN {
  printf "start to window mapped, %d runs: program median %.1f ms (%.1f-%.1f), empty window %.1f ms (%.1f-%.1f)\n",
         runs, pm, pmin, pmax, fm, fmin, fmax
  printf "peak memory, medians: program %.1f MB, empty window %.1f MB\n", pk / 1024, fk / 1024
  printf "ratio to the empty window: time %.2f, memory %.2f (aim for time: <= 1.30: %s)\n",
         pm / fm, pk / fk, pm / fm <= 1.3 ? "met" : "MISSED"
}'
