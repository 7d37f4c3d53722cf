#!/usr/bin/env bash
# Benchmark of logship, in an X server of its own: start to the drive menu,
# the idle CPU of every wait, the copy, peak memory, each as median and
# minimum over 5 runs, with its target and the floor it is held against.
#   tools/bench.sh [build dir] [--runs N] [--idle SECONDS]   (default: build)
# The options go to bench.py, for the figures taken in the X server.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build"
if [ $# -gt 0 ] && [[ $1 != -* ]]; then
  build="$1"
  shift
fi
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" \
  --target logship launcher logship-cmd logship-msgbox bench_copy bench_scan bench_idle \
  bench_repeat >/dev/null
install="$(mktemp -d)"
trap 'rm -rf "$install"' EXIT
cmake --install "$build" --prefix "$install" >/dev/null
"$root/tests/acceptance/with_xvfb.sh" \
  python3 -B "$root/tools/bench.py" "$install" --copy-tool "$build/bin/bench_copy" \
  --repeat-tool "$build/bin/bench_repeat" "$@"
echo "Without a window (the logic alone, real interpreter and clock):"
"$build/bin/bench_scan"
"$build/bin/bench_idle"
