#!/usr/bin/env bash
# The real program's peak memory through one person's use of the largest test
# the format allows, on an X server, driven with the mouse and keyboard
# through its own dialogs:
#   start; "Редактор" and the test opened; 499 clicks on "Дальше >"; saved
#   under another name; "Закрыть"; "Запустить" and the test opened; 500
#   presses of Space on the focused answer button, ending in the result window.
#
#   bash bench/session_memory.sh [BUILD_DIR]     (default: build-guibench)
#
# With --runs N it measures instead what the program keeps per run: the
# small worked example run N times through "Запустить", the open dialog, the
# answer keys and "Закрыть", with a session bus and the accessibility bridge
# on (--no-accessibility: off). It prints the resident memory after 20 runs
# to warm up and after N more, and the growth per run (aim <= 2 kB).
#
# Needs the quorvane and gui_bench targets built (gui_bench writes the test)
# and xdotool and x11-utils. Without a display it runs itself under xvfb-run.
# Prints the peak resident memory (VmHWM) after every stage and checks that
# each stage reached the window it should.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
all_args=("$@")
build=$here/../build-guibench
runs=0
accessibility=1
while [ $# -gt 0 ]; do
  case $1 in
    --runs) runs=$2; shift 2 ;;
    --no-accessibility) accessibility=0; shift ;;
    *) build=$1; shift ;;
  esac
done
program=$build/src/app/quorvane
writer=$build/bench/gui_bench
aim_kb=$((60 * 1024))

for f in "$program" "$writer"; do
  [ -x "$f" ] || { echo "session_memory.sh: no $f; build the quorvane and gui_bench targets first" >&2; exit 1; }
done
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1280x1024x24" bash "$0" "${all_args[@]}"
fi
if [ "$runs" -gt 0 ] && [ "$accessibility" = 1 ] && [ -z "${QV_SESSION_BUS:-}" ]; then
  QV_SESSION_BUS=1 exec dbus-run-session -- bash "$0" "${all_args[@]}"
fi
for tool in xdotool xprop; do
  command -v "$tool" >/dev/null || { echo "session_memory.sh: needs $tool (packages xdotool, x11-utils)" >&2; exit 1; }
done

dir=$(mktemp -d)
pid=""
cleanup() {
  if [ -n "$pid" ]; then
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  fi
  rm -rf "$dir"
}
trap cleanup EXIT

test_file=$dir/largest.tst
"$writer" --qv_write_largest="$test_file"

fail() {
  echo "session_memory.sh: $*" >&2
  [ -n "${QV_FAIL_SHOT:-}" ] && import -window root "$QV_FAIL_SHOT"
  exit 1
}

# The id of the program's visible window with this exact title, once it is
# there (10 s at most).
window() {
  local id
  for _ in $(seq 1 200); do
    id=$(xdotool search --all --onlyvisible --pid "$pid" --name "^$1\$" 2>/dev/null | head -n 1 || true)
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    sleep 0.05
  done
  fail "no window \"$1\" appeared"
}

# Waits until the program shows no window with this title.
gone() {
  for _ in $(seq 1 200); do
    xdotool search --all --onlyvisible --pid "$pid" --name "^$1\$" >/dev/null 2>&1 || return 0
    sleep 0.05
  done
  fail "the window \"$1\" did not go"
}

peak_kb() { awk '/^VmHWM/ {print $2}' "/proc/$pid/status"; }
stage() { printf '%-44s peak %6s kB\n' "$1" "$(peak_kb)"; }

# Clicks at a point given in the window's own coordinates.
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; }

# Types a file name into the open or save dialog in front and accepts it.
answer_dialog() {
  local dialog
  dialog=$(window "$1")
  xdotool windowfocus --sync "$dialog"
  xdotool key ctrl+a
  xdotool type --delay 2 "$2"
  xdotool key Return
  gone "$1"
}

manager_title="Менеджер тестов"
editor_title="Редактор тестов"

bus=""
if [ "$runs" -gt 0 ] && [ "$accessibility" = 1 ]; then
  /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
  bus=$!
  export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
fi
"$program" >"${QV_PROGRAM_LOG:-/dev/null}" 2>&1 &
pid=$!
manager=$(window "$manager_title")
stage "manager shown"

# The manager's buttons lie 72 pixels below the menu bar; the client area is 113 high.
manager_height=$(xdotool getwindowgeometry --shell "$manager" | sed -n 's/^HEIGHT=//p')
buttons_y=$((manager_height - 113 + 84))

rss_kb() { awk '/^VmRSS/ {print $2}' "/proc/$pid/status"; }

# One run of the worked example: two answers, the result, "Закрыть".
run_example() {
  manager=$(window "$manager_title")
  click "$manager" 288 "$buttons_y"   # "Запустить"
  answer_dialog "Открыть" "$here/../tests/data/worked_example.tst"
  gone "$manager_title"
  # A key pressed while the next question is being set up may be refused:
  # "1" is pressed until the result is there.
  for _ in $(seq 1 20); do
    xdotool search --all --onlyvisible --pid "$pid" --name "^Результат\$" >/dev/null 2>&1 && break
    xdotool key 1
    sleep 0.1
  done
  result=$(window "Результат")
  click "$result" 380 492   # "Закрыть"
  gone "Результат"
}

if [ "$runs" -gt 0 ]; then
  for _ in $(seq 1 20); do run_example; done
  sleep 1
  before=$(rss_kb)
  for _ in $(seq 1 "$runs"); do run_example; done
  sleep 1
  after=$(rss_kb)
  [ -n "$bus" ] && kill "$bus" 2>/dev/null
  awk -v a="$before" -v b="$after" -v n="$runs" -v on="$accessibility" 'BEGIN {
    printf "accessibility bridge %s: %.1f MB after 20 runs, %.1f MB after %d more: %+.2f kB per run (aim <= 2 kB: %s)\n",
      on ? "on" : "off", a / 1024, b / 1024, n, (b - a) / n, (b - a) / n <= 2 ? "met" : "MISSED"
  }'
  exit 0
fi

click "$manager" 176 "$buttons_y"   # "Редактор"
answer_dialog "Открыть" "$test_file"
editor=$(window "$editor_title")
sleep 0.5
stage "largest test in the editor"

click "$editor" 504 372   # "Дальше >"
xdotool click --repeat 498 --delay 4 1
sleep 1
stage "paged to question 500"

saved=$dir/saved.tst
click "$editor" 668 476   # "Сохранить"
answer_dialog "Сохранить как" "$saved"
for _ in $(seq 1 100); do [ -s "$saved" ] && break; sleep 0.05; done
[ -s "$saved" ] || fail "the save wrote no $saved"
stage "saved"

click "$editor" 816 476   # "Закрыть"
manager=$(window "$manager_title")
click "$manager" 288 "$buttons_y"   # "Запустить"
answer_dialog "Открыть" "$test_file"
gone "$manager_title"
sleep 0.5
stage "run started"

xdotool key --delay 4 --repeat 500 space
window "Результат" >/dev/null
stage "500 answers, result shown"

peak=$(peak_kb)
awk -v kb="$peak" -v aim="$aim_kb" 'BEGIN {
  printf "peak memory of the session: %.1f MB (aim <= %d MB: %s)\n", kb / 1024, aim / 1024, kb <= aim ? "met" : "MISSED"
}'
