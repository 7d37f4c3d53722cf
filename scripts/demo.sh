#!/usr/bin/env bash
# The demo: logship on a sample contest log, with every drive letter mapped to
# a folder that this script makes afresh under build/demo/:
#   C  build/demo/disk-C   the "hard disk"; the tool is installed in C:\logship
#   E  build/demo/stick-E  a USB stick
#   F  build/demo/stick-F  a second stick
# No other letter exists, so an export never lands outside these folders.
# On a desktop it opens the window and you drive it. Without one (DISPLAY
# not set) it starts an X server of its own, drives one export itself, says
# each step and keeps a picture of each screen in build/demo/pictures/.
set -euo pipefail

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

if [ -n "${DISPLAY:-}" ]; then
  cat <<EOF
Demo: the menu lists C (the hard disk $demo/disk-C, which holds the tool),
E ($demo/stick-E) and F ($demo/stick-F). Choose one, type a name and press Enter.
EOF
  exec "$tool/logship"
fi

cat <<EOF
Demo without a desktop: logship runs in a virtual X server of its own and
this script presses the keys. C is the hard disk $demo/disk-C (the tool is
C:\\logship), E is $demo/stick-E, F is $demo/stick-F.
EOF
# The X server's scratch folder stays under build/ too.
mkdir -p "$demo/tmp"
TMPDIR="$demo/tmp" tests/acceptance/with_xvfb.sh python3 -B scripts/demo_headless.py \
  "$tool" "$demo/stick-E" "$tool/PA0DEMO.cbr" "$demo/pictures"
