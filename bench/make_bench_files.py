#!/usr/bin/env python3
"""Writes the benchmark inputs of Koravel into one directory.

    make_bench_files.py OUTDIR

- big_hkl.cif: a small copper complex in P2(1)/c whose data block also holds
  the refinement's .res file and a _shelx_hkl_file text field of 1.5 million
  reflection lines (about 50 MB), as modern CIFs from SHELXL do.
- dense_cubic.cif: 240 atoms in the asymmetric unit of a cubic cell in Fm-3m
  (192 operators, 46080 atoms per cell) around an octahedral iron complex.

Everything comes from a fixed random seed, so the files are the same on every
machine. Only the Python standard library is used.
"""
import itertools
import math
import os
import random
import sys

SEED = 20240611
HKL_LINES = 1_500_000


def ortho_matrix(a, b, c, alpha, beta, gamma):
    """Fractional -> Cartesian, a along x, b in the xy plane."""
    ca, cb, cg = (math.cos(math.radians(x)) for x in (alpha, beta, gamma))
    sg = math.sin(math.radians(gamma))
    v = math.sqrt(1 - ca * ca - cb * cb - cg * cg + 2 * ca * cb * cg)
    return [[a, b * cg, c * cb],
            [0.0, b * sg, c * (ca - cb * cg) / sg],
            [0.0, 0.0, c * v / sg]]


def inverse3(m):
    (a, b, c), (d, e, f), (g, h, i) = m
    det = a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g)
    return [[(e * i - f * h) / det, (c * h - b * i) / det, (b * f - c * e) / det],
            [(f * g - d * i) / det, (a * i - c * g) / det, (c * d - a * f) / det],
            [(d * h - e * g) / det, (b * g - a * h) / det, (a * e - b * d) / det]]


def mat_vec(m, v):
    return [sum(m[r][k] * v[k] for k in range(3)) for r in range(3)]


def op_text(rot, trans):
    """x,y,z form of one operator, as CIFs write it."""
    parts = []
    for r in range(3):
        s = ""
        for k, letter in enumerate("xyz"):
            if rot[r][k] == 1:
                s += ("+" if s else "") + letter
            elif rot[r][k] == -1:
                s += "-" + letter
        t = trans[r] % 1.0
        if t:
            s += "+" + {0.5: "1/2", 0.25: "1/4", 0.75: "3/4"}[t]
        parts.append(s)
    return ",".join(parts)


def ops_p21c():
    return [([[1, 0, 0], [0, 1, 0], [0, 0, 1]], [0, 0, 0]),
            ([[-1, 0, 0], [0, 1, 0], [0, 0, -1]], [0, 0.5, 0.5]),
            ([[-1, 0, 0], [0, -1, 0], [0, 0, -1]], [0, 0, 0]),
            ([[1, 0, 0], [0, -1, 0], [0, 0, 1]], [0, 0.5, 0.5])]


def ops_fm3m():
    """The 48 signed permutations of x, y, z times the four face centrings."""
    point_ops = []
    for perm in itertools.permutations(range(3)):
        for signs in itertools.product((1, -1), repeat=3):
            rot = [[0, 0, 0] for _ in range(3)]
            for r in range(3):
                rot[r][perm[r]] = signs[r]
            point_ops.append(rot)
    # The identity first, as every CIF lists it.
    point_ops.sort(key=lambda m: m != [[1, 0, 0], [0, 1, 0], [0, 0, 1]])
    centrings = [[0, 0, 0], [0, 0.5, 0.5], [0.5, 0, 0.5], [0.5, 0.5, 0]]
    return [(rot, t) for t in centrings for rot in point_ops]


def apply_op(op, f):
    rot, trans = op
    return [sum(rot[r][k] * f[k] for k in range(3)) + trans[r] for r in range(3)]


class CubicPacking:
    """Every image of the placed atoms, wrapped into a cubic cell of edge `a`,
    in a periodic grid of boxes, to keep new atoms clear of all of them."""

    def __init__(self, a, ops, box):
        self.a, self.ops = a, ops
        self.n = int(a // box)
        self.grid = {}

    def _images(self, frac):
        for op in self.ops:
            yield [(x - math.floor(x)) * self.a for x in apply_op(op, frac)]

    def _key(self, r):
        return tuple(int(x * self.n / self.a) % self.n for x in r)

    def _dist(self, r, q):
        s = 0.0
        for i in range(3):
            d = abs(r[i] - q[i])
            d = min(d, self.a - d)  # the nearest lattice image
            s += d * d
        return math.sqrt(s)

    def clear_of(self, frac, distance):
        for r in self._images(frac):
            k = self._key(r)
            for d in itertools.product((-1, 0, 1), repeat=3):
                box = tuple((k[i] + d[i]) % self.n for i in range(3))
                for q in self.grid.get(box, ()):
                    if self._dist(r, q) < distance:
                        return False
        return True

    def add(self, frac):
        for r in self._images(frac):
            self.grid.setdefault(self._key(r), []).append(r)


def su_text(value, su, decimals):
    """value(su) with the su in units of the last digit."""
    return f"{value:.{decimals}f}({round(su * 10 ** decimals)})"


def cif_head(name, cell, cell_su, ops):
    a, b, c, al, be, ga = cell
    lines = [f"data_{name}",
             "_audit_creation_method            'Koravel benchmark generator'",
             f"_cell_length_a                    {su_text(a, cell_su[0], 4)}",
             f"_cell_length_b                    {su_text(b, cell_su[0], 4)}",
             f"_cell_length_c                    {su_text(c, cell_su[0], 4)}",
             f"_cell_angle_alpha                 {su_text(al, cell_su[1], 3) if al != 90 else '90'}",
             f"_cell_angle_beta                  {su_text(be, cell_su[1], 3) if be != 90 else '90'}",
             f"_cell_angle_gamma                 {su_text(ga, cell_su[1], 3) if ga != 90 else '90'}",
             "", "loop_", " _space_group_symop_operation_xyz"]
    lines += [f" '{op_text(rot, t)}'" for rot, t in ops]
    lines += ["", "loop_", " _atom_site_label", " _atom_site_type_symbol",
              " _atom_site_fract_x", " _atom_site_fract_y", " _atom_site_fract_z",
              " _atom_site_U_iso_or_equiv", " _atom_site_occupancy"]
    return lines


def atom_line(label, element, frac, su):
    coords = " ".join(su_text(x, su, 5) for x in frac)
    return f"{label} {element} {coords} 0.0150(3) 1"


def molecule_fracs(ortho, centre_frac, offsets):
    """Fractional coordinates of Cartesian offsets from a fractional centre."""
    inv = inverse3(ortho)
    c = mat_vec(ortho, centre_frac)
    return [mat_vec(inv, [c[i] + o[i] for i in range(3)]) for o in offsets]


def write_big_hkl(path, rng):
    cell = (7.9123, 11.3456, 9.6789, 90.0, 101.234, 90.0)
    ortho = ortho_matrix(*cell)
    ops = ops_p21c()
    # A square-planar copper complex: two amine N, two aqua O, the N carbons.
    atoms = [("Cu1", "Cu", (0, 0, 0)),
             ("N1", "N", (2.01, 0.02, 0.03)), ("N2", "N", (-0.01, 2.03, -0.04)),
             ("O1", "O", (-1.97, 0.03, 0.05)), ("O2", "O", (0.02, -1.96, 0.06)),
             ("C1", "C", (2.55, 1.36, 0.20)), ("C2", "C", (1.36, 2.56, -0.18)),
             ("C3", "C", (2.78, -0.95, 0.80)), ("C4", "C", (-0.90, 2.80, -0.85))]
    fracs = molecule_fracs(ortho, (0.25, 0.12, 0.27), [a[2] for a in atoms])
    lines = cif_head("cu_amine", cell, (0.0012, 0.011), ops)
    lines += [atom_line(lab, el, f, 0.00012) for (lab, el, _), f in zip(atoms, fracs)]
    lines += ["", "_shelx_res_file", ";", "TITL cu_amine in P2(1)/c",
              "CELL 0.71073 " + " ".join(f"{x:.4f}" for x in cell), "ZERR 4 0.0012 0.0012 "
              "0.0012 0 0.011 0", "LATT 1", "SYMM -X, 0.5+Y, 0.5-Z", "SFAC C N O CU",
              "UNIT 16 8 8 4", "L.S. 10", "FMAP 2", "PLAN 20", "WGHT 0.0300 0.5000",
              "FVAR 0.54321", "HKLF 4", "END", ";", "", "_shelx_hkl_file", ";"]
    with open(path, "w", encoding="ascii", newline="\n") as f:
        f.write("\n".join(lines) + "\n")
        chunk = []
        for _ in range(HKL_LINES):
            h, k, l = rng.randint(-12, 12), rng.randint(-16, 16), rng.randint(-14, 14)
            f2 = rng.uniform(0.0, 9999.0)
            sig = rng.uniform(0.1, 99.0)
            chunk.append("%4d%4d%4d%8.2f%8.2f%4d\n" % (h, k, l, f2, sig, 1))
            if len(chunk) == 10000:
                f.write("".join(chunk))
                chunk.clear()
        f.write("".join(chunk))
        f.write("   0   0   0    0.00    0.00   0\n;\n")


def write_dense_cubic(path, rng, atom_count=240):
    a = 90.0
    cell = (a, a, a, 90.0, 90.0, 90.0)
    ortho = ortho_matrix(*cell)
    inv = inverse3(ortho)
    ops = ops_fm3m()
    # An octahedral iron complex at a general position, then light atoms
    # filling the cell: never closer than 1.8 A to anything and never closer
    # than 3.6 A to the iron, so that the iron keeps exactly its six oxygens.
    centre = [0.2131, 0.1413, 0.0697]
    octa = [(1.98, 0, 0), (-2.01, 0.02, 0), (0.01, 2.03, 0), (0, -1.99, 0.03),
            (0.02, 0, 2.05), (0, 0.03, -1.97)]
    fe = mat_vec(ortho, centre)
    packing = CubicPacking(a, ops, 3.6)
    iron = CubicPacking(a, ops, 3.6)
    iron.add(centre)
    placed = [("Fe1", "Fe", centre)]
    for i, o in enumerate(octa):
        placed.append((f"O{i + 1}", "O", mat_vec(inv, [fe[k] + o[k] for k in range(3)])))
    # The complex keeps clear of its own symmetry images.
    fe_images = CubicPacking(a, ops[1:], 3.6)
    assert fe_images.clear_of(centre, 8.0)
    for _, _, frac in placed:
        packing.add(frac)
    elements = ["C", "C", "C", "N", "O"]
    counts = {}
    while len(placed) < atom_count:
        # Fm-3m's asymmetric unit lies within 0 <= z <= y <= x <= 1/2.
        frac = [rng.uniform(0, 0.5) for _ in range(3)]
        if not iron.clear_of(frac, 3.6) or not packing.clear_of(frac, 1.8):
            continue
        element = elements[len(placed) % len(elements)]
        counts[element] = counts.get(element, 0) + 1
        placed.append((f"{element}{counts[element] + 10}", element, frac))
        packing.add(frac)
    lines = cif_head("dense_fm3m", cell, (0.003, 0.0), ops)
    lines += [atom_line(lab, el, f, 0.00003) for lab, el, f in placed]
    with open(path, "w", encoding="ascii", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_bench_files.py OUTDIR")
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    write_big_hkl(os.path.join(out, "big_hkl.cif"), random.Random(SEED))
    write_dense_cubic(os.path.join(out, "dense_cubic.cif"), random.Random(SEED + 1))


if __name__ == "__main__":
    main()
