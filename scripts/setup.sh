#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, and only
# those that are missing, so running it again costs nothing.
set -euo pipefail

packages=(cmake g++ make pkg-config qt6-base-dev qtkeychain-qt6-dev gnome-keyring libsecret-tools dbus-daemon libqt6sql6-sqlite libsqlite3-dev sqlite3 libqt6sql6-psql libpq-dev
          postgresql libqt6sql6-mysql mariadb-server desktop-file-utils man-db bc fonts-liberation2 xvfb xauth lintian)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
