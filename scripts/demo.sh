#!/usr/bin/env bash
# Sets up, builds and installs logship into build/demo with a sample
# contest log, then starts it with two folders mapped as sticks E and F.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF
cmake --build build -j"$(nproc)" --target logship launcher logship-cmd logship-msgbox
demo="$PWD/build/demo"
sticks="$PWD/build/demo-sticks"
rm -rf "$demo"
cmake --install build --prefix "$demo"
cp demo/Intern.int demo/PA0DEMO.cbr demo/volgende.sh "$demo/"
mkdir -p "$sticks/STICK1" "$sticks/STICK2"
echo "Demo: the menu lists C (your root folder), E ($sticks/STICK1) and F ($sticks/STICK2)."
export LOGSHIP_DEMO_STICKS="$sticks"
export LOGSHIP_DRIVES="C=/;E=$sticks/STICK1;F=$sticks/STICK2"
if [ -z "${DISPLAY:-}" ]; then
  echo "The demo opens a window: run it on a desktop (DISPLAY is not set)." >&2
  exit 1
fi
exec "$demo/logship"
