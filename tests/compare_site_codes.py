#!/usr/bin/env python3
"""Which atoms of the shared structures change site symmetry or frame between two builds.

    tests/compare_site_codes.py OLD_VORN NEW_VORN [TESTDATA_DIR] [CONTROL_LINE ...]

Runs both binaries on every structure of TESTDATA_DIR/real and TESTDATA_DIR/cif
(default ../shared/testdata) as the shared-structure tests run them (NCELLS 1,
RINGS 3 8, EXTEND_H and the control lines given) and compares, atom by atom,
the site symmetry and the three axes of the frame of vorn.json (within 0.002).
Prints one line per structure with the count of changed atoms and, for each,
"LABEL OLD->NEW" with "(frame)" where the axes turned, then the total.
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))


def structures(testdata):
    out = []
    for sub in ("real", "cif"):
        d = os.path.join(testdata, sub)
        if os.path.isdir(d):
            out += [os.path.join(d, f) for f in sorted(os.listdir(d)) if f.endswith((".res", ".cif"))]
    return out


def record(binary, structure, workdir, extra):
    os.makedirs(workdir)
    shutil.copy(structure, workdir)
    fmt = "*cif" if structure.endswith(".cif") else "*shelx"
    with open(os.path.join(workdir, "vorn.inp"), "w") as f:
        f.write("FORMAT %s\nINPUT %s\nNCELLS 1\nRINGS 3 8\nEXTEND_H\n%s" %
                (fmt, os.path.basename(structure), "".join(l + "\n" for l in extra)))
    p = subprocess.run([binary], cwd=workdir, input="", capture_output=True, text=True)
    if p.returncode != 0:
        return None
    with open(os.path.join(workdir, "vorn.json")) as f:
        return json.load(f)


def same_axis(a, b):
    if a is None or b is None:
        return a == b
    return all(abs(x - y) < 2e-3 for x, y in zip(a, b))


def main():
    old, new = sys.argv[1], sys.argv[2]
    testdata = sys.argv[3] if len(sys.argv) > 3 else os.path.join(HERE, "..", "..", "shared", "testdata")
    extra = sys.argv[4:]
    tmp = tempfile.mkdtemp()
    total = 0
    try:
        for k, s in enumerate(structures(testdata)):
            name = os.path.relpath(s, testdata)
            a = record(old, s, os.path.join(tmp, "old%d" % k), extra)
            b = record(new, s, os.path.join(tmp, "new%d" % k), extra)
            if a is None or b is None:
                print("%-32s not run by %s" % (name, "the old build" if a is None else "the new build"))
                continue
            changed = []
            for x, y in zip(a["atoms"], b["atoms"]):
                turned = not all(same_axis(x["frame"][c], y["frame"][c]) for c in "xyz")
                if turned or x["site_symmetry"] != y["site_symmetry"]:
                    changed.append("%s %s->%s%s" % (x["label"], x["site_symmetry"], y["site_symmetry"],
                                                    " (frame)" if turned else ""))
            total += len(changed)
            print("%-32s %4d of %4d atoms changed%s" % (name, len(changed), len(a["atoms"]),
                                                       (": " + ", ".join(changed)) if changed else ""))
    finally:
        shutil.rmtree(tmp)
    print("total", total)


if __name__ == "__main__":
    main()
