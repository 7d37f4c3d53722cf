#!/usr/bin/env bash
# The demo: logship on a sample contest log, with every drive letter mapped to
# a folder that this script makes afresh under build/demo/:
#   C  build/demo/disk-C   the "hard disk"; the tool is installed in C:\logship
#   E  build/demo/stick-E  a USB stick
#   F  build/demo/stick-F  a second stick
# No other letter exists, so an export never lands outside these folders.
# It opens a window: run it on a desktop, or headless as
#   xvfb-run -a scripts/demo.sh
set -euo pipefail

if [ -z "${DISPLAY:-}" ]; then
  cat >&2 <<EOF
The demo opens a window, and DISPLAY is not set. Run it on a desktop, or try
it headless in a virtual X server (package xvfb, which scripts/setup.sh installs):
    xvfb-run -a $0
EOF
  exit 1
fi

cd "$(dirname "$0")/.."
demo="$PWD/build/demo"
case "$demo" in
  *";"*) echo "The demo cannot map a folder whose path holds \";\": $demo" >&2; exit 1 ;;
esac

scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target logship launcher logship-cmd logship-msgbox

rm -rf "$demo"
mkdir -p "$demo/disk-C" "$demo/stick-E" "$demo/stick-F"
tool="$demo/disk-C/logship"
cmake --install build --prefix "$tool"
cp demo/Intern.int demo/PA0DEMO.cbr demo/volgende.sh "$tool/"
export LOGSHIP_DRIVES="C=$demo/disk-C;E=$demo/stick-E;F=$demo/stick-F"
cat <<EOF
Demo: the menu lists C (the hard disk $demo/disk-C, which holds the tool),
E ($demo/stick-E) and F ($demo/stick-F). Choose one, type a name and press Enter.
EOF
exec "$tool/logship"
