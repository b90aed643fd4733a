#!/usr/bin/env bash
# Installs what is missing, builds, makes the demo database and starts the
# wizard on it. The demo keeps its settings in a folder of its own, so the
# user's own stored connection stays as it is.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh"

demo=$root/build/demo
if [ ! -f "$demo/demo.sqlite" ]; then
  "$root/scripts/make-demo-db.sh" "$demo/demo.sqlite"
fi
# Written anew each time, so the demo finds its database even after the
# checkout has moved.
mkdir -p "$demo/config"
(umask 077 && printf '[Varnolt]\nOracleSID=%s\nOracleUser=\nOraclePassword=\n' \
  "$demo/demo.sqlite" > "$demo/config/Kestrelby.ini")
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then
  echo "No display is set here: run 'xvfb-run -a $0' to start the demo on a virtual one." >&2
  exit 1
fi
XDG_CONFIG_HOME=$demo/config exec "$root/build/varnolt"
