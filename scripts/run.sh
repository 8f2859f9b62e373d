#!/usr/bin/env bash
# Installs what building and running kivo needs and is missing, builds kivo alone (no tests, no
# benchmarks) into build-run/ (or $KIVO_RUN_BUILD_DIR), and starts it in the folder you call it
# from, so a "kivos.ini" there is used first (arguments are passed on: any argument opens the setup
# window).
set -euo pipefail
project=$(cd "$(dirname "$0")/.." && pwd)
"$project/scripts/install-deps.sh" --run
build_dir=${KIVO_RUN_BUILD_DIR:-build-run}
case $build_dir in /*) ;; *) build_dir=$project/$build_dir ;; esac
KIVO_BUILD_DIR=$build_dir "$project/scripts/build.sh" -DKIVO_BUILD_TESTS=OFF -DKIVO_BUILD_BENCH=OFF
exec "$build_dir/app/kivo" "$@"
