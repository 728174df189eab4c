#!/bin/sh
# Runs vorn on each example in a scratch copy, so that examples/ stays clean.
# toluic-xd reads the XD files that toluic writes, so it runs after it.
# usage: run_demo.sh path/to/vorn scratch-dir
set -eu
VORN=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
SCRATCH=$2
HERE=$(cd "$(dirname "$0")" && pwd)
rm -rf "$SCRATCH"
mkdir -p "$SCRATCH"
cp -R "$HERE"/. "$SCRATCH"/
SCRATCH=$(cd "$SCRATCH" && pwd)
status=0
for ex in toluic toluic-xd toluic-cif; do
  echo "=================================================================="
  echo " Example: $ex  (vorn run in $SCRATCH/$ex)"
  echo "=================================================================="
  ( cd "$SCRATCH/$ex" && "$VORN" </dev/null ) || status=$?
  echo
  echo " Exit status: $status"
  echo " Output files of this run, in $SCRATCH/$ex :"
  ( cd "$SCRATCH/$ex" && ls -l )
  [ "$status" -eq 0 ] || exit "$status"
done
