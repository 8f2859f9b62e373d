#!/bin/sh
# Runs a command on a session bus of its own, with a Secret Service keyring that is unlocked and
# lives in a temporary folder: no test ever touches the user's own keyring.
set -eu
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export HOME="$dir" XDG_DATA_HOME="$dir/data" XDG_CONFIG_HOME="$dir/config" XDG_RUNTIME_DIR="$dir/run"
mkdir -p "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
dbus-run-session -- sh -c \
  'printf "kivo-test" | gnome-keyring-daemon --unlock --components=secrets >/dev/null && "$@"' sh "$@"
