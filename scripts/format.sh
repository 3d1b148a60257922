#!/usr/bin/env bash
# Formats the project's C++ sources with its .clang-format. With --check it
# changes nothing and fails, naming the files, when any differs.
set -euo pipefail
cd "$(dirname "$0")/.."

command -v clang-format >/dev/null || { echo "format.sh: needs clang-format (package clang-format)" >&2; exit 1; }
mapfile -t files < <(find src tests bench fuzz tools -name '*.cpp' -o -name '*.h' | sort)

if [ "${1:-}" = "--check" ]; then
  differing=()
  for file in "${files[@]}"; do
    clang-format --dry-run --Werror "$file" >/dev/null 2>&1 || differing+=("$file")
  done
  if ((${#differing[@]})); then
    echo "format.sh: not formatted as .clang-format says (run bash scripts/format.sh):" >&2
    printf '  %s\n' "${differing[@]}" >&2
    exit 1
  fi
  echo "format.sh: ${#files[@]} files formatted as .clang-format says"
else
  clang-format -i "${files[@]}"
fi
