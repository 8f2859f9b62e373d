#!/usr/bin/env bash
# Installs the Debian packages a command needs, only those missing:
#   scripts/install-deps.sh --run [package ...]    building and running kivo
#   scripts/install-deps.sh --test [package ...]   that and the tests, benchmarks, fuzzing and checkers
#   scripts/install-deps.sh package ...            the named packages alone
# --list prints the packages chosen instead of installing them.
set -euo pipefail

# What building kivo with CMake (Ninja or Make) and running it needs; Qt's own translations put its
# dialogs in the user's language, as kivo's shipped ones put kivo's texts.
run_packages=(
  cmake ninja-build make g++ pkg-config
  qt6-base-dev qt6-qpa-plugins libgl-dev qtkeychain-qt6-dev qt6-translations-l10n
)
# The rest of what the tests, benchmarks and fuzz targets build and run with.
test_packages=(
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core fonts-dejavu-extra tzdata
  python3 python3-icalendar python3-dateutil python3-vobject python3-caldav
  poppler-utils
  clang libclang-rt-dev
  dbus-daemon gnome-keyring libglib2.0-bin python3-dbusmock dunst
  radicale openssl
)

packages=()
list=0
for arg in "$@"; do
  case $arg in
    --run) packages+=("${run_packages[@]}") ;;
    --test) packages+=("${run_packages[@]}" "${test_packages[@]}") ;;
    --list) list=1 ;;
    -*) echo "install-deps.sh: unknown option $arg" >&2; exit 2 ;;
    *) packages+=("$arg") ;;
  esac
done
if [ $list -eq 1 ]; then
  printf '%s\n' "${packages[@]}"
  exit 0
fi

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
  su -c '$(realpath "$0") ${missing[*]}'
and run your command again, or install sudo once and log in again:
  su -c 'apt-get install sudo && usermod -aG sudo $(id -un)'
MSG
    exit 1
  fi
  sudo_cmd=(sudo)
fi
echo "Installing: ${missing[*]}"
# sudo clears the environment, so the quiet front end is passed as a variable of the command
# itself; without it debconf warns that it cannot open a dialog, once per package it configures.
apt=("${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get)
"${apt[@]}" update
"${apt[@]}" install -y --no-install-recommends "${missing[@]}"
