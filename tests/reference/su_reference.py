#!/usr/bin/env python3
"""Reference numbers for the su tests of tests/unit/su_propagation_test.cpp.

Computed independently of the program: the geometry is written out again here,
the derivatives are taken at 60 significant digits (mpmath), and the variance
terms follow from them in closed form:
  Vlin  = g' C g + sum over cell parameters of (df/dp * su)^2
  V2    = 1/2 tr((H C)^2),  Shift = 1/2 tr(H C)
A plain Monte Carlo over the coordinates confirms the planar cases.
Run by hand: python3 tests/reference/su_reference.py
"""
import math
import random

from mpmath import mp, mpf, cos, sin, sqrt, atan2, pi, diff

mp.dps = 60


def ortho(a, b, c, al, be, ga):
    ca, cb, cg = cos(al * pi / 180), cos(be * pi / 180), cos(ga * pi / 180)
    sg = sin(ga * pi / 180)
    g = 1 - ca**2 - cb**2 - cg**2 + 2 * ca * cb * cg
    return [[a, b * cg, c * cb], [0, b * sg, c * (ca - cb * cg) / sg], [0, 0, c * sqrt(g) / sg]]


def cart(m, f):
    return [sum(m[i][j] * f[j] for j in range(3)) for i in range(3)]


def apply_op(op, f):
    rot, trans = op
    return [sum(rot[i][j] * f[j] for j in range(3)) + trans[i] for i in range(3)]


def angle(a, v, b):
    u = [a[i] - v[i] for i in range(3)]
    w = [b[i] - v[i] for i in range(3)]
    n = [u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]]
    return atan2(sqrt(sum(x * x for x in n)), sum(u[i] * w[i] for i in range(3))) * 180 / pi


def angle_sum(pts):
    return sum(angle(pts[i], pts[0], pts[j])
               for i in range(1, len(pts)) for j in range(i + 1, len(pts)))


IDENTITY = ([[1, 0, 0], [0, 1, 0], [0, 0, 1]], [0, 0, 0])


class Model:
    """Atoms (fractional), points as lists of (atom, op), a cell, a function."""

    def __init__(self, cell, atoms, points, func):
        self.cell = [mpf(x) for x in cell]
        self.atoms = [[mpf(x) for x in a] for a in atoms]
        self.points = points
        self.func = func

    def value(self, atoms=None, cell=None):
        atoms = atoms or self.atoms
        m = ortho(*(cell or self.cell))
        pts = []
        for sites in self.points:
            acc = [mpf(0)] * 3
            for atom, op in sites:
                r = cart(m, apply_op(op, atoms[atom]))
                acc = [acc[i] + r[i] for i in range(3)]
            pts.append([x / len(sites) for x in acc])
        return self.func(pts)

    def of_params(self, params, xs):
        atoms = [list(a) for a in self.atoms]
        for (atom, axis), x in zip(params, xs):
            atoms[atom][axis] = x
        return self.value(atoms)

    def of_cell(self, i, x):
        cell = list(self.cell)
        cell[i] = x
        return self.value(cell=cell)


def propagate(model, params, cov, cell_su=(0,) * 6, second=True):
    x0 = [model.atoms[a][ax] for a, ax in params]
    n = len(params)
    f = lambda *xs: model.of_params(params, xs)

    def unit(*ks):
        return tuple(sum(1 for k in ks if k == i) for i in range(n))

    g = [diff(f, x0, unit(k)) for k in range(n)]
    vlin = sum(g[k] * g[l] * cov[k][l] for k in range(n) for l in range(n))
    for i, su in enumerate(cell_su):
        if su > 0:
            d = diff(lambda x: model.of_cell(i, x), model.cell[i])
            vlin += (d * su) ** 2
    v2 = shift = mpf(0)
    if second and n:
        h = [[diff(f, x0, unit(k, l)) for l in range(n)] for k in range(n)]
        p = [[sum(h[k][m] * cov[m][l] for m in range(n)) for l in range(n)] for k in range(n)]
        v2 = sum(p[k][l] * p[l][k] for k in range(n) for l in range(n)) / 2
        shift = sum(p[k][k] for k in range(n)) / 2
    return dict(value=model.value(), su_linear=sqrt(vlin), su_second=sqrt(v2),
                shift=shift, su=sqrt(vlin + v2))


def show(name, r):
    print(name)
    for k in ("value", "su_linear", "su_second", "shift", "su"):
        print("  %-10s %s" % (k, mp.nstr(r[k], 15)))


# --- Planar ML3: M-L = 1.45 A, cubic cell 10 A, su 0.001 (0.01 A) everywhere ---
def planar_model(height):
    # Ligands 1.45 A from the centre at 120 degree steps in the plane z = 0.5;
    # then the centre is lifted `height` angstrom out of that plane.
    r = 1.45
    atoms = [[0.5, 0.5, 0.5 + height / 10]]
    for k in range(3):
        phi = 2 * math.pi * k / 3
        atoms.append([0.5 + r * math.cos(phi) / 10, 0.5 + r * math.sin(phi) / 10, 0.5])
    points = [[(i, IDENTITY)] for i in range(4)]
    return Model([10, 10, 10, 90, 90, 90], atoms, points, angle_sum), atoms


def monte_carlo(atoms, sigma, samples, seed):
    rng = random.Random(seed)
    values = []
    for _ in range(samples):
        pts = [[10 * x + rng.gauss(0, sigma) for x in a] for a in atoms]
        s = 0.0
        for i in range(1, 4):
            for j in range(i + 1, 4):
                u = [pts[i][k] - pts[0][k] for k in range(3)]
                w = [pts[j][k] - pts[0][k] for k in range(3)]
                c = sum(u[k] * w[k] for k in range(3)) / math.sqrt(
                    sum(x * x for x in u) * sum(x * x for x in w))
                s += math.degrees(math.acos(max(-1.0, min(1.0, c))))
        values.append(s)
    mean = sum(values) / samples
    sd = math.sqrt(sum((v - mean) ** 2 for v in values) / (samples - 1))
    return mean, sd


def diagonal(sus):
    return [[sus[k] ** 2 if k == l else 0 for l in range(len(sus))] for k in range(len(sus))]


for height in (0.0, 0.02, 0.10):
    model, atoms = planar_model(height)
    params = [(a, ax) for a in range(4) for ax in range(3)]
    r = propagate(model, params, diagonal([mpf("0.001")] * 12))
    show("planar ML3, centre %.2f A out of the plane" % height, r)
    mean, sd = monte_carlo(atoms, 0.01, 200000, 7)
    print("  Monte Carlo (200000): shift %.5f su %.5f" % (mean - float(r["value"]), sd))


# --- A general case: triclinic cell with su, a symmetry image, a centroid ---
INVERSION = ([[-1, 0, 0], [0, -1, 0], [0, 0, -1]], [1, 1, 1])       # -x+1,-y+1,-z+1
# A second inversion centre, at (1/4, 1/2, 1/2): the cell stays triclinic, so
# that its six parameters are free (a rotation such as a two-fold axis would
# tie them by lattice symmetry).
INVERSION2 = ([[-1, 0, 0], [0, -1, 0], [0, 0, -1]], [mpf(1) / 2, 1, 1])  # -x+1/2,-y+1,-z+1
GENERAL_CELL = [9.5, 11.2, 13.1, 85, 102, 95]
GENERAL_CELL_SU = [0.001, 0.002, 0.003, 0.02, 0.03, 0.01]
GENERAL_ATOMS = [
    [0.41, 0.46, 0.52],    # 0 M
    [0.58, 0.47, 0.55],    # 1 L1
    [0.40, 0.62, 0.50],    # 2 L2
    [0.29, 0.40, 0.63],    # 3 L3, also seen as its image through the second centre
    [0.36, 0.38, 0.38],    # 4 ring member
    [0.30, 0.42, 0.37],    # 5 ring member
    [0.33, 0.50, 0.36],    # 6 ring member
]
GENERAL_SU = [
    [0.00011, 0.00009, 0.00008], [0.0003, 0.0002, 0.00025], [0.0002, 0.0003, 0.0002],
    [0.00025, 0.00022, 0.0003], [0.0004, 0.0005, 0.0003], [0.0005, 0.0004, 0.0004],
    [0.0003, 0.0004, 0.0005],
]
GENERAL_POINTS = [
    [(0, IDENTITY)],
    [(1, IDENTITY)],
    [(2, IDENTITY)],
    [(3, IDENTITY)],
    [(3, INVERSION2)],
    [(4, IDENTITY), (5, IDENTITY), (6, IDENTITY)],
    [(1, INVERSION)],
]

model = Model(GENERAL_CELL, GENERAL_ATOMS, GENERAL_POINTS, angle_sum)
params = [(a, ax) for a in range(7) for ax in range(3)]
sus = [mpf(GENERAL_SU[a][ax]) for a, ax in params]
show("general, independent su and cell su",
     propagate(model, params, diagonal(sus), [mpf(x) for x in GENERAL_CELL_SU]))


# The same with a covariance matrix: atom 2 rides (not refined); the others
# have parameters 3*atom+axis with C[k][l] = s_k s_l 0.4^|k-l| over the list.
def kms_covariance(params):
    s = [mpf("1e-4") * (1 + mpf(k) / 10) for k in range(len(params))]
    return [[s[k] * s[l] * mpf("0.4") ** abs(k - l) for l in range(len(params))]
            for k in range(len(params))]


params = [(a, ax) for a in range(7) if a != 2 for ax in range(3)]
show("general, covariance matrix, atom 2 riding",
     propagate(model, params, kms_covariance(params), [mpf(x) for x in GENERAL_CELL_SU]))


# Distance between L1 and its inversion image, angle L2-M-L3 (first order).
def distance(pts):
    return sqrt(sum((pts[1][i] - pts[0][i]) ** 2 for i in range(3)))


model = Model(GENERAL_CELL, GENERAL_ATOMS, [[(1, IDENTITY)], [(1, INVERSION)]], distance)
params = [(1, ax) for ax in range(3)]
show("distance L1 to its inversion image",
     propagate(model, params, diagonal([mpf(x) for x in GENERAL_SU[1]]),
               [mpf(x) for x in GENERAL_CELL_SU], second=False))

model = Model(GENERAL_CELL, GENERAL_ATOMS, [[(0, IDENTITY)], [(2, IDENTITY)], [(3, IDENTITY)]],
              lambda p: angle(p[1], p[0], p[2]))
params = [(a, ax) for a in (0, 2, 3) for ax in range(3)]
show("angle L2-M-L3",
     propagate(model, params, diagonal([mpf(GENERAL_SU[a][ax]) for a, ax in params]),
               [mpf(x) for x in GENERAL_CELL_SU], second=False))
