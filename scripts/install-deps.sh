#!/usr/bin/env bash
# Installs everything the build, the client and the tests need on Debian 12.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
PKGS=(
  cmake g++ ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6sql6-ibase libgl-dev qt6-translations-l10n
  qt6-charts-dev libqt6opengl6-dev
  firebird3.0-server-core firebird3.0-utils firebird3.0-server libfbclient2 firebird-dev
  libfreexl-dev
  libmicrohttpd-dev libqrencode-dev zbar-tools
  poppler-utils xvfb xauth fonts-liberation fonts-dejavu-core
)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
