#!/usr/bin/env bash
# How long the real program takes from being started until its manager window
# is mapped on an X server, and how much memory it holds by then.
#
#   bash bench/startup.sh [BUILD_DIR] [RUNS]     (defaults: build-guibench, 10)
#
# Without a display it runs itself under xvfb-run. For every run a watcher of
# the X server's map events (xev on the root window) is started and seen to
# be listening, the program is started, and the wall time is taken from just
# before the start to the moment the watcher reports the manager window
# mapped. Then the program's peak resident memory (VmHWM) is read and the
# program is ended. Prints every run, then the median, minimum and maximum.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-guibench}
runs=${2:-10}
program=$build/src/app/quorvane
title="Менеджер тестов"

if [ ! -x "$program" ]; then
  echo "startup.sh: no program at $program; build the quorvane target first" >&2
  exit 1
fi
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$build" "$runs"
fi
for tool in xev xprop stdbuf; do
  command -v "$tool" >/dev/null || { echo "startup.sh: needs $tool (packages x11-utils, coreutils)" >&2; exit 1; }
done

# Microseconds of the shell's own clock, without starting a process.
now_us() { local t=$EPOCHREALTIME; echo $((10#${t/./})); }

times=()
for ((run = 1; run <= runs; run++)); do
  coproc WATCH { exec stdbuf -oL xev -root -event substructure -event property; }
  # The watcher listens once it reports a property set on the root window.
  xprop -root -f QV_STARTUP_PROBE 8s -set QV_STARTUP_PROBE "$run"
  while IFS= read -r -t 5 line <&"${WATCH[0]}"; do
    [[ $line == PropertyNotify* ]] && break
  done

  start=$(now_us)
  "$program" >/dev/null 2>&1 &
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
  peak_kb=$(awk '/^VmHWM/ {print $2}' "/proc/$pid/status" 2>/dev/null || echo "?")
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  kill "$WATCH_PID" 2>/dev/null || true
  wait "$WATCH_PID" 2>/dev/null || true

  if [ -z "$mapped" ]; then
    echo "startup.sh: run $run: the manager window was not mapped within 10 s" >&2
    exit 1
  fi
  ms=$(awk -v us=$((mapped - start)) 'BEGIN {printf "%.1f", us / 1000}')
  times+=("$ms")
  printf 'run %2d: manager mapped %7s ms after start; peak memory %s kB\n' "$run" "$ms" "$peak_kb"
done

printf '%s\n' "${times[@]}" | sort -n | awk -v aim=300 '
  { t[NR] = $1 }
  END {
    median = NR % 2 ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2
    printf "start to manager mapped, %d runs: median %.1f ms, min %.1f, max %.1f (aim <= %d ms: %s)\n",
           NR, median, t[1], t[NR], aim, median <= aim ? "met" : "MISSED"
  }'
