#!/bin/sh
# Runs two vorn binaries on the same inputs and compares every file they
# write, and what they print, byte for byte: a change meant to leave the
# output alone (a faster formatting core, a new layout) must pass this.
#
#   bench/compare_outputs.sh OLD_VORN NEW_VORN VORN_BENCH [SCRATCH]
#
# Inputs: the three examples (toluic-xd reads what toluic wrote), the
# generated structures of about 1,000, 5,000 and 20,000 atoms (VORN_BENCH
# gen), and every structure file of ../shared/testdata/real and
# ../shared/testdata/cif under the control file of the whole-run tests
# (those that stop are compared too: the message and what was written
# before it). The CPU timing lines of the listing and of standard output
# are masked. Prints one line per case and exits 1 on any difference.
set -eu
[ $# -ge 3 ] || { echo "usage: $0 OLD_VORN NEW_VORN VORN_BENCH [SCRATCH]" >&2; exit 2; }
abs() { (cd "$(dirname "$1")" && echo "$(pwd)/$(basename "$1")"); }
OLD=$(abs "$1")
NEW=$(abs "$2")
GEN=$(abs "$3")
SCRATCH=${4:-${TMPDIR:-/tmp}/vorn-compare}
HERE=$(cd "$(dirname "$0")/.." && pwd)
SHARED=$HERE/../shared/testdata
DB=$HERE/examples/databank/vorn_example.db
rm -rf "$SCRATCH"
mkdir -p "$SCRATCH/old" "$SCRATCH/new" "$SCRATCH/inputs"

# The CPU seconds differ from run to run.
mask() { sed -e '/Timing for ring search u,s,t/d' -e '/Total program elapsed times u,s,t/d' "$1"; }

differ=0
cases=0
# compare NAME: the files of old/NAME and new/NAME
compare() {
  cases=$((cases + 1))
  o=$SCRATCH/old/$1
  n=$SCRATCH/new/$1
  bad=""
  for f in $( (cd "$o" && ls; cd "$n" && ls) | sort -u); do
    if [ ! -f "$o/$f" ] || [ ! -f "$n/$f" ]; then
      bad="$bad $f(only-one)"
    elif [ "$f" = vorn.out ] || [ "$f" = stdout ]; then
      mask "$o/$f" >"$SCRATCH/o.masked"
      mask "$n/$f" >"$SCRATCH/n.masked"
      cmp -s "$SCRATCH/o.masked" "$SCRATCH/n.masked" || bad="$bad $f"
    else
      cmp -s "$o/$f" "$n/$f" || bad="$bad $f"
    fi
  done
  if [ -n "$bad" ]; then
    differ=$((differ + 1))
    echo "DIFFER $1:$bad"
  else
    echo "same   $1 ($(ls "$o" | wc -l) files)"
  fi
}

# run SIDE NAME: vorn of SIDE in SIDE/NAME, its output into stdout, its status kept
run() {
  bin=$OLD
  [ "$1" = new ] && bin=$NEW
  (cd "$SCRATCH/$1/$2" && "$bin" </dev/null >stdout 2>&1; echo "status $?" >>stdout)
}

# The examples, in their own order.
for side in old new; do
  cp -R "$HERE/examples/." "$SCRATCH/$side/"
  rm -rf "$SCRATCH/$side/tools"
done
for ex in toluic toluic-xd toluic-cif; do
  run old "$ex"
  run new "$ex"
  compare "$ex"
done
rm -rf "$SCRATCH/old/databank" "$SCRATCH/new/databank"

# The generated structures.
for n in 1000 5000 20000; do
  "$GEN" gen "$n" "$SCRATCH/inputs/bench$n" >/dev/null
  for side in old new; do
    cp -R "$SCRATCH/inputs/bench$n" "$SCRATCH/$side/bench$n"
    run "$side" "bench$n"
  done
  compare "bench$n"
done

# The real structures.
for f in "$SHARED"/real/*.res "$SHARED"/cif/*.cif "$SHARED"/cif/*.res; do
  [ -f "$f" ] || continue
  kind=shelx
  case $f in *.cif) kind=cif ;; esac
  name=$(basename "$(dirname "$f")")-$(basename "$f")
  for side in old new; do
    mkdir -p "$SCRATCH/$side/$name"
    cp "$f" "$SCRATCH/$side/$name/"
    printf 'FORMAT *%s\nINPUT %s\nNCELLS 1\nEXTEND_H\nDATABANK %s\nCHFRAG 0.0\n' "$kind" "$(basename "$f")" "$DB" \
      >"$SCRATCH/$side/$name/vorn.inp"
    run "$side" "$name"
  done
  compare "$name"
done

echo "$cases cases, $differ differ"
[ "$differ" -eq 0 ]
