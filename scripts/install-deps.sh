#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Tolmo need, when missing.
set -euo pipefail

packages=(g++ make cmake clang libclang-rt-14-dev qtbase5-dev qtscript5-dev libqwt-qt5-dev
          libqt5svg5-dev libqt5svg5 xvfb xauth openbox x11-utils)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
