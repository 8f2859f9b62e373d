#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running kivo need, only those missing.
set -euo pipefail

packages=(
  cmake ninja-build make g++ pkg-config
  qt6-base-dev qt6-qpa-plugins libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core fonts-dejavu-extra tzdata
  python3 python3-icalendar python3-dateutil python3-vobject
  poppler-utils
  clang libclang-rt-dev
)
# Extra packages a caller asks for by name.
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  # A minimal Debian has no sudo: say what to do instead of failing with "command not found".
  if ! command -v sudo >/dev/null 2>&1; then
    cat >&2 <<MSG
install-deps.sh: these packages are missing: ${missing[*]}
Installing them needs root, and sudo is not installed. Either install them as root with
  su -c '$(realpath "$0")'
and run your command again, or install sudo once and log in again:
  su -c 'apt-get install sudo && usermod -aG sudo $(id -un)'
MSG
    exit 1
  fi
  sudo_cmd=(sudo)
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update
"${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
