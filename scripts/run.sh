#!/usr/bin/env bash
# Installs what is missing, builds, and starts kivo in the folder you call it from, so a
# "kivos.ini" there is used first (arguments are passed on: any argument opens the setup window).
set -euo pipefail
project=$(cd "$(dirname "$0")/.." && pwd)
"$project/scripts/install-deps.sh"
(cd "$project" && scripts/build.sh)
build_dir=${KIVO_BUILD_DIR:-build}
case $build_dir in /*) ;; *) build_dir=$project/$build_dir ;; esac
exec "$build_dir/app/kivo" "$@"
