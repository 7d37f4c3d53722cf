#!/bin/bash
# no_sdl_links.sh [LINK...] -- PROGRAM...
# Fails when a program needs SDL, SDL_ttf or FreeType at run time (ldd), or
# when the build links one into a program: each LINK is such a link that
# the build found, "target: library". The tool's logic and its tests stand
# on the layer's core alone.
status=0
while [ $# -gt 0 ] && [ "$1" != -- ]; do
  echo "linked: $1" >&2
  status=1
  shift
done
shift
if [ $# -eq 0 ]; then
  echo "no programs to look at" >&2
  exit 1
fi
for program in "$@"; do
  if ! libraries=$(ldd "$program"); then
    echo "$program: ldd failed" >&2
    status=1
    continue
  fi
  found=$(grep -oE 'lib(SDL|freetype)[^ ]*' <<<"$libraries" | sort -u | tr '\n' ' ')
  if [ -n "$found" ]; then
    echo "$program needs $found" >&2
    status=1
  fi
done
exit $status
