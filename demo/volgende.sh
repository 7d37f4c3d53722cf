#!/bin/sh
# Stands in for the suite's next program: says that it was started and what
# each drive of the demo now holds.
echo
echo "Het volgende programma is gestart (in $(pwd))."
echo "$LOGSHIP_DRIVES" | tr ';' '\n' | while IFS='=' read -r letter folder; do
  echo "  $letter: ($folder)"
  ls -l "$folder" | sed 's/^/    /'
done
