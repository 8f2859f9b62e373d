#!/bin/sh
# Runs a command on a session bus of its own, in a temporary home folder: no test ever reaches the
# user's own bus, keyring or notifications. The bus starts no service on demand (see
# session_bus.conf), so that nothing installed on the machine (a notification daemon, a keyring)
# answers in place of what the test starts itself.
#   with_session_bus.sh [--keyring] command [argument ...]
# --keyring: with a Secret Service keyring on the bus, unlocked, in the temporary folder.
set -eu
keyring=0
if [ "${1:-}" = --keyring ]; then
  keyring=1
  shift
fi
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export HOME="$dir" XDG_DATA_HOME="$dir/data" XDG_CONFIG_HOME="$dir/config" XDG_RUNTIME_DIR="$dir/run"
mkdir -p "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
config="$(cd "$(dirname "$0")" && pwd)/session_bus.conf"
if [ $keyring -eq 1 ]; then
  # The keyring takes its name on the bus a moment after the command that starts it returns, and
  # this bus does not start it on demand: the test waits for the name.
  dbus-run-session --config-file="$config" -- sh -c \
    'printf "kivo-test" | gnome-keyring-daemon --unlock --components=secrets >/dev/null &&
     gdbus wait --session --timeout 60 org.freedesktop.secrets && "$@"' sh "$@"
else
  dbus-run-session --config-file="$config" -- "$@"
fi
