#!/usr/bin/python3
"""Reference for the su of an angle sum when symmetry ties parameters.

Samples and propagates only the FREE parameters of a structure:

* site symmetry of every atom from the structure's own operators (W x + w = x
  + lattice translation); allowed displacements = null space of (W - I) over
  all site-symmetry operators, computed exactly with fractions; free
  coordinates are the first that span it (CIF) or the ones the SHELXL .mat
  lists; every coordinate follows as dx = B dp;
* cell: the metric must stay invariant under every rotation (W^T G W = G);
  the allowed changes of (a, b, c, alpha, beta, gamma) form a subspace whose
  first spanning parameters are free and carry their CIF/ZERR su;
* covariance: CIF su (diagonal) or the .mat block (corr * esd_i * esd_j);
  cell independent of the coordinates.

For the sum, every angle and every distance it gives the value, the
first-order su (J C J^T, split into coordinates and cell), the second-order
variance 1/2 tr((HC)^2) and shift 1/2 tr(HC), and a Monte Carlo over the free
parameters. Derivatives are exact: the geometry is evaluated in hyper-dual
numbers (no finite differences). The OLD (naive) treatment is given beside
it: every written coordinate su independent (CIF) or unlisted coordinates
fixed (.mat), and a, b, c (and angles with su) as independent parameters.

Independence: written from crystallographic first principles with numpy and
gemmi's CIF tokenizer only; no code of the C++ program is used or mirrored
(only its file formats and the n_klm symmetry-code convention).

Run with /usr/bin/python3 (numpy, python3-gemmi):
    python3 free_parameter_mc.py                 all cases (markdown on stdout)
    python3 free_parameter_mc.py a|a_flat|b|c|d|d_cent   one case
    python3 free_parameter_mc.py check           the checks (exit status 1 on failure)
    python3 free_parameter_mc.py FILE CENTRAL LIGAND... [--draws=N] [--seed=S] [--naive]
A ligand is LABEL, LABEL#n or LABEL#n_klm (operator n, 1-based, translation
k-5, l-5, m-5), or a centroid "[A B#2_655 C]"; a plain label is the nearest
image. A .res/.ins is read with the .mat of the same stem beside it.
"""
import math
import os
import re
import sys
from fractions import Fraction

import numpy as np
import gemmi

HERE = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "data")
RAD = math.pi / 180.0
SITE_TOL = 1e-3          # fractional tolerance for W x + w = x + t
MIN_LIGAND_DISTANCE = 0.4


# ----------------------------------------------------------------------------
# Hyper-dual numbers: f(a + b e1 + c e2 + d e1e2) = f(a) + f'(a) b e1 + f'(a) c e2
# + (f'(a) d + f''(a) b c) e1e2, with e1^2 = e2^2 = 0. Seeding q_i with e1 and
# q_j with e2 gives d2f/dq_i dq_j exactly (to rounding) in the e1e2 component.
class HD:
    __slots__ = ("a", "b", "c", "d")

    def __init__(self, a, b=0.0, c=0.0, d=0.0):
        self.a, self.b, self.c, self.d = a, b, c, d

    def __add__(s, o):
        if isinstance(o, HD):
            return HD(s.a + o.a, s.b + o.b, s.c + o.c, s.d + o.d)
        return HD(s.a + o, s.b, s.c, s.d)
    __radd__ = __add__

    def __neg__(s):
        return HD(-s.a, -s.b, -s.c, -s.d)

    def __sub__(s, o):
        return s + (-o)

    def __rsub__(s, o):
        return (-s) + o

    def __mul__(s, o):
        if isinstance(o, HD):
            return HD(s.a * o.a, s.a * o.b + s.b * o.a, s.a * o.c + s.c * o.a,
                      s.a * o.d + s.b * o.c + s.c * o.b + s.d * o.a)
        return HD(s.a * o, s.b * o, s.c * o, s.d * o)
    __rmul__ = __mul__

    def _apply(s, f0, f1, f2):
        return HD(f0, f1 * s.b, f1 * s.c, f1 * s.d + f2 * s.b * s.c)

    def inv(s):
        return s._apply(1 / s.a, -1 / s.a ** 2, 2 / s.a ** 3)

    def __truediv__(s, o):
        return s * (o.inv() if isinstance(o, HD) else 1.0 / o)

    def __rtruediv__(s, o):
        return s.inv() * o


class HDMath:
    @staticmethod
    def sqrt(x):
        if not isinstance(x, HD):
            return math.sqrt(x)
        r = math.sqrt(x.a)
        return x._apply(r, 0.5 / r, -0.25 / (r * x.a))

    @staticmethod
    def cos(x):
        if not isinstance(x, HD):
            return math.cos(x)
        return x._apply(math.cos(x.a), -math.sin(x.a), -math.cos(x.a))

    @staticmethod
    def sin(x):
        if not isinstance(x, HD):
            return math.sin(x)
        return x._apply(math.sin(x.a), math.cos(x.a), -math.sin(x.a))

    @staticmethod
    def acos(x):
        if not isinstance(x, HD):
            return math.acos(min(1.0, max(-1.0, x)))  # a straight angle, rounded past -1
        u = 1 - x.a * x.a
        return x._apply(math.acos(x.a), -1 / math.sqrt(u), -x.a / u ** 1.5)


class NPMath:
    sqrt, cos, sin = np.sqrt, np.cos, np.sin
    acos = staticmethod(lambda x: np.arccos(np.clip(x, -1.0, 1.0)))


# ----------------------------------------------------------------------------
# Symmetry operators: (W, w) with integer W and Fraction w.
def parse_symop(text):
    text = text.strip().strip("'\"").replace(" ", "").lower()
    rows = text.split(",")
    if len(rows) != 3:
        raise ValueError("bad operator: " + text)
    W, w = [[0] * 3 for _ in range(3)], [Fraction(0)] * 3
    for r, expr in enumerate(rows):
        for term in re.findall(r"[+-]?[^+-]+", expr):
            sign = -1 if term[0] == "-" else 1
            body = term.lstrip("+-").replace("*", "")
            if body[-1] in "xyz":
                coef = Fraction(body[:-1]) if body[:-1] else Fraction(1)
                W[r]["xyz".index(body[-1])] += sign * int(coef)
            else:
                w[r] += sign * Fraction(body).limit_denominator(48)
    return W, w


def wrap(t):
    return t - math.floor(t)


def op_text(op):
    W, w = op
    out = []
    for r in range(3):
        s = ""
        for c in range(3):
            if W[r][c]:
                s += ("+" if W[r][c] > 0 else "-") + ("" if abs(W[r][c]) == 1 else str(abs(W[r][c]))) + "xyz"[c]
        if w[r]:
            s += "+" + str(w[r])
        out.append(s.lstrip("+"))
    return ",".join(out)


# ----------------------------------------------------------------------------
# Exact linear algebra over fractions.
def null_space(rows, n):
    """Basis (list of column vectors) of {v : rows v = 0}, v in Q^n."""
    m = [[Fraction(x) for x in r] for r in rows]
    pivots, r = [], 0
    for c in range(n):
        p = next((i for i in range(r, len(m)) if m[i][c] != 0), None)
        if p is None:
            continue
        m[r], m[p] = m[p], m[r]
        m[r] = [x / m[r][c] for x in m[r]]
        for i in range(len(m)):
            if i != r and m[i][c] != 0:
                f = m[i][c]
                m[i] = [x - f * y for x, y in zip(m[i], m[r])]
        pivots.append(c)
        r += 1
    basis = []
    for free in (c for c in range(n) if c not in pivots):
        v = [Fraction(0)] * n
        v[free] = Fraction(1)
        for i, pc in enumerate(pivots):
            v[pc] = -m[i][free]
        basis.append(v)
    return basis


def rank(rows):
    return len(rows[0]) - len(null_space(rows, len(rows[0]))) if rows else 0


def select_rows(N, candidates):
    """First rows of N (n x d) among `candidates` that span its column space."""
    chosen = []
    for i in candidates:
        if rank([N[k] for k in chosen + [i]]) > len(chosen):
            chosen.append(i)
    return chosen


def expand_matrix(N, chosen):
    """B = N (N_S)^-1: every component through the chosen ones (B[S] = I)."""
    d = len(chosen)
    S = np.array([[float(N[i][k]) for k in range(d)] for i in chosen])
    return np.array([[float(x) for x in row] for row in N]) @ np.linalg.inv(S)


def site_operators(frac, ops):
    site = []
    for W, w in ops:
        diff = [sum(W[r][c] * frac[c] for c in range(3)) + float(w[r]) - frac[r] for r in range(3)]
        if all(abs(x - round(x)) < SITE_TOL for x in diff):
            site.append((W, w))
    return site


def allowed_displacements(frac, ops):
    """Exact basis (3 x d rows) of the displacements the site symmetry allows."""
    rows = []
    for W, _ in site_operators(frac, ops):
        rows += [[W[r][c] - (r == c) for c in range(3)] for r in range(3)]
    basis = null_space(rows, 3) if rows else [[Fraction(int(r == c)) for r in range(3)] for c in range(3)]
    return [[basis[k][r] for k in range(len(basis))] for r in range(3)]


# ----------------------------------------------------------------------------
# Cell.
def orth_matrix(cell, m=NPMath):
    a, b, c, al, be, ga = cell
    ca, cb, cg = m.cos(al * RAD), m.cos(be * RAD), m.cos(ga * RAD)
    sg = m.sin(ga * RAD)
    v = m.sqrt(1 - ca * ca - cb * cb - cg * cg + 2 * ca * cb * cg)
    return [[a, b * cg, c * cb], [0.0, b * sg, c * (ca - cb * cg) / sg], [0.0, 0.0, c * v / sg]]


SYM6 = [(0, 0), (1, 1), (2, 2), (0, 1), (0, 2), (1, 2)]


def metric6(cell):
    a, b, c, al, be, ga = cell
    ca, cb, cg = math.cos(al * RAD), math.cos(be * RAD), math.cos(ga * RAD)
    return [a * a, b * b, c * c, a * b * cg, a * c * cb, b * c * ca]


def cell_free_subspace(cell, ops):
    """(indices of the free cell parameters, B 6 x k) with dp_cell = B dq."""
    rows = []
    for W, _ in ops:
        # linear map X -> W^T X W - X on the 6 components of a symmetric X
        for (i, j) in SYM6:
            row = []
            for (k, l) in SYM6:
                e = [[0] * 3 for _ in range(3)]
                e[k][l] = e[l][k] = 1
                val = sum(W[p][i] * e[p][q] * W[q][j] for p in range(3) for q in range(3))
                row.append(val - e[i][j])
            rows.append(row)
    NX = np.array([[float(x) for x in v] for v in null_space(rows, 6)]).T  # 6 x k
    h = [1e-6, 1e-6, 1e-6, 1e-5, 1e-5, 1e-5]
    J = np.zeros((6, 6))
    for p in range(6):
        up, dn = list(cell), list(cell)
        up[p] += h[p]
        dn[p] -= h[p]
        J[:, p] = (np.array(metric6(up)) - np.array(metric6(dn))) / (2 * h[p])
    Np = np.linalg.solve(J, NX)
    Np /= np.abs(Np).max(axis=0)
    chosen = []
    for i in range(6):
        if np.linalg.matrix_rank(Np[chosen + [i]], tol=1e-9) > len(chosen):
            chosen.append(i)
    B = Np @ np.linalg.inv(Np[chosen])
    B[np.abs(B) < 1e-9] = 0.0
    return chosen, B


CELL_NAMES = ["a", "b", "c", "alpha", "beta", "gamma"]


# ----------------------------------------------------------------------------
# Readers.
def split_su(text):
    text = text.strip()
    m = re.fullmatch(r"([-+]?\d*\.?\d*(?:[eE][-+]?\d+)?)(?:\((\d+)\))?", text)
    if not m:
        raise ValueError("bad number: " + text)
    value = float(m.group(1))
    if not m.group(2):
        return value, 0.0
    mant = m.group(1).split("e")[0].split("E")[0]
    decimals = len(mant.split(".")[1]) if "." in mant else 0
    return value, int(m.group(2)) * 10.0 ** (-decimals)


class Structure:
    def __init__(self):
        self.cell, self.cell_su = None, None
        self.ops = []
        self.atoms = {}        # label -> frac (list of 3 floats)
        self.atom_su = {}      # label -> su (CIF)
        self.mat = None        # (params list, covariance) from a .mat
        self.kind = ""
        self.path = ""


def read_cif(path):
    block = gemmi.cif.read(path).sole_block()
    s = Structure()
    s.kind, s.path = "CIF", path
    vals = []
    for tag in ["_cell_length_a", "_cell_length_b", "_cell_length_c",
                "_cell_angle_alpha", "_cell_angle_beta", "_cell_angle_gamma"]:
        v = block.find_value(tag)
        vals.append(split_su(v) if v not in (None, "?", ".") else (90.0, 0.0))
    s.cell = [v for v, _ in vals]
    s.cell_su = [e for _, e in vals]
    col = None
    for tag in ["_space_group_symop_operation_xyz", "_symmetry_equiv_pos_as_xyz"]:
        col = block.find_values(tag)
        if len(col):
            break
    s.ops = [parse_symop(gemmi.cif.as_string(t)) for t in col] if col is not None and len(col) else [parse_symop("x,y,z")]
    table = block.find("_atom_site_", ["label", "fract_x", "fract_y", "fract_z"])
    for row in table:
        xyz = [split_su(row[k]) for k in (1, 2, 3)]
        s.atoms[row[0]] = [v for v, _ in xyz]
        s.atom_su[row[0]] = [e for _, e in xyz]
    return s


SHELX_INSTRUCTIONS = set("""TITL CELL ZERR LATT SYMM SFAC DISP UNIT LAUE REM MORE TIME OMIT SHEL BASF
TWIN EXTI SWAT HOPE MERG RESI MOVE ANIS AFIX HFIX FRAG FEND EXYZ EADP EQIV CONN BIND FREE
DFIX DANG BUMP SAME SADI CHIV FLAT DELU SIMU DEFS ISOR NCSY SUMP BLOC DAMP STIR WGHT FVAR BOND CONF
MPLA RTAB HTAB LIST ACTA SIZE TEMP WPDB FMAP GRID PLAN MOLE ABIN ANSC ANSR RIGU PRIG XNPD SLIM CGLS
L.S. END HKLF NEUT ELEC BEDE LONE WIGL""".split())

CENTRINGS = {1: [], 2: [(Fraction(1, 2),) * 3],
             3: [(Fraction(2, 3), Fraction(1, 3), Fraction(1, 3)), (Fraction(1, 3), Fraction(2, 3), Fraction(2, 3))],
             4: [(0, Fraction(1, 2), Fraction(1, 2)), (Fraction(1, 2), 0, Fraction(1, 2)), (Fraction(1, 2), Fraction(1, 2), 0)],
             5: [(0, Fraction(1, 2), Fraction(1, 2))], 6: [(Fraction(1, 2), 0, Fraction(1, 2))],
             7: [(Fraction(1, 2), Fraction(1, 2), 0)]}


def frac_mod1(t):
    return t - math.floor(t)


def shelx_operators(latt, symm):
    base = [parse_symop("x,y,z")] + [(W, [frac_mod1(t) for t in w]) for W, w in symm]
    if latt > 0:
        base += [([[-x for x in r] for r in W], [frac_mod1(-t) for t in w]) for W, w in list(base)]
    ops = list(base)
    for v in CENTRINGS[abs(latt)]:
        for W, w in base:
            cand = (W, [frac_mod1(t + Fraction(x)) for t, x in zip(w, v)])
            if cand not in ops:
                ops.append(cand)
    return ops


def decode_shelx(x, fvar):
    if abs(x) < 5:
        return x
    m = math.floor(x / 10 + 0.5)
    p = x - 10 * m
    if abs(m) == 1:
        return p
    return p * fvar[m - 1] if m > 0 else (fvar[-m - 1] - 1) * p


def read_res(path):
    s = Structure()
    s.kind, s.path = path.rsplit(".", 1)[-1].upper(), path
    latt, symm, fvar, nsfac = 1, [], [], 0
    s.cell_su = [0.0] * 6
    lines, pending = [], ""
    for raw in open(path):
        line = raw.rstrip()
        if line.endswith("="):
            pending += line[:-1] + " "
            continue
        lines.append(pending + line)
        pending = ""
    for line in lines:
        tok = line.split()
        if not tok:
            continue
        name = tok[0].upper()
        if name == "CELL":
            s.cell = [float(t) for t in tok[2:8]]
        elif name == "ZERR":
            s.cell_su = [float(t) for t in tok[2:8]]
        elif name == "LATT":
            latt = int(tok[1])
        elif name == "SYMM":
            symm.append(parse_symop(line.strip()[4:]))
        elif name == "SFAC":
            nsfac += len(tok) - 1
        elif name == "FVAR":
            fvar += [float(t) for t in tok[1:]]
        elif name in ("END", "HKLF"):
            break
        elif (name not in SHELX_INSTRUCTIONS and len(tok) >= 5 and re.fullmatch(r"\d+", tok[1])
              and not re.fullmatch(r"[Qq]\d+", tok[0])):
            s.atoms[tok[0]] = [decode_shelx(float(t), fvar) for t in tok[2:5]]
    s.ops = shelx_operators(latt, symm)
    mat = path.rsplit(".", 1)[0] + ".mat"
    if os.path.exists(mat):
        s.mat = read_mat(mat)
    return s


def read_mat(path):
    """(list of (index, value, esd, kind, label)), full covariance matrix."""
    lines = open(path).read().splitlines()
    n, params, k = None, [], 0
    for i, line in enumerate(lines):
        if n is None and "Parameters refined" in line:
            n = int(line.split()[0])
            continue
        if n is not None and "Correlation matrix" in line:
            fields = []
            for cl in lines[i + 1:]:
                fields += [float(cl[p:p + 8]) for p in range(0, len(cl) - 7, 8)]
            break
        tok = line.split()
        if n is not None and len(tok) >= 5 and tok[0].isdigit():
            label = tok[5] if len(tok) > 5 else ""
            if len(label) >= 2 and label[-2] == "^":
                label = label[:-2]
            params.append((int(tok[0]) - 1, float(tok[1]), float(tok[2]), tok[4], label))
    esd = np.zeros(n)
    for idx, _, e, _, _ in params:
        esd[idx] = e
    corr = np.zeros((n, n))
    for i in range(n):
        for j in range(i, n):
            corr[i, j] = corr[j, i] = fields[k]
            k += 1
    if k != len(fields):
        raise ValueError("correlation count mismatch in " + path)
    return params, corr * np.outer(esd, esd)


def read_structure(path):
    return read_res(path) if path.lower().endswith((".res", ".ins")) else read_cif(path)


# ----------------------------------------------------------------------------
# Sites and ligands.
def parse_site(token):
    m = re.fullmatch(r"([^#]+)#(\d+)_(-?\d+)_(-?\d+)_(-?\d+)", token)   # n_k_l_m
    if m:
        return (m.group(1), int(m.group(2)) - 1, tuple(int(m.group(k)) - 5 for k in (3, 4, 5)))
    m = re.fullmatch(r"([^#]+)(?:#(\d+)(?:_(\d)(\d)(\d))?)?", token)
    if not m:
        raise ValueError("bad atom argument: " + token)
    if m.group(2) is None:
        return (m.group(1), None, None)
    t = (0, 0, 0) if m.group(3) is None else tuple(int(m.group(k)) - 5 for k in (3, 4, 5))
    return (m.group(1), int(m.group(2)) - 1, t)


def parse_ligands(args):
    text = " ".join(args).replace(",", " ")
    for opener in ("cent(", "Cg(", "centroid"):
        text = text.replace(opener, " [" if opener.endswith("(") else " ")
    text = text.replace("(", "[").replace(")", "]")
    ligands = []
    for group, single in re.findall(r"\[([^\]]*)\]|(\S+)", text):
        if single:
            ligands.append([parse_site(single)])
        else:
            ligands.append([parse_site(t) for t in group.split()])
    return ligands


def image_frac(frac, op, t):
    W, w = op
    return [sum(W[r][c] * frac[c] for c in range(3) if W[r][c]) + float(w[r]) + t[r] for r in range(3)]


def resolve_sites(s, central, ligands):
    """Plain labels become their nearest image around the central atom."""
    M = np.array(orth_matrix(s.cell))
    f0 = np.array(s.atoms[central])
    out = []
    for lig in ligands:
        res = []
        for label, op, t in lig:
            if label not in s.atoms:
                raise ValueError("no atom " + label)
            if op is None:
                cands = []
                for n, o in enumerate(s.ops):
                    g = np.array(image_frac(s.atoms[label], o, (0, 0, 0)))
                    base = np.round(f0 - g)
                    for dt in np.ndindex(3, 3, 3):
                        tt = tuple(int(x) for x in base + np.array(dt) - 1)
                        d = np.linalg.norm(M @ (g + tt - f0))
                        if d > MIN_LIGAND_DISTANCE:
                            cands.append((d, n, tt))
                cands.sort()
                same = [c for c in cands if c[0] - cands[0][0] < 1e-4]
                if len({tuple(np.round(image_frac(s.atoms[label], s.ops[n], tt), 6)) for _, n, tt in same}) > 1:
                    raise ValueError("nearest image of %s is ambiguous: give a code" % label)
                op, t = cands[0][1], cands[0][2]
            res.append((label, op, t))
        out.append(res)
    return out


def site_code(site):
    label, op, t = site
    return "%s#%d_%d%d%d" % (label, op + 1, t[0] + 5, t[1] + 5, t[2] + 5)


# ----------------------------------------------------------------------------
# Parameter models: frac(label) = x0 + A q, cell = p0 + Cm q, q ~ N(0, C).
class Model:
    def __init__(self, s, labels, naive=False):
        self.s = s
        self.names, self.fixed_notes = [], []
        coord_cols, cov_blocks = {}, []   # label -> list of (col vector over 3, param index)
        self.A = {lab: [] for lab in labels}
        self.cellmap = []                  # list of (6-vector, param index)
        n = 0
        cov_entries = []                   # (i, j, value)
        if s.mat is not None:
            params, cov = s.mat
            listed = {}
            for idx, value, esd, kind, label in params:
                if kind in ("x", "y", "z"):
                    listed.setdefault(label.lower(), []).append(("xyz".index(kind), idx, value))
        for lab in labels:
            frac = s.atoms[lab]
            N = allowed_displacements(frac, s.ops)
            d = len(N[0]) if N and N[0] else 0
            if s.mat is not None:
                entries = sorted(listed.get(lab.lower(), []))
                for axis, idx, value in entries:
                    if abs(value - frac[axis]) > 1e-4:
                        raise ValueError("%s.%s differs from the matrix file" % (lab, "xyz"[axis]))
                axes = [e[0] for e in entries]
                if naive:
                    B = np.eye(3)[:, axes]
                else:
                    if not entries:
                        axes = []
                    elif len(axes) != d or (d and select_rows(N, axes) != axes):
                        raise ValueError("%s: the matrix lists %s, the site allows %d free coordinates"
                                         % (lab, "".join("xyz"[a] for a in axes), d))
                    B = expand_matrix(N, axes) if axes else np.zeros((3, 0))
                first = n
                for k, (axis, idx, _) in enumerate(entries):
                    self.names.append("%s.%s" % (lab, "xyz"[axis]))
                    self.A[lab].append((B[:, k], n))
                    n += 1
                for k1, e1 in enumerate(entries):
                    for k2, e2 in enumerate(entries):
                        cov_entries.append((first + k1, first + k2, cov[e1[1], e2[1]]))
                # covariances with the atoms already placed
                for other, (ofirst, oentries) in coord_cols.items():
                    for k1, e1 in enumerate(entries):
                        for k2, e2 in enumerate(oentries):
                            v = cov[e1[1], e2[1]]
                            cov_entries += [(first + k1, ofirst + k2, v), (ofirst + k2, first + k1, v)]
                coord_cols[lab] = (first, entries)
            else:
                su = s.atom_su[lab]
                if naive:
                    axes = [r for r in range(3) if su[r] > 0]
                    B = np.eye(3)
                else:
                    axes = select_rows(N, [0, 1, 2]) if d else []
                    B = expand_matrix(N, axes) if axes else np.zeros((3, 0))
                for k, axis in enumerate(axes):
                    if su[axis] <= 0:
                        self.fixed_notes.append("%s.%s free but without su: fixed" % (lab, "xyz"[axis]))
                        continue
                    col = B[:, axis] if naive else B[:, k]
                    self.names.append("%s.%s" % (lab, "xyz"[axis]))
                    self.A[lab].append((col, n))
                    cov_entries.append((n, n, su[axis] ** 2))
                    n += 1
        self.ncoord = n
        cell_su = s.cell_su
        if naive:
            free, Bc = [i for i in range(6) if cell_su[i] > 0], np.eye(6)
            cols = [(Bc[:, i], i) for i in free]
        else:
            free, Bc = cell_free_subspace(s.cell, s.ops)
            cols = [(Bc[:, k], i) for k, i in enumerate(free)]
        self.cell_free = [CELL_NAMES[i] for i in free]
        for col, i in cols:
            if cell_su[i] <= 0:
                continue
            self.names.append("cell " + CELL_NAMES[i])
            self.cellmap.append((col, n))
            cov_entries.append((n, n, cell_su[i] ** 2))
            n += 1
        self.n = n
        self.C = np.zeros((n, n))
        for i, j, v in cov_entries:
            self.C[i, j] = v

    # fractional coordinates and cell for a given q (numpy arrays or HD scalars)
    def fracs(self, q):
        out = {}
        for lab, cols in self.A.items():
            f = list(self.s.atoms[lab])
            for col, i in cols:
                for r in range(3):
                    if col[r] != 0:
                        f[r] = f[r] + col[r] * q[i]
            out[lab] = f
        return out

    def cell(self, q):
        p = list(self.s.cell)
        for col, i in self.cellmap:
            for r in range(6):
                if col[r] != 0:
                    p[r] = p[r] + col[r] * q[i]
        return p


def geometry(model, sites, q, m):
    """[sum, angles (i<j), distances] for the central site and the ligands."""
    central, ligands = sites
    fr = model.fracs(q)
    M = orth_matrix(model.cell(q), m)
    f0 = fr[central]

    def position(group):
        acc = None
        for label, op, t in group:
            g = image_frac(fr[label], model.s.ops[op], t)
            acc = g if acc is None else [x + y for x, y in zip(acc, g)]
        return [x * (1.0 / len(group)) for x in acc]

    vecs = []
    for lig in ligands:
        df = [x - y for x, y in zip(position(lig), f0)]
        vecs.append([M[0][0] * df[0] + M[0][1] * df[1] + M[0][2] * df[2],
                     M[1][1] * df[1] + M[1][2] * df[2], M[2][2] * df[2]])
    norms = [m.sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]) for v in vecs]
    angles = []
    for i in range(len(vecs)):
        for j in range(i + 1, len(vecs)):
            dot = vecs[i][0] * vecs[j][0] + vecs[i][1] * vecs[j][1] + vecs[i][2] * vecs[j][2]
            angles.append(m.acos(dot / (norms[i] * norms[j])) * (1 / RAD))
    total = angles[0]
    for a in angles[1:]:
        total = total + a
    return [total] + angles + norms


def derivatives(model, sites):
    """value, gradient (k x n) and Hessians (k x n x n) of every quantity."""
    n = model.n
    value = np.array(geometry(model, sites, [0.0] * n, HDMath))
    k = len(value)
    g, H = np.zeros((k, n)), np.zeros((k, n, n))
    for i in range(n):
        for j in range(i, n):
            q = [0.0] * n
            q[i] = HD(0.0, 1.0, 0.0, 0.0)
            q[j] = HD(0.0, 1.0, 1.0, 0.0) if i == j else HD(0.0, 0.0, 1.0, 0.0)
            out = geometry(model, sites, q, HDMath)
            for r, o in enumerate(out):
                if not isinstance(o, HD):   # independent of q_i and q_j
                    continue
                if i == j:
                    g[r, i] = o.b
                H[r, i, j] = H[r, j, i] = o.d
    return value, g, H


def propagate(model, sites):
    value, g, H = derivatives(model, sites)
    C, nc = model.C, model.ncoord
    res = []
    for r in range(len(value)):
        var1 = g[r] @ C @ g[r]
        var_cell = g[r, nc:] @ C[nc:, nc:] @ g[r, nc:]
        HC = H[r] @ C
        var2 = 0.5 * np.trace(HC @ HC)
        res.append(dict(value=value[r], su1=math.sqrt(max(var1, 0)), su1_cell=math.sqrt(max(var_cell, 0)),
                        su1_coord=math.sqrt(max(var1 - var_cell, 0)), su2=math.sqrt(max(var2, 0)),
                        shift=0.5 * np.trace(HC), total=math.sqrt(max(var1 + var2, 0))))
    return res


def monte_carlo(model, sites, draws, seed, chunk=200000):
    """mean, sd and their standard errors of every quantity."""
    rng = np.random.default_rng(seed)
    w, V = np.linalg.eigh(model.C)
    L = V * np.sqrt(np.clip(w, 0, None))
    ref = np.array(geometry(model, sites, [0.0] * model.n, HDMath))
    sums = np.zeros((4, len(ref)))
    done = 0
    while done < draws:
        k = min(chunk, draws - done)
        q = L @ rng.standard_normal((model.n, k))
        out = np.array(geometry(model, sites, list(q), NPMath)) - ref[:, None]
        for p in range(4):
            sums[p] += (out ** (p + 1)).sum(axis=1)
        done += k
    m1, m2, m3, m4 = sums / draws
    var = (m2 - m1 ** 2) * draws / (draws - 1)
    c4 = m4 - 4 * m1 * m3 + 6 * m1 ** 2 * m2 - 3 * m1 ** 4
    sd = np.sqrt(var)
    return [dict(mean=ref[r] + m1[r], sd=sd[r], se_mean=sd[r] / math.sqrt(draws),
                 se_sd=math.sqrt(max(c4[r] - var[r] ** 2, 0) / draws) / (2 * sd[r]) if sd[r] > 0 else 0.0)
            for r in range(len(ref))]


def quantity_names(sites):
    central, ligands = sites
    names = []
    for lig in ligands:
        names.append(short(lig))
    angles = ["%s-%s-%s" % (names[i], central, names[j])
              for i in range(len(names)) for j in range(i + 1, len(names))]
    return ["sum"] + angles + ["%s-%s" % (central, x) for x in names]


def short(lig):
    def one(site):
        label, op, t = site
        return label if (op == 0 and t == (0, 0, 0)) else site_code(site)
    return one(lig[0]) if len(lig) == 1 else "[" + " ".join(one(x) for x in lig) + "]"


# ----------------------------------------------------------------------------
# Cases.
CASES = {
    "a": dict(title="P2_1 3: AsCl3 pyramid, As on (x,x,x), Cl general",
              stem="hand_sym_p213_ex3", central="As1", ligands=["Cl1#1_555", "Cl1#5_555", "Cl1#9_555"]),
    "a_flat": dict(title="P2_1 3: nearly planar AsCl3, As on (x,x,x)",
                   stem="hand_sym_p213_ex3_flat", central="As1", ligands=["Cl1#1_555", "Cl1#5_555", "Cl1#9_555"]),
    "b": dict(title="P3m1: SbCl3 pyramid, Sb and Cl1 on (x,2x,z), Cl2 general (+ mirror image)",
              stem="hand_sym_p3m1_x2xz", central="Sb1", ligands=["Cl1", "Cl2#1_555", "Cl2#5_555"]),
    "c": dict(title="P2_1/m: N on the mirror y = 1/4 with C1 on it, C2 general (+ mirror image)",
              stem="hand_sym_p21m_mirror", central="N1", ligands=["C1", "C2#1_555", "C2#4_555"]),
    "d": dict(title="Pa-3, cubic cell with su on a only: SiFCl3, Si and F on (x,x,x)",
              stem="hand_sym_pa3_cubic", central="Si1", ligands=["F1", "Cl1#1_555", "Cl1#5_555", "Cl1#9_555"]),
    "d_cent": dict(title="Pa-3, same structure: Si1 with Cl1, Cl1#5_555 and the centroid of F1 and Cl1#9_555",
                   stem="hand_sym_pa3_cubic", central="Si1", ligands=["Cl1#1_555", "Cl1#5_555", "[F1 Cl1#9_555]"]),
    "d_fixed": dict(title="Pa-3, same structure: Si1 with F1, Cl1 and the centroid of Cl1#5_555 and Cl1#9_555 "
                          "(all in one plane through the three-fold axis: sum fixed at 360 by symmetry)",
                    stem="hand_sym_pa3_cubic", central="Si1", ligands=["F1", "Cl1#1_555", "[Cl1#5_555 Cl1#9_555]"]),
}
FINAL_DRAWS, FINAL_SEED = 1_000_000, 20240601
CHECK_DRAWS, CHECK_SEED = 20000, 12345


def run(path, central, ligand_args, naive=False):
    s = read_structure(path)
    if central not in s.atoms:
        raise ValueError("no atom " + central)
    ligs = resolve_sites(s, central, parse_ligands(ligand_args))
    labels = sorted({central} | {x[0] for lig in ligs for x in lig}, key=list(s.atoms).index)
    model = Model(s, labels, naive=naive)
    sites = (central, ligs)
    return s, model, sites


def fmt(x, nd=5):
    """Fixed decimals; below that an e-notation value, and 0 at rounding level."""
    if abs(x) >= 0.5 * 10 ** -nd:
        return "%.*f" % (nd, x)
    return "%.1e" % x if abs(x) > 1e-12 else "0"


def describe_model(model):
    lines = ["free parameters (%d): %s" % (model.n, ", ".join(model.names)),
             "cell free parameters by lattice symmetry: %s" % ", ".join(model.cell_free)]
    for lab in model.A:
        cols = model.A[lab]
        if cols:
            expr = []
            for r in range(3):
                terms = ["%s d%s" % (fmt(col[r], 3), model.names[i]) for col, i in cols if col[r] != 0]
                expr.append("d%s = %s" % ("xyz"[r], " + ".join(terms) if terms else "0"))
            lines.append("%s: %s" % (lab, "; ".join(expr)))
        else:
            lines.append("%s: fixed" % lab)
    return lines + model.fixed_notes


def report_case(path, central, ligand_args, draws=FINAL_DRAWS, seed=FINAL_SEED, out=print):
    s, model, sites = run(path, central, ligand_args)
    names = quantity_names(sites)
    prop = propagate(model, sites)
    mc = monte_carlo(model, sites, draws, seed)
    _, nmodel, _ = run(path, central, ligand_args, naive=True)
    old = propagate(nmodel, sites)
    out("Input: `%s` (%s%s), %d operators" % (os.path.basename(path), s.kind,
        " + " + os.path.basename(path.rsplit(".", 1)[0] + ".mat") if s.mat is not None else "", len(s.ops)))
    out("")
    out("Ligands resolved: " + ", ".join(" ".join(site_code(x) for x in lig) for lig in sites[1]))
    out("")
    for line in describe_model(model):
        out("- " + line)
    out("")
    out("| quantity | value | su 1st coord | su 1st cell | su 1st | su 2nd | shift | su total "
        "| MC mean (se) | MC sd (se) | OLD su 1st cell | OLD su total |")
    out("|---|---|---|---|---|---|---|---|---|---|---|---|")
    for nm, p, c, o in zip(names, prop, mc, old):
        out("| %s | %.5f | %s | %s | %s | %s | %s | %s | %.5f (%.1e) | %.5f (%.1e) | %s | %s |" % (
            nm, p["value"], fmt(p["su1_coord"]), fmt(p["su1_cell"]), fmt(p["su1"]), fmt(p["su2"]),
            fmt(p["shift"]), fmt(p["total"]), c["mean"], c["se_mean"], c["sd"], c["se_sd"],
            fmt(o["su1_cell"]), fmt(o["total"])))
    out("")
    out("MC: %d draws over the free parameters, seed %d. Angles and sums in deg, distances in A. "
        "OLD = naive treatment (%s)." % (draws, seed,
            "coordinates listed in the matrix only, a, b, c from ZERR independent" if s.mat is not None
            else "every written coordinate su independent, a, b, c independent"))
    o = old[0]
    out("")
    out("OLD sum: su 1st %s (cell %s), su 2nd %s, shift %s, total %s" % (
        fmt(o["su1"]), fmt(o["su1_cell"]), fmt(o["su2"]), fmt(o["shift"]), fmt(o["total"])))
    out("")
    return prop, mc, old


def case_paths(key):
    c = CASES[key]
    return [os.path.join(HERE, c["stem"] + ext) for ext in (".cif", ".res")]


def report(key, out=print, summary=None):
    c = CASES[key]
    out("## Case %s: %s" % (key, c["title"]))
    out("")
    for path in case_paths(key):
        out("```")
        out("koravel %s %s %s" % (os.path.basename(path), c["central"],
                                  " ".join("'%s'" % l if " " in l else l for l in c["ligands"])))
        out("python3 free_parameter_mc.py %s %s %s" % (os.path.basename(path), c["central"],
                                                        " ".join("'%s'" % l if " " in l else l for l in c["ligands"])))
        out("```")
        out("")
        prop, mc, old = report_case(path, c["central"], c["ligands"], out=out)
        if summary is not None:
            summary.append((key, os.path.basename(path), prop[0], mc[0], old[0]))


def print_summary(summary, out=print):
    out("| case | input | sum | su 1st | su 2nd | shift | su total | MC mean (se) | MC sd (se) "
        "| OLD su 1st | OLD su total |")
    out("|---|---|---|---|---|---|---|---|---|---|---|")
    for key, name, p, c, o in summary:
        out("| %s | %s | %.5f | %s | %s | %s | %s | %.5f (%.1e) | %.5f (%.1e) | %s | %s |" % (
            key, name, p["value"], fmt(p["su1"]), fmt(p["su2"]), fmt(p["shift"]), fmt(p["total"]),
            c["mean"], c["se_mean"], c["sd"], c["se_sd"], fmt(o["su1"]), fmt(o["total"])))


# ----------------------------------------------------------------------------
# Checks.
def checks():
    failures = []

    def expect(cond, what):
        print(("ok    " if cond else "FAIL  ") + what)
        if not cond:
            failures.append(what)

    # site symmetry: free coordinates and B for positions of known Wyckoff type
    p213 = [parse_symop(t) for t in ["x,y,z", "-x+1/2,-y,z+1/2", "-x,y+1/2,-z+1/2", "x+1/2,-y+1/2,-z",
            "z,x,y", "z+1/2,-x+1/2,-y", "-z+1/2,-x,y+1/2", "-z,x+1/2,-y+1/2",
            "y,z,x", "-y,z+1/2,-x+1/2", "y+1/2,-z+1/2,-x", "-y+1/2,-z,x+1/2"]]
    p3m1 = [parse_symop(t) for t in ["x,y,z", "-y,x-y,z", "-x+y,-x,z", "-y,-x,z", "-x+y,y,z", "x,x-y,z"]]
    p21m = [parse_symop(t) for t in ["x,y,z", "-x,y+1/2,-z", "-x,-y,-z", "x,-y+1/2,z"]]
    site_table = [
        ("(x,x,x) P2_13", [0.21, 0.21, 0.21], p213, [0], [[1], [1], [1]]),
        ("(x,x,x)+cell P2_13", [0.21, 1.21, -0.79], p213, [0], [[1], [1], [1]]),
        ("(x,2x,z) P3m1", [0.15, 0.30, 0.2], p3m1, [0, 2], [[1, 0], [2, 0], [0, 1]]),
        ("(x,-x,z) P3m1", [0.15, 0.85, 0.2], p3m1, [0, 2], [[1, 0], [-1, 0], [0, 1]]),
        ("(0,0,z) P3m1", [0.0, 0.0, 0.2], p3m1, [2], [[0], [0], [1]]),
        ("(x,1/4,z) P2_1/m", [0.3, 0.25, 0.1], p21m, [0, 2], [[1, 0], [0, 0], [0, 1]]),
        ("general P2_1/m", [0.3, 0.2, 0.1], p21m, [0, 1, 2], np.eye(3).tolist()),
        ("centre -1 P2_1/m", [0.5, 0.0, 0.0], p21m, [], np.zeros((3, 0)).tolist()),
    ]
    for name, frac, ops, free, B in site_table:
        N = allowed_displacements(frac, ops)
        axes = select_rows(N, [0, 1, 2]) if N[0] else []
        got = expand_matrix(N, axes) if axes else np.zeros((3, 0))
        expect(axes == free and np.allclose(got, np.array(B, dtype=float).reshape(3, len(free))),
               "site %-20s free %s" % (name, "".join("xyz"[a] for a in axes) or "-"))

    # lattice symmetry: free cell parameters
    p4 = [parse_symop(t) for t in ["x,y,z", "-y,x,z", "-x,-y,z", "y,-x,z"]]
    r3 = [parse_symop(t) for t in ["x,y,z", "z,x,y", "y,z,x"]]
    p2 = [parse_symop(t) for t in ["x,y,z", "-x,y,-z"]]
    cell_table = [
        ("cubic", [10.1, 10.1, 10.1, 90, 90, 90], p213, ["a"], [1, 1, 1, 0, 0, 0]),
        ("tetragonal", [5.0, 5.0, 7.0, 90, 90, 90], p4, ["a", "c"], None),
        ("hexagonal", [7.8, 7.8, 6.2, 90, 90, 120], p3m1, ["a", "c"], None),
        ("rhombohedral", [6.0, 6.0, 6.0, 80, 80, 80], r3, ["a", "alpha"], None),
        ("monoclinic", [6.1, 9.9, 7.4, 90, 101.2, 90], p2, ["a", "b", "c", "beta"], None),
        ("triclinic", [6.1, 7.3, 8.2, 81, 84, 77], [parse_symop("x,y,z"), parse_symop("-x,-y,-z")],
         CELL_NAMES, None),
    ]
    for name, cell, ops, free, col in cell_table:
        idx, B = cell_free_subspace(cell, ops)
        ok = [CELL_NAMES[i] for i in idx] == free and (col is None or np.allclose(B[:, 0], col))
        expect(ok, "cell %-13s free %s" % (name, ",".join(CELL_NAMES[i] for i in idx)))

    # exact derivatives against central differences (case b: hexagonal, correlations)
    s, model, sites = run(case_paths("b")[1], CASES["b"]["central"], CASES["b"]["ligands"])
    value, g, H = derivatives(model, sites)
    h = 1e-5
    f = lambda q: np.array(geometry(model, sites, list(q), NPMath))
    gn, Hn = np.zeros_like(g), np.zeros_like(H)
    E = np.eye(model.n) * h
    for i in range(model.n):
        gn[:, i] = (f(E[i]) - f(-E[i])) / (2 * h)
        for j in range(model.n):
            Hn[:, i, j] = (f(E[i] + E[j]) - f(E[i] - E[j]) - f(E[j] - E[i]) + f(-E[i] - E[j])) / (4 * h * h)
    expect(np.allclose(g, gn, rtol=1e-6, atol=1e-6 * abs(g).max()) and
           np.allclose(H, Hn, rtol=1e-3, atol=1e-3 * abs(H).max()),
           "hyper-dual gradient and Hessian = finite differences")

    # CIF and .res/.mat give the same numbers where the matrix holds the CIF's su
    for key in ("a", "a_flat", "c", "d"):
        cif, res = [propagate(*run(p, CASES[key]["central"], CASES[key]["ligands"])[1:]) for p in case_paths(key)]
        same = all(abs(x[k] - y[k]) < 1e-9 for x, y in zip(cif, res) for k in ("value", "total", "shift"))
        expect(same, "case %-7s CIF = .res/.mat (value, su, shift of every quantity)" % key)

    # cubic cell: no cell contribution to any angle or sum; nonzero in the OLD model
    for key in ("a", "d", "d_cent", "d_fixed"):
        for path in case_paths(key):
            n_ang = len(CASES[key]["ligands"]) * (len(CASES[key]["ligands"]) - 1) // 2
            new = propagate(*run(path, CASES[key]["central"], CASES[key]["ligands"])[1:])[:1 + n_ang]
            old = propagate(*run(path, CASES[key]["central"], CASES[key]["ligands"], naive=True)[1:])[:1 + n_ang]
            expect(max(p["su1_cell"] for p in new) < 1e-12 and min(p["su1_cell"] for p in old[1:]) > 1e-6,
                   "case %-7s %s: cell su of sum and angles 0 (OLD: up to %.5f)"
                   % (key, os.path.basename(path)[-3:], max(p["su1_cell"] for p in old)))

    # a sum fixed by symmetry: su 0 over the free parameters, not in the OLD model
    for path in case_paths("d_fixed"):
        _, model, sites = run(path, CASES["d_fixed"]["central"], CASES["d_fixed"]["ligands"])
        p = propagate(model, sites)[0]
        c = monte_carlo(model, sites, CHECK_DRAWS, CHECK_SEED)[0]
        o = propagate(*run(path, CASES["d_fixed"]["central"], CASES["d_fixed"]["ligands"], naive=True)[1:])[0]
        expect(abs(p["value"] - 360) < 1e-9 and p["total"] < 1e-9 and c["sd"] < 1e-9 and o["total"] > 1e-6,
               "case d_fixed %s: sum %.6f, su %.1e, MC sd %.1e (OLD su %.1e)"
               % (os.path.basename(path)[-3:], p["value"], p["total"], c["sd"], o["total"]))

    # 20000-draw MC against the propagation (three-ligand cases)
    for key in ("a", "a_flat", "b", "c", "d_cent"):
        for path in case_paths(key):
            _, model, sites = run(path, CASES[key]["central"], CASES[key]["ligands"])
            p = propagate(model, sites)[0]
            c = monte_carlo(model, sites, CHECK_DRAWS, CHECK_SEED)[0]
            ratio = c["sd"] / p["total"]
            z = (c["mean"] - (p["value"] + p["shift"])) / c["se_mean"]
            expect(abs(ratio - 1) < 0.05 and abs(z) < 3,
                   "case %-7s %s: MC sd %.4f / su %.4f = %.3f; mean %.4f vs value+shift %.4f: %+.2f se"
                   % (key, os.path.basename(path)[-3:], c["sd"], p["total"], ratio, c["mean"],
                      p["value"] + p["shift"], z))
    print("%d failure(s)" % len(failures))
    return not failures


def main(argv):
    opts = {a.split("=")[0]: a.split("=", 1)[1] if "=" in a else "" for a in argv if a.startswith("--")}
    args = [a for a in argv if not a.startswith("--")]
    if not args:
        summary = []
        for key in CASES:
            report(key, summary=summary)
        out = print
        out("## Summary: the angle sum (deg)")
        out("")
        print_summary(summary)
        return 0
    if args[0] == "check":
        return 0 if checks() else 1
    if args[0] in CASES:
        report(args[0])
        return 0
    path, central, ligands = args[0], args[1], args[2:]
    if "--naive" in opts:
        s, model, sites = run(path, central, ligands, naive=True)
        for nm, p in zip(quantity_names(sites), propagate(model, sites)):
            print("%-30s %.4f  su1 %s (cell %s)  su2 %s  shift %s  total %s" % (
                nm, p["value"], fmt(p["su1"]), fmt(p["su1_cell"]), fmt(p["su2"]), fmt(p["shift"]), fmt(p["total"])))
        return 0
    report_case(path, central, ligands, draws=int(opts.get("--draws", FINAL_DRAWS)),
                seed=int(opts.get("--seed", FINAL_SEED)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
