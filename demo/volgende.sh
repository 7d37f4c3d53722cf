#!/bin/sh
# Stands in for the suite's next program: says that it was started and
# what the sticks now hold.
echo
echo "Het volgende programma is gestart (in $(pwd))."
for stick in "$LOGSHIP_DEMO_STICKS"/*; do
  echo "  $stick:"
  ls -l "$stick" | sed 's/^/    /'
done
