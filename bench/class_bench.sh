#!/usr/bin/env bash
# A class's server under load, on this computer only: `quorvane --serve` with
# a 60-question test, PUPILS simulated pupils answering at once (class_bench),
# then the same with 200 idle sockets and junk (1 MB bodies, malformed
# requests) sent meanwhile. Prints the time per answer, the server's memory
# per connected pupil, and the records the journal holds: every pupil's run
# once.
#
#   bash bench/class_bench.sh [BUILD_DIR] [PUPILS]     (default: build, 1000)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
pupils=${2:-1000}
program=$build/src/app/quorvane
client=$build/bench/class_bench
work=$(mktemp -d /tmp/qv-class-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
ulimit -n "$(ulimit -Hn)"

/usr/bin/python3 - "$work/class.tst" <<'PY'
import sys
n = 60
lines = ["Info=(%d\x052\x051)" % n, "Title=(Нагрузка\x05Автор\x05Окно)", "Buttons=(Да\x05Нет)",
         "Questions:"] + ["Вопрос %d?" % (i + 1) for i in range(n)] + ["Variants: none", "Numbers:"]
lines += ["1,0,"] * n + ["Message:", "=0-30", "Половина или меньше.", "=31-60", "Больше половины.", "$"]
open(sys.argv[1], "wb").write(b"".join(l.encode("cp1251") + b"\r\n" for l in lines))
PY

rss() { awk '/VmRSS/ {print $2}' "/proc/$1/status"; }

one_pass() {
  local label=$1; shift
  local journal=$work/journal-$label
  rm -f "$work/out"
  QT_QPA_PLATFORM=offscreen "$program" --serve "$work/class.tst" --port 0 --loopback \
    --journal "$journal" >"$work/out" 2>"$work/err" &
  local server=$!
  while [ ! -s "$work/out" ]; do sleep 0.05; done
  local port; port=$(head -1 "$work/out" | sed 's|.*:\([0-9]*\)/|\1|')
  local before; before=$(rss $server)
  local peak=$before
  ( while kill -0 $server 2>/dev/null; do rss $server; sleep 0.1; done ) >"$work/rss" &
  local sampler=$!
  echo "== $label"
  "$client" "$port" "$pupils" 60 32 "$@" || true
  peak=$(sort -n "$work/rss" | tail -1)
  kill -TERM $server; wait $server || true
  kill $sampler 2>/dev/null || true
  echo "server memory: $before kB idle, $peak kB at most; $(( (peak - before) * 1024 / pupils )) bytes per pupil"
  QT_QPA_PLATFORM=offscreen "$program" --journal-export "$journal" 2>/dev/null |
    /usr/bin/python3 -c '
import csv, sys, collections
rows = list(csv.DictReader(sys.stdin.read().lstrip("\ufeff").splitlines()))
names = collections.Counter(r["Имя"] for r in rows)
dupes = sum(c - 1 for c in names.values() if c > 1)
totals = collections.Counter(r["Сумма баллов"] for r in rows)
print("journal: %d records, %d names, %d duplicated; totals %s" % (len(rows), len(names), dupes, dict(totals)))'
}

one_pass plain
one_pass troubled --idle 200 --junk
