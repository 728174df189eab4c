#!/usr/bin/env python3
"""Builds the example structure: p-toluic acid (4-methylbenzoic acid) from
standard bond lengths and angles, placed in a plausible P2(1)/c cell, and
writes it as a SHELX result file. The cell and the placement are invented
for the example (no real data); H atoms sit at the distances SHELX riding
models give (C-H 0.95 aromatic, 0.98 methyl; O-H 0.84), so that the
hydrogen extension has something to do.

Usage: python3 make_toluic.py > ../toluic/toluic.res
"""
import math
import random

CELL = (16.000, 7.500, 9.000, 90.0, 98.0, 90.0)


def molecule():
    """Cartesian coordinates of the molecule in its own frame (plane z=0)."""
    at = []
    r = 1.39
    ring = []
    for k in range(6):
        a = math.radians(60 * k)
        ring.append((r * math.cos(a), r * math.sin(a), 0.0))
    # C1 carries the carboxyl group (at +x), C4 the methyl group (at -x)
    names = ["C1", "C2", "C3", "C4", "C5", "C6"]
    for n, p in zip(names, ring):
        at.append((n, p))

    def out(p, d):
        L = math.hypot(p[0], p[1])
        return (p[0] * (L + d) / L, p[1] * (L + d) / L, 0.0)

    # carboxyl: C7 1.48 A from C1, O1 (C=O 1.22) and O2 (C-O 1.31, O-H 0.84)
    c7 = out(ring[0], 1.48)
    at.append(("C7", c7))
    o1 = (c7[0] + 1.22 * math.cos(math.radians(60)), c7[1] + 1.22 * math.sin(math.radians(60)), 0.0)
    o2 = (c7[0] + 1.31 * math.cos(math.radians(-57)), c7[1] + 1.31 * math.sin(math.radians(-57)), 0.0)
    at.append(("O1", o1))
    at.append(("O2", o2))
    h = (o2[0] + 0.84 * math.cos(math.radians(-57 + 71)), o2[1] + 0.84 * math.sin(math.radians(-57 + 71)), 0.0)
    at.append(("H1", h))
    # methyl C8 1.50 A from C4, three H at 0.98 A, tetrahedral
    c8 = out(ring[3], 1.50)
    at.append(("C8", c8))
    for k, n in enumerate(["H8A", "H8B", "H8C"]):
        phi = math.radians(90 + 120 * k)
        dx = -0.98 * math.cos(math.radians(180 - 109.47))
        rr = 0.98 * math.sin(math.radians(180 - 109.47))
        at.append((n, (c8[0] - dx, c8[1] + rr * math.cos(phi), rr * math.sin(phi))))
    # aromatic H at 0.95 A
    for k in (1, 2, 4, 5):
        at.append(("H%d" % (k + 1), out(ring[k], 0.95)))
    return at


def cell_matrix(a, b, c, al, be, ga):
    al, be, ga = map(math.radians, (al, be, ga))
    cx = c * math.cos(be)
    cy = c * (math.cos(al) - math.cos(be) * math.cos(ga)) / math.sin(ga)
    cz = math.sqrt(c * c - cx * cx - cy * cy)
    return [[a, b * math.cos(ga), cx], [0.0, b * math.sin(ga), cy], [0.0, 0.0, cz]]


def inverse(m):
    a = m
    det = (a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) - a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0])
           + a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]))
    inv = [[0.0] * 3 for _ in range(3)]
    for i in range(3):
        for j in range(3):
            r = [x for x in range(3) if x != j]
            c = [x for x in range(3) if x != i]
            minor = a[r[0]][c[0]] * a[r[1]][c[1]] - a[r[0]][c[1]] * a[r[1]][c[0]]
            inv[i][j] = (-1) ** (i + j) * minor / det
    return inv


def mul(m, v):
    return [sum(m[i][k] * v[k] for k in range(3)) for i in range(3)]


def rotation(rng):
    q = [rng.gauss(0, 1) for _ in range(4)]
    n = math.sqrt(sum(x * x for x in q))
    w, x, y, z = (v / n for v in q)
    return [[1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w)],
            [2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w)],
            [2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y)]]


OPS = [lambda f: f, lambda f: [-f[0], f[1] + 0.5, -f[2] + 0.5],
       lambda f: [-f[0], -f[1], -f[2]], lambda f: [f[0], -f[1] + 0.5, f[2] + 0.5]]


def shortest_contact(frac, M):
    best = 99.0
    for k, op in enumerate(OPS):
        for i, fi in enumerate(frac):
            img = op(fi)
            for sh in [(x, y, z) for x in (-1, 0, 1) for y in (-1, 0, 1) for z in (-1, 0, 1)]:
                if k == 0 and sh == (0, 0, 0):
                    continue
                p = mul(M, [img[0] + sh[0], img[1] + sh[1], img[2] + sh[2]])
                for fj in frac:
                    q = mul(M, fj)
                    best = min(best, math.dist(p, q))
    return best


def main():
    rng = random.Random(7)
    M = cell_matrix(*CELL)
    Mi = inverse(M)
    mol = molecule()
    best = None
    for _ in range(200):
        R = rotation(rng)
        centre = [rng.uniform(0.15, 0.35), rng.uniform(0.1, 0.4), rng.uniform(0.1, 0.4)]
        cc = mul(M, centre)
        frac = [mul(Mi, [sum(R[i][k] * p[k] for k in range(3)) + cc[i] for i in range(3)]) for _, p in mol]
        d = shortest_contact(frac, M)
        if best is None or d > best[0]:
            best = (d, frac)
    d, frac = best
    print("TITL toluic in P2(1)/c (example structure built from standard geometry)")
    print("CELL 0.71073 %8.4f %8.4f %8.4f %7.3f %7.3f %7.3f" % CELL)
    print("ZERR 4 0.0010 0.0010 0.0010 0.000 0.010 0.000")
    print("LATT 1")
    print("SYMM -X, 0.5+Y, 0.5-Z")
    print("SFAC C H O")
    print("UNIT 32 32 8")
    print("REM shortest intermolecular contact %.2f A" % d)
    print("L.S. 10")
    print("WGHT    0.050000    0.100000")
    print("FVAR       1.00000")
    last = None
    for (name, _), f in zip(mol, frac):
        sfac = {"C": 1, "H": 2, "O": 3}[name[0]]
        if name.startswith("H"):
            u = "-1.50000" if name.startswith("H8") or name == "H1" else "-1.20000"
            print("%-4s %d %10.6f %10.6f %10.6f %11.5f %10s" % (name, sfac, f[0], f[1], f[2], 11.0, u))
        else:
            print("%-4s %d %10.6f %10.6f %10.6f %11.5f %10.5f %10.5f =" % (name, sfac, f[0], f[1], f[2], 11.0, 0.031, 0.036))
            print("    %10.5f %10.5f %10.5f %10.5f" % (0.041, -0.002, 0.005, 0.001))
    print("HKLF 4")
    print("END")


main()
