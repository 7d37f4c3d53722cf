#!/usr/bin/env bash
# Installs what building and testing need on a Debian machine, when missing,
# and a locale with a decimal comma for the test that reads numbers in one.
set -euo pipefail
packages=(build-essential cmake pkg-config libsdl1.2-dev libsdl-ttf2.0-dev libsdl2-dev
          libfreetype-dev libx11-dev fonts-dejavu-core libgtest-dev xvfb xdotool x11-apps
          x11-utils e2fsprogs xfonts-base python3 locales strace)
sudo_cmd=""
[ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  $sudo_cmd apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
if ! locale -a 2>/dev/null | grep -qix 'nl_NL\.utf-\?8'; then
  $sudo_cmd sed -i 's/^# *\(nl_NL\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^nl_NL\.UTF-8 UTF-8' /etc/locale.gen ||
    echo 'nl_NL.UTF-8 UTF-8' | $sudo_cmd tee -a /etc/locale.gen >/dev/null
  $sudo_cmd locale-gen
fi
