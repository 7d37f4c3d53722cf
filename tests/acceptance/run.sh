#!/usr/bin/env bash
# Acceptance run: the programs installed in <build dir>/install, in an X
# server of their own.   run.sh <build dir> [acceptance.py options]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:?usage: run.sh <build dir>}" && pwd)"
shift
install="$build/install"

for tool in Xvfb xdotool xwd xwininfo python3; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is missing (scripts/setup.sh installs it)"
    echo "0 passed, 1 failed"
    exit 1
  fi
done
# ctest straight after a build, without scripts/test.sh's install step.
if [ ! -x "$install/logship" ]; then
  cmake --install "$build" --prefix "$install" >/dev/null
fi

rm -rf "$build/acceptance-artifacts"
if ! "$here/with_xvfb.sh" python3 -B "$here/acceptance.py" "$install" \
     --artifacts "$build/acceptance-artifacts" "$@"; then
  exit 1
fi
