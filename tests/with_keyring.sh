#!/usr/bin/env bash
# Runs a test in a D-Bus session of its own, with a gnome-keyring of its own
# (unlocked, in a home folder of its own), so no test touches a real keyring.
#   with_keyring.sh PROGRAM [ARGUMENT ...]
set -euo pipefail
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME=$home XDG_RUNTIME_DIR=$home/run XDG_DATA_HOME=$home/data VARNOLT_OWN_KEYRING=1
mkdir -m 700 "$XDG_RUNTIME_DIR"
exec dbus-run-session -- bash -c \
  'printf varnolt | gnome-keyring-daemon --unlock --components=secrets --daemonize >/dev/null &&
   exec "$@"' keyring "$@"
