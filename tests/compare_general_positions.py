#!/usr/bin/env python3
"""Atoms on general positions keep their lines when others sit on special positions.

Runs two builds of vorn on every accepted structure of ../shared/testdata/real
and ../shared/testdata/cif, with and without NCELLS 1: the build under test,
and a reference build whose site-symmetry stage is switched off (for
instance align_with_site returning at once). Every output file, the listing
and standard output of the two runs are compared line by line, leaving out

  - the lines that name an atom on a special position (as the listing of
    the build under test names them) or one of the dummies such an atom's
    axes name, in either run (DUMn, Dn, D(n), Li(n), or the dummy's
    coordinates in xd_vorn.inp);
  - the continuation lines of such an atom in xd_vorn.inp, and its section
    of the listing;
  - the listing's block of the dummies numbered after all others, the
    lines of standard output that list those atoms' axes, and CPU times.

Whatever else differs is printed, and the exit status is 1.

    tests/compare_general_positions.py NEW_VORN REFERENCE_VORN [TESTDATA_DIR] [CONTROL_LINE ...]

Each run's vorn.inp has FORMAT, INPUT, NCELLS 1 (or not), RINGS 3 8, EXTEND_H
and the control lines given (a relative DATABANK path is taken from here).
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
REFUSED = ("atomic number not implemented yet", "Lattice type R is not supported")
SEPARATORS = re.compile(r'[\s"{}\[\],:]+')


def structures(testdata):
    out = []
    for sub, exts in (("real", (".res",)), ("cif", (".res", ".cif"))):
        d = os.path.join(testdata, sub)
        if os.path.isdir(d):
            out += [os.path.join(d, f) for f in sorted(os.listdir(d)) if f.endswith(exts)]
    return out


def run(binary, structure, ncells, workdir, extra):
    os.makedirs(workdir)
    shutil.copy(structure, workdir)
    fmt = "*cif" if structure.endswith(".cif") else "*shelx"
    control = "FORMAT %s\nINPUT %s\n%sRINGS 3 8\nEXTEND_H\n" % (fmt, os.path.basename(structure),
                                                               "NCELLS 1\n" if ncells else "")
    control += "".join(l + "\n" for l in extra)
    with open(os.path.join(workdir, "vorn.inp"), "w") as f:
        f.write(control)
    # A databank run asks for the net charge of every fragment: all neutral.
    p = subprocess.run([binary], cwd=workdir, input="0\n" * 5000, capture_output=True, text=True)
    with open(os.path.join(workdir, "stdout"), "w") as f:
        f.write(p.stdout)
    return p.returncode, p.stdout


def lines(path):
    with open(path, errors="replace") as f:
        return f.read().split("\n")


def special_atoms(workdir):
    """Labels of the atoms on special positions, and their numbers."""
    found, number = set(), {}
    for l in lines(os.path.join(workdir, "vorn.out")):
        m = re.match(r" Working with atom +(\d+) : \[(.*)\]", l)
        if m:
            number[m.group(2).strip()] = int(m.group(1))
        m = re.match(r" Atom (\S+) is on a special position", l)
        if m:
            found.add(m.group(1))
    return found, {number[s] for s in found if s in number}


def site_dummies(workdir, special):
    """Numbers of the dummies the special atoms name; coordinates of all dummies."""
    table, dummies, numbers = False, {}, set()
    for l in lines(os.path.join(workdir, "xd_vorn.mas")):
        if l.startswith("ATOM     ATOM0"):
            table = True
            continue
        if l.startswith("END ATOM"):
            break
        w = l.split()
        if not table or not w:
            continue
        if w[0].startswith("DUM") and len(w) == 4:
            dummies[int(w[0][3:])] = tuple(w[1:])
        elif w[0] in special:
            numbers |= {int(x[3:]) for x in (w[1], w[4]) if x.startswith("DUM")}
    return numbers, dummies


def names_of(special, indices, numbers):
    names = set(special)
    # The tips of an atom's axes in the drawing file: X, Y, Z and its number.
    names |= {c + str(i) for c in "XYZ" for i in indices}
    names |= {s.replace("(", "").replace(")", "") for s in special}
    for n in numbers:
        names |= {"DUM%d" % n, "D%d" % n, "D(%d)" % n, "Li(%d)" % n}
    return names


def kept(name, text, names, coords):
    out, in_special_block, in_site_block, in_special_section = [], False, False, False
    for l in text:
        # The dummies that follow the last one of the reference: a comma
        # after it in the JSON record, a larger count.
        l = re.sub(r",$", "", l)
        l = re.sub(r"^(USAGE.*?) *\d+$", r"\1 (dummies)", l)
        l = re.sub(r"  D 0\.01$", "", l)
        if l.strip() == '"dummies": []':
            out += [l.replace("[]", "["), "  ]"]
            continue
        if l in ("RADII ATOMS D 0.02", "LABEL D") or l.startswith("DETACH D "):
            continue
        l = re.sub(r"^DUMMY +\d+$", "DUMMY (dummies)", l)
        tokens = [t for t in SEPARATORS.split(l) if t]
        if name == "xd_vorn.inp":
            if l and not l.startswith(" "):
                in_special_block = bool(tokens) and tokens[0] in names
            elif in_special_block:
                continue
            if tuple(tokens) in coords:
                continue
        if name == "mopro_vorn.par":
            if l.startswith("ATOM") or not l.strip():
                in_special_block = any(t in names for t in tokens)
            elif in_special_block:
                continue
        if name in ("vorn.out", "stdout") and re.match(r" (Atoms failing the s|S)ite-symmetry check|      NO  ATOM", l):
            continue
        if name in ("vorn.out", "stdout"):
            if l.startswith(" Working with atom "):
                m = re.search(r"\[(.*)\]", l)
                in_special_section = bool(m) and m.group(1).strip() in names
            elif l.startswith(" Dummies of the frames of atoms on special positions"):
                in_site_block = True
            elif l.startswith("---"):
                in_special_section = in_site_block = False
            if in_special_section or in_site_block or l.strip() == "":
                continue
            if "elapsed times" in l or "Timing for" in l or l.startswith(" Atoms on special positions, with the"):
                continue
        if any(t in names for t in tokens):
            continue
        out.append(l)
    return out


def compare(new_dir, ref_dir):
    special, indices = special_atoms(new_dir)
    new_numbers, new_dummies = site_dummies(new_dir, special)
    ref_numbers, ref_dummies = site_dummies(ref_dir, special)
    # A dummy one run gives a special atom and the other leaves unnamed
    # (made by the chemical rule, then replaced by the site frame).
    new_numbers = ref_numbers = new_numbers | ref_numbers
    new_coords = {new_dummies[n] for n in new_numbers if n in new_dummies}
    ref_coords = {ref_dummies[n] for n in ref_numbers if n in ref_dummies}
    problems = []
    for name in sorted(set(os.listdir(new_dir)) | set(os.listdir(ref_dir))):
        a, b = os.path.join(new_dir, name), os.path.join(ref_dir, name)
        if not (os.path.isfile(a) and os.path.isfile(b)):
            problems.append("%s: written by one run only" % name)
            continue
        x = kept(name, lines(a), names_of(special, indices, new_numbers), new_coords)
        y = kept(name, lines(b), names_of(special, indices, ref_numbers), ref_coords)
        if x != y:
            k = next((i for i in range(min(len(x), len(y))) if x[i] != y[i]), min(len(x), len(y)))
            problems.append("%s: first difference at kept line %d:\n  new: %s\n  ref: %s" %
                            (name, k + 1, x[k] if k < len(x) else "(end)", y[k] if k < len(y) else "(end)"))
    return special, problems


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    new, ref = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    testdata = sys.argv[3] if len(sys.argv) > 3 else os.path.join(HERE, "..", "..", "shared", "testdata")
    extra = [re.sub(r"^(DATABANK\s+)(?!/)(\S+)", lambda m: m.group(1) + os.path.abspath(m.group(2)), l)
             for l in sys.argv[4:]]
    if not os.path.isdir(testdata):
        print("%s not present: nothing compared" % testdata)
        return 0
    failed, compared, with_special = 0, 0, 0
    with tempfile.TemporaryDirectory() as scratch:
        for k, s in enumerate(structures(testdata)):
            for ncells in (False, True):
                label = "%s/%s%s" % (os.path.basename(os.path.dirname(s)), os.path.basename(s),
                                     " NCELLS 1" if ncells else "")
                nd, rd = os.path.join(scratch, "new%d%d" % (k, ncells)), os.path.join(scratch, "ref%d%d" % (k, ncells))
                rc_new, out_new = run(new, s, ncells, nd, extra)
                rc_ref, _ = run(ref, s, ncells, rd, extra)
                if rc_new != 0 and any(r in out_new for r in REFUSED):
                    continue
                if rc_new != 0 or rc_ref != 0:
                    print("%s: exit status %d (new), %d (reference)" % (label, rc_new, rc_ref))
                    failed += 1
                    continue
                special, problems = compare(nd, rd)
                compared += 1
                with_special += bool(special)
                print("%s: %d atoms on special positions%s" % (label, len(special), ", identical" if not problems else ""))
                for p in problems:
                    print("  " + p)
                failed += bool(problems)
                shutil.rmtree(nd)
                shutil.rmtree(rd)
    print("%d runs compared (%d with atoms on special positions), %d differ" % (compared, with_special, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
