#!/usr/bin/env bash
# Starts the program's windows under a virtual X server and saves a picture of
# each in screenshots/ (or the folder given). QT_SCALE_FACTOR is passed on.
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-screenshots}"
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "${QV_JOBS:-2}" --target quorvane-screenshots
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" build/tools/quorvane-screenshots "$out"
