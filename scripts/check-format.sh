#!/usr/bin/env bash
# Checks that every C++ file git tracks is laid out as .clang-format says, with Debian's
# clang-format, and names those that are not. Reformat them all at once with
#   scripts/check-format.sh --fix
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh clang-format
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = --fix ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
# All files in one run; only when that fails, one at a time to name them.
if ! clang-format --dry-run --Werror "${files[@]}" >/dev/null 2>&1; then
  unformatted=()
  for file in "${files[@]}"; do
    clang-format --dry-run --Werror "$file" >/dev/null 2>&1 || unformatted+=("$file")
  done
  echo "Not formatted as .clang-format says (scripts/check-format.sh --fix formats them):"
  printf '  %s\n' "${unformatted[@]}"
  exit 1
fi
echo "Format check: all ${#files[@]} C++ files formatted ($(clang-format --version))"
