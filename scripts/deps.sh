#!/usr/bin/env bash
# Installs every Debian package the project needs. Idempotent: when all are
# present it prints nothing and touches nothing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-webengine-dev-tools
  libqt6webenginecore6-bin qt6-webchannel-dev libqt6opengl6-dev libgl-dev
  qt6-svg-dev qt6-l10n-tools qt6-qpa-plugins
  libmpv-dev libxcb1-dev ffmpeg mpv
  xvfb xauth x11-utils xdotool imagemagick fonts-noto-cjk
  libgtest-dev libgmock-dev googletest
  libcpp-httplib-dev libboost-dev libsqlite3-dev sqlite3 nginx dbus-daemon
  libssl-dev libarchive-dev openssl libnss3-tools
  libtorrent-rasterbar-dev opentracker
  clang libclang-rt-14-dev
  lintian desktop-file-utils dbus dbus-bin
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
else
  SUDO=
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
