#!/usr/bin/env python3
"""Writes the example structure (p-toluic acid, ../toluic/toluic.res) as a
small-molecule CIF, the way refinement programs publish a structure: cell
and wavelength, the whole operator list of P2(1)/c, atom sites with type
symbols, U(iso) of the riding H atoms worked out from their parents (as the
CIF gives them), and the aniso loop.

Usage: python3 make_toluic_cif.py ../toluic/toluic.res > ../toluic-cif/toluic.cif
"""
import math
import sys


def read_res(path):
    cell, sfac, atoms = None, [], []
    lines = open(path).read().splitlines()
    k = 0
    while k < len(lines):
        line = lines[k]
        while line.rstrip().endswith("=") and k + 1 < len(lines):
            k += 1
            line = line.rstrip()[:-1] + " " + lines[k]
        k += 1
        w = line.split()
        if not w:
            continue
        key = w[0].upper()
        if key == "CELL":
            cell = [float(x) for x in w[1:8]]
        elif key == "SFAC":
            sfac = w[1:]
        elif key in ("HKLF", "END"):
            break
        elif len(w) in (7, 12) and w[1].isdigit():
            atoms.append((w[0], sfac[int(w[1]) - 1], [float(x) for x in w[2:]]))
    return cell, atoms


def ueq(cell, u):
    a, b, c, al, be, ga = cell
    ca, cb, cg = (math.cos(math.radians(x)) for x in (al, be, ga))
    v = a * b * c * math.sqrt(1 - ca * ca - cb * cb - cg * cg + 2 * ca * cb * cg)
    ra = b * c * math.sin(math.radians(al)) / v
    rb = a * c * math.sin(math.radians(be)) / v
    rc = a * b * math.sin(math.radians(ga)) / v
    u11, u22, u33, u23, u13, u12 = u
    return (u11 * (a * ra) ** 2 + u22 * (b * rb) ** 2 + u33 * (c * rc) ** 2 + 2 * u12 * a * b * ra * rb * cg
            + 2 * u13 * a * c * ra * rc * cb + 2 * u23 * b * c * rb * rc * ca) / 3


def main():
    wave, *cell = read_res(sys.argv[1])[0]
    _, atoms = read_res(sys.argv[1])
    print("data_toluic")
    print("_chemical_name_common 'p-toluic acid (example structure from standard geometry)'")
    print("_space_group_name_H-M_alt 'P 21/c'")
    print("loop_\n _space_group_symop_operation_xyz")
    for op in ("'x, y, z'", "'-x, y+1/2, -z+1/2'", "'-x, -y, -z'", "'x, -y-1/2, z-1/2'"):
        print(" " + op)
    for name, value in zip(("a", "b", "c"), cell[:3]):
        print("_cell_length_%s %.4f(10)" % (name, value))
    for name, value in zip(("alpha", "beta", "gamma"), cell[3:]):
        print("_cell_angle_%s %.3f" % (name, value))
    print("_diffrn_radiation_wavelength %.5f" % wave)
    print("loop_\n _atom_type_symbol\n C\n H\n O")
    print("loop_")
    for item in ("label", "type_symbol", "fract_x", "fract_y", "fract_z", "U_iso_or_equiv", "adp_type",
                 "occupancy", "site_symmetry_order", "calc_flag"):
        print(" _atom_site_" + item)
    parent_u = None
    aniso = []
    for name, element, p in atoms:
        x, y, z, occ = p[0], p[1], p[2], p[3] - 10.0
        if len(p) == 10:
            u = ueq(cell, p[4:10])
            parent_u = u
            aniso.append((name, p[4:10]))
            kind, flag = "Uani", "d"
        else:
            u = abs(p[4]) * parent_u if p[4] < 0 else p[4]
            kind, flag = "Uiso", "calc"
        print(" %-4s %-2s %.6f %.6f %.6f %.4f %s %g 1 %s" % (name, element, x, y, z, u, kind, occ, flag))
    print("loop_")
    for item in ("label", "U_11", "U_22", "U_33", "U_23", "U_13", "U_12"):
        print(" _atom_site_aniso_" + item)
    for name, u in aniso:
        print(" %-4s %s" % (name, " ".join("%.5f" % v for v in u)))


main()
