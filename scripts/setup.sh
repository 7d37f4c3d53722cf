#!/usr/bin/env bash
# Installs what building and testing need on a Debian machine, when missing.
set -euo pipefail
packages=(build-essential cmake pkg-config libsdl1.2-dev libsdl-ttf2.0-dev libsdl2-dev
          libfreetype-dev libx11-dev fonts-dejavu-core libgtest-dev xvfb xdotool x11-apps
          x11-utils e2fsprogs xfonts-base python3)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
