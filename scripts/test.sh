#!/usr/bin/env bash
# Sets up, builds with warnings as errors and runs every test; the
# acceptance run installs the programs it tests itself.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON -DLOGSHIP_WERROR=ON
cmake --build build -j"$(nproc)"
cd build
status=0
ctest --output-on-failure -j"$(nproc)" --timeout 600 || status=$?
# CTest names a skipped test but not why; its log holds the reasons, and
# those of the acceptance scenarios that were skipped.
awk '/: Skipped$/ { why = 1; next }
     why && /^\[  SKIPPED \]/ { print "skipped: " $4 ": " reason; why = 0; reason = ""; next }
     why { reason = reason (reason == "" ? "" : " ") $0; next }
     /^SKIP  / { name = $0; getline; sub(/^ +/, ""); sub(/^SKIP +/, "", name);
                 sub(/ +[0-9.]+ s$/, "", name); print "skipped: acceptance \"" name "\": " $0 }' \
  Testing/Temporary/LastTest.log
exit "$status"
