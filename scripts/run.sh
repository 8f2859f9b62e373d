#!/usr/bin/env bash
# Installs what is missing, builds, and starts kivo (arguments are passed on: any argument opens
# the setup window directly).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
exec "${KIVO_BUILD_DIR:-build}/app/kivo" "$@"
