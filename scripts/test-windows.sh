#!/usr/bin/env bash
# Cross-builds the folders without Qt (core, engine, exchange) and their tests for 64-bit Windows
# with Debian's MinGW-w64 into build-mingw/ (or $KIVO_MINGW_BUILD_DIR), and runs the tests under
# Wine, so that what is written for Windows is compiled and tried, not assumed. The tests are
# console programs: no display is needed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh cmake ninja-build libgtest-dev libgmock-dev g++-mingw-w64-x86-64-posix wine wine64
build_dir=${KIVO_MINGW_BUILD_DIR:-build-mingw}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIVO_QT_FREE=ON -DKIVO_WERROR="${KIVO_WERROR:-OFF}" >/dev/null
cmake --build "$build_dir" -j "$(nproc)"

# The Wine folder of the build (as the toolchain file tells ctest) is made before the tests start,
# which would otherwise all make it at once; its server is stopped when the tests are done.
export WINEPREFIX=$PWD/$build_dir/wine-prefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
trap 'wineserver -k 2>/dev/null || true' EXIT
wine wineboot --init
ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)"
