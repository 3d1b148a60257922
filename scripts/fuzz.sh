#!/usr/bin/env bash
# Fuzzes the test file loader.
#
#   scripts/fuzz.sh [SECONDS]   fuzz for SECONDS (default 60) with one worker,
#                               starting from fuzz/corpus and growing a working
#                               corpus in fuzz/corpus-work/ (not kept in git)
#   scripts/fuzz.sh --regress   run every kept input (fuzz/corpus and
#                               fuzz/regressions) once; fails if any crashes
#
# The fuzz build (clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) lives in build-fuzz/ and is configured and
# built here when needed. An input that fails is written to fuzz/artifacts/;
# minimise it with
#   build-fuzz/fuzz/load_fuzzer -minimize_crash=1 -runs=100000 INPUT
# and keep it in fuzz/regressions/.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-fuzz
fuzzer="$build/fuzz/load_fuzzer"
jobs="${QV_JOBS:-2}"

if [ ! -f "$build/build.ninja" ]; then
  CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQV_BUILD_APP=OFF \
    -DQV_BUILD_TESTS=OFF -DQV_BUILD_FUZZ=ON
fi
cmake --build "$build" -j "$jobs" --target load_fuzzer

if [ "${1:-}" = "--regress" ]; then
  count=0
  failed=()
  for f in fuzz/corpus/* fuzz/regressions/*; do
    [ -f "$f" ] || continue
    count=$((count + 1))
    # Given a file rather than a folder, libFuzzer runs it once and exits
    # non-zero when it fails.
    if ! out=$("$fuzzer" "$f" 2>&1); then
      printf '%s\n' "$out" | tail -40 >&2
      failed+=("$f")
    fi
  done
  if ((${#failed[@]})); then
    echo "load_fuzzer: ${#failed[@]} of $count kept inputs fail: ${failed[*]}" >&2
    exit 1
  fi
  echo "load_fuzzer: all $count kept inputs pass"
  exit 0
fi

seconds="${1:-60}"
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
  echo "usage: $0 [SECONDS] | --regress" >&2
  exit 2
fi

mkdir -p fuzz/corpus-work fuzz/artifacts
# The working corpus keeps what earlier runs found; the seeds are added anew.
# Inputs may be a little over 64 KiB, the piece the reader takes at a time.
cp -n fuzz/corpus/* fuzz/corpus-work/ 2>/dev/null || true

log=fuzz/artifacts/fuzz.log
set +e
"$fuzzer" fuzz/corpus-work fuzz/regressions \
  -dict=fuzz/load_fuzzer.dict \
  -max_total_time="$seconds" \
  -max_len=100000 \
  -timeout=10 \
  -rss_limit_mb=2048 \
  -print_final_stats=1 \
  -artifact_prefix=fuzz/artifacts/ 2>&1 | tee "$log" | grep -E 'DONE|ERROR|SUMMARY|check failed'
status=${PIPESTATUS[0]}
set -e

echo "--- last status lines"
grep -E '^#[0-9]+' "$log" | tail -3
echo "--- final stats"
grep '^stat::' "$log" || true
echo "corpus files: $(find fuzz/corpus-work -type f | wc -l)"
if [ "$status" -ne 0 ]; then
  echo "load_fuzzer failed (exit $status); the failing input is in fuzz/artifacts/, the log in $log" >&2
  exit "$status"
fi
