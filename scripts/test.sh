#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the full
# build (core and window tests) at the optimisation of a release build, then
# the core again under AddressSanitizer and UndefinedBehaviorSanitizer, then
# the loader's fuzz target over its kept inputs. Warnings are errors here,
# and so is a source not formatted as .clang-format says.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
# Sources not formatted as .clang-format says fail the run at once.
bash scripts/format.sh --check

jobs="${QV_JOBS:-2}"
export QT_QPA_PLATFORM=offscreen

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DQV_WERROR=ON -DQV_BUILD_BENCH=ON
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQV_WERROR=ON -DQV_BUILD_APP=OFF -DQV_SANITIZE=ON
cmake --build build-sanitize -j "$jobs"
ctest --test-dir build-sanitize --output-on-failure -j "$jobs"

if [ -d fuzz ] && [ -f fuzz/CMakeLists.txt ]; then
  CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQV_WERROR=ON -DQV_BUILD_APP=OFF \
    -DQV_BUILD_TESTS=OFF -DQV_BUILD_FUZZ=ON
  cmake --build build-fuzz -j "$jobs"
  bash scripts/fuzz.sh --regress
fi
