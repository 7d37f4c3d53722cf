#!/usr/bin/env bash
# The install into a fresh folder brings the face and the settings naming
# it; into a suite folder that has settings of its own it keeps them.
#   keeps_settings.sh <build dir> <font file name>
set -euo pipefail
build="$1"
face="$2"
suite="$(mktemp -d)"
trap 'rm -rf "$suite"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cmake --install "$build" --prefix "$suite" >/dev/null
[ -f "$suite/Fonts/$face" ] || fail "no Fonts/$face in a fresh install"
[ "$(cat "$suite/inifiles/fontkeus.ini")" = "$face"$'\r' ] ||
  fail "fresh fontkeus.ini holds $(od -c "$suite/inifiles/fontkeus.ini")"

printf 'Lucon.ttf\r\n' >"$suite/inifiles/fontkeus.ini"
cmake --install "$build" --prefix "$suite" >/dev/null
[ "$(cat "$suite/inifiles/fontkeus.ini")" = $'Lucon.ttf\r' ] ||
  fail "the suite's own fontkeus.ini was replaced: $(cat "$suite/inifiles/fontkeus.ini")"
[ -x "$suite/logship" ] || fail "no logship installed"
echo "the suite's own settings were kept"
