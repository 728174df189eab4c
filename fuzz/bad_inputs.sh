#!/bin/sh
# Runs vorn on hand-made bad inputs, one scratch folder each, and prints a
# Markdown table of what the user sees (docs/bad_inputs.md is its output).
# usage: fuzz/bad_inputs.sh path/to/vorn > docs/bad_inputs.md
set -u
VORN=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
n=0
d=

RES='TITL t
CELL 0.71073 7.0 8.0 9.0 90.0 90.0 90.0
LATT -1
SFAC C O H
C1 1 0.10 0.20 0.30 11.0 0.02
O1 2 0.25 0.20 0.30 11.0 0.02
END'
MAS='TITLE T
CELL 7.0 8.0 9.0 90.0 90.0 90.0
LATT C P
SYMM -X, -Y, Z
    MODULE *XDLSM
ATOM     ATOM0    AX1 ATOM1    ATOM2   AX2 R/L TP TBL KAP LMX SITESYM  CHEMCON
C(1)     DUM1      Z  C(1)     DUM2     Y   R   2  1   1   0  1
END ATOM
KEY     XYZ --U2-- ----U3---- ------U4------- M- -D- --Q-- ---O--- ----H----
C(1)    000 000000 0000000000 000000000000000 00 000 00000 0000000 000000000
EXTCN   0000000
OVTHP   0
SCALE   1
END KEY
    END XDLSM'
# A version 2 parameter file with one carbon atom: count, label, order of U, level.
par() {
  printf '%s\n' 'XDPARFILE VERSION 2' '  T  MODEL  4  2  1  0' \
    'LIMITS nat 300 ntx 31 lmx 4 nzz 30 nto 0 nsc 20 ntb 20 nov 2500' \
    "USAGE $1 2 4 1 0 1 0 0 4 0 0 0 0 0" '  0.0 0.0' '  0.0' \
    "$2      3  1    1    1    1      $3    1    1    $4    1    0  0.10000  0.20000  0.30000  1.0000" \
    '  0.010000  0.010000  0.010000  0.000000  0.000000  0.000000' '  4.0000  0.0000' \
    '  1  1.0 1.0 1.0 1.0 1.0 1.0' '  0.0 0.0 0.0 0.0 0.0 0.0 0.0' '  0.0' '  1.0'
}
PLATON='ATOM C1 0.0 0.0 0.0
ATOM O1 1.43 0.0 0.0'
aim() {
  printf ' NUMBER OF ATOMS READ =%7s\n NO. ATOM       AT.MASS\n --\n' "$1"
  shift
  for r in "$@"; do printf '%s\n' "$r"; done
}
A1='   1 C1        12.0110     0.0000   0.0000   0.0000'
A2='   2 O1        15.9994     2.7023   0.0000   0.0000'
DB='ATOM 6 C carbon on oxygen
NEIG 1 1 0 0 nei typ ring size
TYPE 1 8 1
PVAL 4.0 1.0 1.0 0.05
END'

# The same "binary garbage" on every run: n bytes of a fixed pseudo-random sequence.
garbage() { LC_ALL=C awk -v n="$1" 'BEGIN { srand(7); for (i = 0; i < n; i++) printf "%c", int(rand() * 255) + 1 }'; }

# A fresh folder for the next case.
new() {
  n=$((n + 1))
  d="$WORK/$n"
  mkdir -p "$d"
}
ctl() { printf '%s\n' "$@" > "$d/vorn.inp"; }

# The lines that say where and what, and the banner.
seen() {
  grep -aE 'ERROR \*\*\*|, line [0-9]+|VORN_DB is not set|ends after line|cannot be opened|Error reading atom|^ \(file|Could not find|Error opening databank|Enter the name|illegal \*' "$1" |
    LC_ALL=C tr -c '[:print:]\n' '?' |
    sed 's/^ *//; s/ *$//; s/|/\\|/g; s/\*/\\*/g' | awk 'BEGIN{ORS=""} {if (NR>1) print "<br>"; print "`" $0 "`"}'
}

# run READER "what is wrong": runs vorn in the current case folder.
run() {
  (cd "$d" && timeout 20 "$VORN" </dev/null > stdout 2> stderr)
  st=$?
  s=$(seen "$d/stdout")
  [ -z "$s" ] && [ -f "$d/vorn.out" ] && s=$(seen "$d/vorn.out")
  if [ -z "$s" ] && [ "$st" -eq 0 ]; then
    s="run completes ($(grep -ac . "$d/xd_vorn.mas") lines in xd_vorn.mas"
    db=$(grep -a 'FOUND in DB' "$d/stdout" | sed 's/.*= *//' | awk '{print $2}')
    [ -n "$db" ] && s="$s, $db of the atoms found in the databank"
    s="$s)"
  fi
  printf '| %s | %s | %s | %s |\n' "$1" "$2" "$s" "$st"
}

echo '# Bad inputs and what the user sees'
echo
echo 'Made by `sh fuzz/bad_inputs.sh build/vorn > docs/bad_inputs.md`: each row is one run of vorn in'
echo 'a scratch folder on a hand-made bad input. The third column holds the lines of standard output'
echo '(for reported and skipped symmetry cards: of the listing) that say what is wrong; the fourth the'
echo 'exit status. Every stop names the routine and changes no output file but its own listing.'
echo
echo '| Reader | Bad input | What the user sees | Exit |'
echo '|---|---|---|---|'

shelx() { ctl 'FORMAT *shelx' 'INPUT x.res' "$@"; }
withres() { printf '%s\n' "$RES" | sed "$1" > "$d/x.res"; }

# ---- control file
new; run control "no vorn.inp"
new; printf '\357\273\277FORMAT *shelx\r\nINPUT x.res\r\n' > "$d/vorn.inp"; withres p
run control "UTF-8 byte-order mark and CR LF line ends (works)"
new; printf 'FORMAT\t*shelx\nINPUT\tx.res\nTOLS\t0.3\t0.1\t0.1\n' > "$d/vorn.inp"; withres p
run control "tabs between the words (works)"
new; ctl 'FORMAT shelx' 'INPUT x.res'; withres p; run control "FORMAT word without a star"
new; shelx 'TOLS 1e40 0.1 0.1'; withres p; run control "TOLS 1e40 (beyond a 32-bit real)"
new; shelx 'TOLS NaN 0.1 0.1'; withres p; run control "TOLS NaN"
new; shelx 'RADII H 0.35 1.0'; withres p; run control "RADII with more numbers than symbols"
new; shelx 'VERBOSE 99999999999'; withres p; run control "VERBOSE beyond the integer range"
new; ctl 'FORMAT *shelx' 'INPUT'; withres p; run control "INPUT without a file name"
new; shelx "VERBOSE 2 $(printf '%0300d' 0)"; withres p; run control "a line longer than 255 characters"
new; shelx "TOLS $(printf '%0200d' 0) \\" "$(printf '%0100d' 0)"; withres p
run control "a continued line longer than 255 characters"
new; garbage 400 > "$d/vorn.inp"; run control "binary garbage"
new; shelx 'NCELS 1' 'SCALE *fract' 'KEYGEN *XYZUIJ *MULT'; withres p
run control "misspelt keyword, unknown option word, KEYGEN word at another place (works, with warnings)"
new; ctl 'FORMAT *shelx' 'INPUT x.res'; printf 'data_x\n_cell_length_a 7.0\n' > "$d/x.res"
run control "a CIF under FORMAT *shelx"

# ---- SHELX
new; shelx; run SHELX "file missing"
new; shelx; withres '/CELL/d'; run SHELX "no CELL"
new; shelx; withres 's/90.0 90.0 90.0/30.0 30.0 120.0/'; run SHELX "impossible cell (angles 30 30 120)"
new; shelx; withres 's/0 90.0$/0/'; run SHELX "CELL with a number missing"
new; shelx; withres 's/LATT -1/LATT 9/'; run SHELX "LATT 9"
new; shelx; withres 's/SFAC C O H/SFAC C O D/'; run SHELX "SFAC names no element (D)"
new; shelx; withres 's/^O1 2/O1 7/'; run SHELX "atom with SFAC number 7 of 3"
new; shelx; withres 's/^O1 2 0.25/O1 2 0.2O/'; run SHELX "letter O for a zero in a coordinate"
new; shelx; withres 's/^O1 2 0.25/O1 2 1e40/'; run SHELX "coordinate 1e40"
new; shelx; withres 's/^O1 2 0.25/O1 2 NaN/'; run SHELX "coordinate NaN"
new; shelx; withres 's/^O1 2 0.25 0.20 0.30 11.0/O1 2 0.25 0.20 0.30 2011.0/'; run SHELX "occupancy on free variable 201"
new; shelx; withres 's/^O1 2 0.25 0.20 0.30 11.0/O1 2 0.25 0.20 0.30 21.0/; s/^LATT -1/&\nFVAR 1.0/'; run SHELX "occupancy on free variable 2 with only FVAR 1.0"
new; shelx; withres 's/SFAC C O H/SFAC C PT H/; s/^O1 2/PT1 2/'; run SHELX "platinum atom (beyond Xe)"
new; shelx; withres 's/^O1 2 0.25 0.20 0.30 11.0 0.02/O1 2 0.25 0.20 0.30 11.0/'; run SHELX "atom line with 5 numbers"
new; shelx; withres 's/^O1 .*/& =/; /END/d'; run SHELX "file ends inside an atom continued with ="
new; shelx; withres 's/^C1 1 .*/H1 3 0.10 0.20 0.30 11.0 -1.2/'; run SHELX "riding H (Uiso -1.2) as the first atom"
new; shelx; withres 's/^O1 /O123456 /'; run SHELX "atom name of 7 characters"
new; shelx; withres "s/^O1 .* 11.0 /&$(printf '%250s' '')/"; run SHELX "atom line longer than 255 characters"
new; shelx; printf '%s\n' "$RES" | tr ' ' '\t' > "$d/x.res"; run SHELX "tabs between the words (works)"
new; shelx; garbage 2000 > "$d/x.res"; run SHELX "binary garbage"

# ---- XD
xd() { ctl 'FORMAT *xd' 'INPUT xd.mas xd.inp'; printf '%s\n' "$MAS" > "$d/xd.mas"; }
new; xd; par 1 'C(1)' 2 0 > "$d/xd.inp"; run XD "one good atom (works)"
new; xd; run XD "parameter file missing"
new; xd; par 1 'C(1)' 2 0 > "$d/xd.inp"; sed -i '/CELL/d' "$d/xd.mas"; run XD "master file without CELL"
new; xd; par 1 'C(1)' 2 0 > "$d/xd.inp"; sed -i 's/LATT C P/LATT C/' "$d/xd.mas"; run XD "LATT without the lattice letter"
new; xd; par 2 'C(1)' 2 0 > "$d/xd.inp"; run XD "header declares 2 atoms, file holds 1"
new; xd; par -1 'C(1)' 2 0 > "$d/xd.inp"; run XD "negative atom count"
new; xd; par 1 'C(1)LONGX' 2 0 > "$d/xd.inp"; run XD "atom label of 9 characters"
new; xd; par 1 'C(1)' 7 0 > "$d/xd.inp"; run XD "order of U 7"
new; xd; par 1 'C(1)' 2 9 > "$d/xd.inp"; run XD "multipole level 9"
new; xd; par 1 'C(1)' 2 0 | head -n 12 > "$d/xd.inp"; run XD "file ends before the scale factor"
new; xd; par 1 'C(1)' 2 0 | sed 's/0.010000  0.010000  0.010000/0.01 1e40 0.01/' > "$d/xd.inp"; run XD "U22 1e40"
new; xd; garbage 2000 > "$d/xd.inp"; run XD "binary garbage as parameter file"

# ---- PLATON
platon() { ctl 'FORMAT *platon' 'INPUT x.ang'; }
new; platon; run PLATON "file missing"
new; platon; printf 'TITL nothing\nANGSTROM\n' > "$d/x.ang"; run PLATON "no ATOM line"
new; platon; printf 'ATOM C1 0.0 0.0\n' > "$d/x.ang"; run PLATON "ATOM line with two coordinates"
new; platon; printf 'ATOM 0.0 0.0 0.0\n' > "$d/x.ang"; run PLATON "ATOM line without a label"
new; platon; printf 'ATOM C1ABCDEFG 0.0 0.0 0.0\n' > "$d/x.ang"; run PLATON "label of 9 characters"
new; platon; printf 'ATOM C1 1e40 0.0 0.0\n' > "$d/x.ang"; run PLATON "coordinate 1e40"
new; platon; printf 'ATOM C1 1e30 0.0 0.0\nATOM O1 -1e30 0.0 0.0\n' > "$d/x.ang"; run PLATON "coordinates 1e30 and -1e30"
new; platon; printf 'ATOM C1 0.0 0.0 0.0\nATOM C2 0.0 0.0 0.0\nATOM O1 1.43 0.0 0.0\n' > "$d/x.ang"; run PLATON "two atoms at the same place"
new; platon; printf 'ATOM\tC1\t0.0\t0.0\t0.0\r\natom O1 1.43 0 0\r\n' > "$d/x.ang"; run PLATON "tabs, CR LF, lower case (works)"
new; platon; garbage 2000 > "$d/x.ang"; run PLATON "binary garbage"

# ---- AIM2TAB
aimctl() { ctl 'FORMAT *aim2tab' 'INPUT x.aim'; }
new; aimctl; aim 2 "$A1" "$A2" > "$d/x.aim"; run AIM2TAB "two atoms (works)"
new; aimctl; aim 2 "$(printf '   1 C1\t\t\t   0.0000   0.0000   0.0000')" "$A2" > "$d/x.aim"; run AIM2TAB "tabs up to the x column (works)"
new; aimctl; run AIM2TAB "file missing"
new; aimctl; aim three "$A1" > "$d/x.aim"; run AIM2TAB "atom count not a number"
new; aimctl; aim 20001 "$A1" > "$d/x.aim"; run AIM2TAB "atom count 20001"
new; aimctl; aim 3 "$A1" "$A2" > "$d/x.aim"; run AIM2TAB "table shorter than the count"
new; aimctl; aim 2 "$A1" "$(echo "$A2" | sed 's/2.7023/2.7O23/')" > "$d/x.aim"; run AIM2TAB "letter O in a coordinate"
new; aimctl; garbage 2000 > "$d/x.aim"; run AIM2TAB "binary garbage"

# ---- databank (with the two-atom PLATON structure C1-O1)
dbcase() {
  ctl 'FORMAT *platon' 'INPUT x.ang' 'DATABANK x.db' 'NFRAG 1' 'FRAG 1 1 -2' 'CHFRAG 0.0'
  printf '%s\n' "$PLATON" > "$d/x.ang"
}
new; dbcase; printf '%s\n' "$DB" > "$d/x.db"; run databank "a matching carbon entry (works)"
new; dbcase; run databank "databank missing (no name on the terminal)"
new; dbcase; ctl 'FORMAT *platon' 'INPUT x.ang' 'DATABANK' 'CHFRAG 0.0'; (unset VORN_DB; run databank "DATABANK without a path, VORN_DB not set")
new; dbcase; printf '%s\n' "$DB" | sed 's/ATOM 6/ATOM six/' > "$d/x.db"; run databank "no atomic number on the ATOM line"
new; dbcase; printf '%s\n' "$DB" | sed 's/PVAL 4.0/PVAL four/' > "$d/x.db"; run databank "Pv not a number"
new; dbcase; printf '%s\n' "$DB" | sed '/PVAL/d; /END/d' > "$d/x.db"; run databank "entry without PVAL at the end of the file"
new; dbcase; printf '%s\n' "$DB" | sed 's/^END/PLMS 7 0 0.1\nEND/' > "$d/x.db"; run databank "PLMS with l = 7"
new; dbcase; printf '%s\n' "$DB" | sed "s/^END/PLMS 1 0 0.1 $(printf '%200s' '') 2 0 0.1\nEND/" > "$d/x.db"; run databank "PLMS line longer than 200 characters"
new; dbcase; garbage 2000 > "$d/x.db"; run databank "binary garbage"

# ---- symmetry cards (in a SHELX file)
new; shelx; withres 's/^SFAC/SYMM 2X, Y, Z\nSYMM X, Y\nSYMM -X, -Y, Z\nSFAC/'; run "symmetry cards" "2X and a card of two expressions (reported, skipped)"
new; shelx; withres "s/^SFAC/SYMM -X+1\/2,$(printf '%250s' '') -Y, Z\nSFAC/"; run "symmetry cards" "card longer than 255 characters"
