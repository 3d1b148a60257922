#!/usr/bin/env bash
# Starts the program on a virtual X display with its own session and
# accessibility buses and lets walk_test.py take a test through the bus.
# Exits 0 when the walk passes, 1 when it fails, 77 (skipped) when this
# machine lacks what the walk needs.
#
#   tests/a11y/run_a11y_test.sh BUILD_FOLDER
set -u

here=$(cd "$(dirname "$0")" && pwd)
build=${1:?usage: run_a11y_test.sh BUILD_FOLDER}
program=$(cd "$build" 2>/dev/null && pwd)/src/app/quorvane
python=/usr/bin/python3  # Debian's, which has pyatspi

skip() {
    echo "SKIP: $*"
    exit 77
}

[ -x "$program" ] || { echo "FAIL: no program at $program"; exit 1; }
command -v xvfb-run >/dev/null || skip "xvfb-run is missing (package xvfb)"
command -v dbus-run-session >/dev/null || skip "dbus-run-session is missing (package dbus)"
[ -x /usr/libexec/at-spi-bus-launcher ] || skip "the accessibility bus is missing (package at-spi2-core)"
"$python" -c 'import gi; gi.require_version("Atspi", "2.0"); import pyatspi' 2>/dev/null ||
    skip "$python cannot import pyatspi (packages python3-pyatspi, gir1.2-atspi-2.0)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$python" "$here/walk_test.py" --write-test "$work" || exit 1

# Inside the sessions: the accessibility bus, the program (in the folder that
# holds the test file) and the walk. The program is ended whatever the walk did.
inner='
program=$1 here=$2 work=$3 python=$4
/usr/libexec/at-spi-bus-launcher --launch-immediately >"$work/bus.log" 2>&1 &
bus=$!
cd "$work" || exit 1
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb "$program" >"$work/program.log" 2>&1 &
app=$!
QV_PROGRAM_PID=$app timeout -k 2 45 "$python" "$here/walk_test.py" "$work"
status=$?
[ $status -eq 124 ] && echo "FAIL: the walk did not finish within 45 s"
if kill -0 $app 2>/dev/null; then
    kill $app
else
    echo "FAIL: the program ended during the walk"
    status=1
fi
wait $app 2>/dev/null
kill $bus 2>/dev/null
wait $bus 2>/dev/null
if [ $status -ne 0 ]; then
    echo "--- program output"
    cat "$work/program.log"
fi
exit $status
'
# The display number is looked for from a random start, so that walks and other
# virtual displays started at the same time do not reach for the same one.
# A virtual display that could not be reached at all (a busy machine, a
# display number taken meanwhile) is tried once more on another number.
for attempt in 1 2; do
    timeout -k 5 60 xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1280x1024x24" \
        dbus-run-session -- bash -c "$inner" inner "$program" "$here" "$work" "$python" \
        >"$work/walk.log" 2>&1
    status=$?
    grep -q "could not connect to display" "$work/walk.log" && [ $attempt -eq 1 ] || break
done
cat "$work/walk.log"
[ $status -eq 124 ] && echo "FAIL: the accessibility walk was stopped after 60 s"
[ $status -eq 0 ] || exit 1
