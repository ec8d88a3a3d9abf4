#!/usr/bin/env bash
# Installs every Debian 12 package that building, running and testing Quadrivo needs.
# Idempotent; runs as root or through sudo.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git clang-format clang-tidy-22
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev qt6-webengine-dev
  libsqlite3-dev sqlite3 libsecret-1-dev libical-dev libprotobuf-dev protobuf-compiler zlib1g-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  fonts-dejavu-core xdg-utils dbus gnome-keyring
  desktop-file-utils appstream
  xvfb openbox xdotool x11-utils wmctrl
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
