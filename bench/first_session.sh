#!/usr/bin/env bash
# The first-time figures of gui_bench (start-up in the process, the first
# opening of the largest test in the editor, its first save, paging and run,
# the peak memory) gathered over several fresh processes, since each process
# has only one first time.
#
#   bash bench/first_session.sh [BUILD_DIR] [RUNS] [PLATFORM]
#       defaults: build-guibench, 10, offscreen; PLATFORM xcb runs on Xvfb.
#
# Prints, for every figure, the median, minimum and maximum over the runs.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-guibench}
runs=${2:-10}
platform=${3:-offscreen}
bench=$build/bench/gui_bench

[ -x "$bench" ] || { echo "first_session.sh: no $bench; build the gui_bench target first" >&2; exit 1; }
if [ "$platform" = xcb ] && [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$build" "$runs" "$platform"
fi

out=$(mktemp)
trap 'rm -f "$out"' EXIT
for ((run = 1; run <= runs; run++)); do
  QT_QPA_PLATFORM=$platform "$bench" --qv_session_only 2>/dev/null | grep '^figure ' >>"$out" ||
    { echo "first_session.sh: run $run failed" >&2; exit 1; }
done

echo "platform $platform, $runs fresh processes; ms unless named rss (MB)"
sort -k2,2 -k3,3n "$out" | awk '
  { name = $2; v[name, ++n[name]] = $3; if (!(name in seen)) { seen[name] = 1; order[++names] = name } }
  END {
    printf "%-28s %10s %10s %10s\n", "figure", "median", "min", "max"
    for (i = 1; i <= names; i++) {
      k = order[i]; c = n[k]
      median = c % 2 ? v[k, (c + 1) / 2] : (v[k, c / 2] + v[k, c / 2 + 1]) / 2
      printf "%-28s %10.2f %10.2f %10.2f\n", k, median, v[k, 1], v[k, c]
    }
  }'
