#!/usr/bin/env bash
# Configures and builds kivo into build/ (or $KIVO_BUILD_DIR); arguments go to the configure step
# (scripts/build.sh -DKIVO_BUILD_TESTS=OFF). KIVO_WERROR=ON makes warnings errors.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${KIVO_BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE:-RelWithDebInfo} \
  -DKIVO_WERROR="${KIVO_WERROR:-OFF}" "$@" >/dev/null
cmake --build "$build_dir" -j "$(nproc)"
