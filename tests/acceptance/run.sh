#!/usr/bin/env bash
# Acceptance run: the programs just built, installed afresh into
# <build dir>/acceptance-install, in an X server of their own.
#   run.sh <build dir> [acceptance.py options]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:?usage: run.sh <build dir>}" && pwd)"
shift
install="$build/acceptance-install"

for tool in Xvfb xdotool xwd xwininfo python3 strace; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is missing (scripts/setup.sh installs it)"
    echo "0 passed, 1 failed"
    exit 1
  fi
done
# Whatever was installed before may be older than the build.
rm -rf "$install"
cmake --install "$build" --prefix "$install" >/dev/null

rm -rf "$build/acceptance-artifacts"
"$here/with_xvfb.sh" python3 -B "$here/acceptance.py" "$install" \
  --artifacts "$build/acceptance-artifacts" "$@"
