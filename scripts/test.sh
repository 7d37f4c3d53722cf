#!/usr/bin/env bash
# Sets up, builds, installs into build/install and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON
cmake --build build -j"$(nproc)"
rm -rf build/install
cmake --install build --prefix build/install
cd build
ctest --output-on-failure -j"$(nproc)" --timeout 600
