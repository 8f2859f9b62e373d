#!/usr/bin/env bash
# Builds kivo with AddressSanitizer and UndefinedBehaviorSanitizer (Debug) into build-sanitize/
# (or $KIVO_SANITIZE_BUILD_DIR) and runs every test there; any finding fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${KIVO_SANITIZE_BUILD_DIR:-build-sanitize}
scripts/install-deps.sh --test
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKIVO_SANITIZE=address,undefined \
  -DKIVO_BUILD_BENCH=OFF -DKIVO_WERROR="${KIVO_WERROR:-OFF}" >/dev/null
cmake --build "$build_dir" -j "$(nproc)"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=halt_on_error=1:abort_on_error=0:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=suppressions=$PWD/tests/sanitizer/lsan.supp:print_suppressions=0
ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)"
