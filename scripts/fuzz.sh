#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ (or $KIVO_FUZZ_BUILD_DIR) and runs each
# for a while, starting from its seeds in tests/fuzz/corpus/<target>/ and what earlier runs found.
#   scripts/fuzz.sh [seconds per target, default 30] [target ...]
#   KIVO_FUZZ_RUNS=10000000 scripts/fuzz.sh 0 fuzz_csv     # a fixed number of inputs instead
# KIVO_FUZZ_JOBS: targets run at once (default: one per core). KIVO_FUZZ_SANITIZE: the sanitizers
# (default fuzzer-no-link,address,undefined; a long run may leave out address, several times faster,
# in its own KIVO_FUZZ_BUILD_DIR).
# Any broken invariant or sanitizer finding fails the run; the input is kept in build-fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
shift || true
build_dir=${KIVO_FUZZ_BUILD_DIR:-build-fuzz}
scripts/install-deps.sh --test
CC=clang CXX=clang++ cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKIVO_FUZZ=ON -DKIVO_SANITIZE="${KIVO_FUZZ_SANITIZE:-fuzzer-no-link,address,undefined}" \
  -DKIVO_WERROR="${KIVO_WERROR:-OFF}" >/dev/null
cmake --build "$build_dir" -j "$(nproc)"

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for seeds in tests/fuzz/corpus/*/; do targets+=("$(basename "$seeds")"); done
fi
mkdir -p "$build_dir/findings" "$build_dir/logs"
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

run_one() {
  local target=$1 limit=()
  if [ -n "${KIVO_FUZZ_RUNS:-}" ]; then limit=(-runs="$KIVO_FUZZ_RUNS"); else limit=(-max_total_time="$seconds"); fi
  local dict=() corpus="$build_dir/corpus/$target"
  [ -f "tests/fuzz/$target.dict" ] && dict=(-dict="tests/fuzz/$target.dict")
  mkdir -p "$corpus"
  if "$build_dir/tests/fuzz/$target" "${limit[@]}" "${dict[@]}" -print_final_stats=1 \
      -artifact_prefix="$build_dir/findings/$target-" "$corpus" "tests/fuzz/corpus/$target" \
      >"$build_dir/logs/$target.log" 2>&1; then
    echo "$target: $(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$build_dir/logs/$target.log" | grep -o '[0-9]*$') inputs, no finding"
  else
    echo "$target: FAILED"; tail -40 "$build_dir/logs/$target.log"; return 1
  fi
}
export -f run_one
export build_dir seconds
printf '%s\n' "${targets[@]}" | xargs -P "${KIVO_FUZZ_JOBS:-$(nproc)}" -I{} bash -c 'run_one {}'
