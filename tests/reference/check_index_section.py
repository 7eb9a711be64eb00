#!/usr/bin/python3
"""Recomputes the "Geometry indices:" section of every end-to-end case.

For each tests/e2e/cases/*.case whose expected stdout has a "Geometry indices:"
section, this script rebuilds the central atom and the ligands from the case's
ligand table (labels, n_klm codes, centroids with their "CgN = centroid of"
lines, in the printed order L1, L2, ...), evaluates every index and every gap
that a note can flag, propagates their su over the free parameters and
compares the result with the printed text:

* value(su) by the rule of 19 (su with two digits when they make 10..19, one
  otherwise; the value to the su's last digit); without su the value with
  fixed decimals (h 3, tau 4, sigma2 2, <lambda> 4, Sigma 2, Theta 2, zeta 4,
  Delta 7); |h|/su with one decimal;
* su = sqrt(V1 + V2): V1 = J C J^T over coordinates and cell, V2 =
  1/2 tr((HC)^2) over the coordinates (the cell to first order only);
* "fixed by symmetry" exactly where parameters have su and the su is zero,
  unless the free coordinates all lack an su;
  no su where the input has none (XYZ, SHELX without .mat, CIF without su);
* the second-order note (share of V2 >= 10 %, expectation shift 1/2 tr(HC));
* gap notes: every printed gap value(su) must be a gap within 3 su of zero,
  and every kind of gap within 3 su must have its note (CN 4/5: 2nd - 3rd
  largest angle, beta - alpha; CN 6: smallest trans - largest cis, a cis
  90 - a cis angle, a bond - the mean bond, 60 - a twist angle);
* under --mc=N the printed Monte Carlo mean and sd against our own 200000
  draws of the free parameters (4 combined standard errors + half a last digit);
* the ligand set: the printed distances, and every ligand argument of the
  args: line (a plain label, LABEL#n_klm, a bracketed or cent(...) centroid)
  must be a table entry (arguments with an Olex2 suffix _$n are not checked).

The gaps' su follow the same rule as the indices'. In the present cases the
second-order term never changes a printed digit (its largest share of the
variance is 4.5 %, sigma2 of P1 in fc_sad-final.cif), so they do not tell
sqrt(V1 + V2) from sqrt(V1); a mismatch line shows both, and V2 with the cell.

A last-digit difference that disappears when the value moves by 1e-6
(relative, plus 1e-9 absolute) or the su by 0.1 % is a rounding-boundary case:
reported as "boundary", not as a mismatch.

Independence: the structures are read and the free parameters, their
covariance and the symmetry ties are built by free_parameter_mc.py (its
readers' helpers, Model, orth_matrix, image_frac and hyper-dual numbers);
the CIF and SHELX readers here only add what its readers lack (a named data
block, DDLm tags, a null operator row, '!' comments, RESI label suffixes) and
XYZ files are read here. The indices are implemented below from their
published definitions in hyper-dual arithmetic (exact first and second
derivatives) and every value is cross-checked against geometry_indices.py
(numpy, written separately from the same definitions, copied unchanged from
the index reference work). No code or output of the C++ program is used: only
the expected stdout of the cases is read, as the thing to be checked.

Run from anywhere (about 5 s):
    /usr/bin/python3 tests/reference/check_index_section.py [-v] [--cases=DIR] [CASE ...]
-v prints every compared item; CASE names (without .case) restrict the run;
--cases=DIR reads the cases from another folder (the data stay tests/data).
Exit status 1 on a real mismatch (boundary cases alone give 0).
"""
import itertools
import math
import os
import re
import shlex
import sys
import time

try:
    import numpy as np
    import gemmi
except ImportError:  # Debian's python3-numpy and python3-gemmi
    print("skipped: this check needs numpy and gemmi (python3-numpy, python3-gemmi)")
    sys.exit(77)

HERE = os.path.dirname(os.path.abspath(__file__))
TESTS = os.path.dirname(HERE)
sys.path[:0] = [HERE, os.path.join(TESTS, "e2e")]
import free_parameter_mc as fpm          # noqa: E402
import geometry_indices as gi            # noqa: E402
from run_case import parse_case          # noqa: E402

HD, HDMath = fpm.HD, fpm.HDMath
THETA_T = math.degrees(math.acos(-1.0 / 3.0))
DEG = 180.0 / math.pi
FIXED_DECIMALS = {"h": 3, "tau4": 4, "tau4'": 4, "tau5": 4, "sigma2": 2, "<lambda>": 4,
                  "Sigma": 2, "Theta": 2, "zeta": 4, "Delta": 7}
UNITS = {"h": "A", "zeta": "A", "Sigma": "deg", "Theta": "deg", "sigma2": "deg2"}
EPS_VALUE, EPS_ABS, EPS_SU = 1e-6, 1e-9, 1e-3
MC_DRAWS, MC_SEED = 200000, 20240611
# A ligand's name in the tables: a label, or an eta-bonded group by its atoms in brackets.
NAME = r"\[[^]]*\]|\S+"


# ---------------------------------------------------------------------------- readers
def read_cif(path, block_name):
    """CIF through free_parameter_mc's helpers; a named block, DDL1 or DDLm tags,
    a null operator row kept in place (as identity) so that the rows keep their numbers."""
    doc = gemmi.cif.read(path)
    block = next(b for b in doc if b.name.lower() == block_name.lower()) if len(doc) > 1 else doc.sole_block()

    def value(tag):
        for t in (tag, tag.replace("_", ".", 2).replace(".", "_", 1)):
            v = block.find_value(t)
            if v is not None:
                return v
        return None
    s = fpm.Structure()
    s.kind, s.path = "CIF", path
    cell = []
    for tag in ["_cell_length_a", "_cell_length_b", "_cell_length_c",
                "_cell_angle_alpha", "_cell_angle_beta", "_cell_angle_gamma"]:
        v = value(tag)
        cell.append(fpm.split_su(v) if v not in (None, "?", ".") else (90.0, 0.0))
    s.cell, s.cell_su = [v for v, _ in cell], [e for _, e in cell]
    s.ops = [fpm.parse_symop("x,y,z")]
    for tag in ["_space_group_symop_operation_xyz", "_space_group_symop.operation_xyz",
                "_symmetry_equiv_pos_as_xyz", "_symmetry_equiv.pos_as_xyz"]:
        col = block.find_values(tag)
        if len(col):
            s.ops = [fpm.parse_symop("x,y,z") if t in ("?", ".") else fpm.parse_symop(gemmi.cif.as_string(t))
                     for t in col]
            # a loop that lacks the identity (with or without a lattice translation)
            # gets x, y, z as its next operator, as the program's header note says
            if not any(np.allclose(W, np.eye(3)) and all(abs(t - round(t)) < 1e-9 for t in w) for W, w in s.ops):
                s.ops.append(fpm.parse_symop("x,y,z"))
            break
    else:  # no operator loop: gemmi's operators of the space-group symbol
        hall = next((v for v in map(value, ["_space_group_name_Hall", "_symmetry_space_group_name_Hall"])
                     if v not in (None, "?", ".")), None)
        hm = next((v for v in map(value, ["_space_group_name_H-M_alt", "_symmetry_space_group_name_H-M"])
                   if v not in (None, "?", ".")), None)
        if hall or hm:
            ops = gemmi.symops_from_hall(gemmi.cif.as_string(hall)) if hall else \
                gemmi.find_spacegroup_by_name(gemmi.cif.as_string(hm)).operations()
            s.ops = [fpm.parse_symop(op.triplet()) for op in ops]
    for prefix in ("_atom_site_", "_atom_site."):
        table = block.find(prefix, ["label", "fract_x", "fract_y", "fract_z"])
        if len(table):
            break
    for row in table:
        xyz = [fpm.split_su(row[k]) for k in (1, 2, 3)]
        s.atoms[gemmi.cif.as_string(row[0])] = [v for v, _ in xyz]
        s.atom_su[gemmi.cif.as_string(row[0])] = [e for _, e in xyz]
    return s


def read_shelx(path):
    """.res/.ins with free_parameter_mc's helpers; '!' comments dropped, atoms of
    RESI n named label_n; the .mat of the same stem, when present."""
    s = fpm.Structure()
    s.kind, s.path = "SHELX", path
    s.cell_su = [0.0] * 6
    latt, symm, fvar, resi, pending = 1, [], [], 0, ""
    for raw in open(path):
        line = raw.split("!")[0].rstrip()
        if line.endswith("="):
            pending += line[:-1] + " "
            continue
        line, pending = pending + line, ""
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
            symm.append(fpm.parse_symop(line.strip()[4:]))
        elif name == "FVAR":
            fvar += [float(t) for t in tok[1:]]
        elif name == "RESI":
            numbers = [t for t in tok[1:] if re.fullmatch(r"\d+", t)]
            resi = int(numbers[0]) if numbers else 0
        elif name in ("END", "HKLF"):
            break
        elif (name not in fpm.SHELX_INSTRUCTIONS and len(tok) >= 5 and re.fullmatch(r"\d+", tok[1])
              and not re.fullmatch(r"[Qq]\d+", tok[0])):
            label = tok[0] + ("_%d" % resi if resi else "")
            s.atoms[label] = [fpm.decode_shelx(float(t), fvar) for t in tok[2:5]]
    s.ops = fpm.shelx_operators(latt, symm)
    mat = path.rsplit(".", 1)[0] + ".mat"
    if os.path.exists(mat):
        s.mat = fpm.read_mat(mat)
    return s


def read_xyz(path, scheme):
    """First frame of an XYZ file, as fractional coordinates of a 1 A cubic cell.
    Labels as given; bare elements named by the scheme (olex: element + (k + 1)
    for the k-th atom, position: element + k, element: running number per element),
    in a file mixing both the Olex2 way, or the bare element if it is the only one."""
    lines = open(path).read().splitlines()
    count = int(lines[0].split()[0])
    rows = [re.split(r"[\s,]+", l.strip()) for l in lines[2:2 + count]]
    bare = [re.fullmatch(r"[A-Za-z]{1,2}", r[0]) is not None for r in rows]
    s = fpm.Structure()
    s.kind, s.path, s.cell, s.ops = "XYZ", path, [1.0, 1.0, 1.0, 90.0, 90.0, 90.0], [fpm.parse_symop("x,y,z")]
    seen = {}
    for k, (r, b) in enumerate(zip(rows, bare), start=1):
        xyz = [float(x.replace("D", "E").replace("d", "e")) for x in r[1:4]]
        el = r[0][0].upper() + r[0][1:].lower()
        if not b:
            label = r[0]
        elif not all(bare):
            label = el if sum(1 for rr, bb in zip(rows, bare) if bb and rr[0].lower() == r[0].lower()) == 1 \
                else el + str(k + 1)
        else:
            seen[el] = seen.get(el, 0) + 1
            label = el + str({"olex": k + 1, "position": k, "element": seen[el]}[scheme])
        s.atoms[label] = xyz
    return s


class FixedModel:
    """No parameters: the positions as read."""
    def __init__(self, s):
        self.s, self.n, self.ncoord, self.C = s, 0, 0, np.zeros((0, 0))

    def fracs(self, q):
        return self.s.atoms

    def cell(self, q):
        return self.s.cell


# ---------------------------------------------------------------------------- the case
def parse_code(token):
    """LABEL, LABEL#n_klm or LABEL#n_k_l_m (translations beyond one digit)."""
    m = re.fullmatch(r"(.+?)#(\d+)_(-?\d+)_(-?\d+)_(-?\d+)", token)
    if m:
        return (m.group(1), int(m.group(2)) - 1, tuple(int(m.group(k)) - 5 for k in (3, 4, 5)))
    m = re.fullmatch(r"(.+?)(?:#(\d+)_(\d)(\d)(\d))?", token)
    if m.group(2) is None:
        return (m.group(1), 0, (0, 0, 0))
    return (m.group(1), int(m.group(2)) - 1, tuple(int(m.group(k)) - 5 for k in (3, 4, 5)))


def parse_report(lines):
    r = dict(file=None, kind=None, block=None, central=None, ligands=[], indices={}, notes=[],
             has_section=False, angles={})
    centroids, rows = {}, []
    in_table = in_section = False
    for line in lines:
        m = re.match(r"  (%s)\s+- (\S+)\s+- (%s)\s+(-?[\d.]+)(?:\(\d+\))?\s+\((?:CIF|calculated)\)$"
                     % (NAME, NAME), line)
        if m:   # an angle row, by the names the notes use for it
            r["angles"][(m.group(1), m.group(2), m.group(3))] = m.group(4)
        m = re.match(r"(CIF|SHELX|XYZ) file\s*: (.+)$", line)
        if m:
            r["kind"], r["file"] = m.group(1), m.group(2)
        m = re.match(r"Data block\s*: (\S+)", line)
        if m:
            r["block"] = m.group(1)
        m = re.match(r"Central atom : (\S+)", line)
        if m:
            r["central"] = m.group(1)
        if re.match(r"Ligands \(\d+\):$", line):
            in_table = True
            continue
        if in_table:
            if not line.strip():
                in_table = False
            m = re.match(r"\s+\d+\s+(%s)\s+(\S+)\s+(\S+)\s*$" % NAME, line)
            if m:
                rows.append(m.groups())
            m = re.match(r"\s+(Cg\d+|\[[^]]*\]) = centroid of (.+?)\s+\(\d+ atoms?, unit weights\)$", line)
            if m:
                centroids[m.group(1)] = [parse_code(t) for t in m.group(2).split()]
            continue
        if line == "Geometry indices:":
            in_section = r["has_section"] = True
            continue
        if in_section:
            if not line.strip():
                in_section = False
            elif line.startswith("  Note: "):
                r["notes"].append(line[8:])
            elif line.startswith("       ") and r["notes"]:
                r["notes"][-1] += " " + line.strip()
            else:
                m = re.match(r"  (\S+)\s*= (\S+)(?: (A|deg2|deg)\b)?\s*(.*)$", line)
                if m:
                    r["indices"][m.group(1)] = dict(text=m.group(2), unit=m.group(3), desc=m.group(4))
                else:
                    r["indices"]["?" + line] = dict(text="", unit=None, desc="")
    for label, code, dist in rows:
        site = centroids[label] if code == "centroid" else [parse_code(label + "#" + code)]
        shown = label if code in ("centroid", "1_555") else label + "#" + code  # as the notes name it
        r["ligands"].append(dict(label=label, shown=shown, sites=site, dist=dist))
    return r


def same_sites(table, group):
    """Do the sites of a ligand argument (a plain label: any image) make up a table entry?"""
    rest = list(table)
    for label, op, t in group:
        hit = next((x for x in rest if x[0].lower() == label.lower() and (op is None or x[1:] == (op, t))), None)
        if hit is None:
            return False
        rest.remove(hit)
    return not rest


def find_label(s, label):
    if label in s.atoms:
        return label
    hits = [k for k in s.atoms if k.lower() == label.lower()]
    if len(hits) != 1:
        raise ValueError("no atom %s in %s" % (label, os.path.basename(s.path)))
    return hits[0]


# ---------------------------------------------------------------------------- indices in hyper-dual arithmetic
def val(x):
    return x.a if isinstance(x, HD) else float(x)


def habs(x):
    return -x if val(x) < 0 else x


def cbrt(x):
    if not isinstance(x, HD):
        return math.copysign(abs(x) ** (1.0 / 3.0), x)
    r = x.a ** (1.0 / 3.0)
    return x._apply(r, r / (3 * x.a), -2 * r / (9 * x.a * x.a))


def dot(u, v):
    return u[0] * v[0] + u[1] * v[1] + u[2] * v[2]


def cross(u, v):
    return [u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]]


def sub(u, v):
    return [a - b for a, b in zip(u, v)]


def mean_point(ps):
    return [sum(p[k] for p in ps) * (1.0 / len(ps)) for k in range(3)]


def angle(u, v):
    """Degrees. Values through atan2(|u x v|, u.v); derivatives through acos, except
    within 1e-7 rad of 0 or 180 deg (a symmetry-imposed trans angle): the angle is at
    its extremum there, so its derivatives are taken as zero."""
    a = math.degrees(math.atan2(math.sqrt(sum(val(x) ** 2 for x in cross(u, v))), val(dot(u, v))))
    c = dot(u, v) / HDMath.sqrt(dot(u, u) * dot(v, v))
    if not isinstance(c, HD):
        return a
    if 1 - c.a ** 2 < 1e-14:
        return HD(a)
    r = HDMath.acos(c) * DEG
    return HD(a, r.b, r.c, r.d)


def signed_angle(u, v, nrm):
    """Degrees, from u to v counter-clockwise seen along the unit normal nrm of their
    plane: atan2((u x v).nrm, u.v), its derivatives from atan(Y/X) after turning
    (u.v, (u x v).nrm) by the value's own angle (then Y = 0 and X > 0)."""
    y, x = dot(cross(u, v), nrm), dot(u, v)
    a = math.atan2(val(y), val(x))
    if not isinstance(x, HD) and not isinstance(y, HD):
        return math.degrees(a)
    t = (math.cos(a) * y - math.sin(a) * x) / (math.cos(a) * x + math.sin(a) * y)
    turn = t._apply(math.atan(t.a), 1 / (1 + t.a ** 2), -2 * t.a / (1 + t.a ** 2) ** 2) \
        if isinstance(t, HD) else math.atan(t)
    return (turn + a) * DEG


def tet_volume(a, b, c, d):
    return habs(dot(sub(b, a), cross(sub(c, a), sub(d, a)))) * (1.0 / 6.0)


def quantities(v):
    """[(key, value)] of the indices and the gap candidates of the ligand vectors v
    (M at the origin). key = ("index", name) or ("gap", kind, i)."""
    n = len(v)
    out = []
    pairs = list(itertools.combinations(range(n), 2))
    phi = [angle(v[i], v[j]) for i, j in pairs]
    d = [HDMath.sqrt(dot(x, x)) for x in v]
    down = sorted(range(len(phi)), key=lambda k: -val(phi[k]))
    if n == 3:
        nrm = cross(sub(v[1], v[0]), sub(v[2], v[0]))
        out.append((("index", "h"), -dot(nrm, v[0]) / HDMath.sqrt(dot(nrm, nrm))))
    elif n in (4, 5):
        beta, alpha, third = phi[down[0]], phi[down[1]], phi[down[2]]
        if n == 4:
            out.append((("index", "tau4"), (360 - alpha - beta) * (1 / (360 - 2 * THETA_T))))
            out.append((("index", "tau4'"), (beta - alpha) * (1 / (360 - THETA_T))
                        + (180 - beta) * (1 / (180 - THETA_T))))
            out.append((("index", "sigma2"), sum((p - THETA_T) * (p - THETA_T) for p in phi) * 0.2))
            vol = tet_volume(*v)
            out.append((("volume", "<lambda>"), vol))
            if val(vol) > 1e-12:                            # else not defined (coplanar ligands)
                l0 = cbrt(vol * (9 * math.sqrt(3) / 8))
                out.append((("index", "<lambda>"), sum(x * x for x in d) * 0.25 / (l0 * l0)))
        else:
            out.append((("index", "tau5"), (beta - alpha) * (1 / 60.0)))
        out.append((("gap", "second_third", 0), alpha - third))
        out.append((("gap", "beta_alpha", 0), beta - alpha))
    elif n == 6:
        up = down[::-1]
        cis = [phi[k] for k in up[:12]]
        out.append((("index", "Sigma"), sum(habs(90 - p) for p in cis)))
        dm = sum(d) * (1.0 / 6)
        trans = [pairs[k] for k in down[:3]]
        valid = sorted(i for p in trans for i in p) == list(range(6))
        twists = []
        if valid:
            vol = 0.0
            centre = mean_point(v)
            faces = []
            for bits in itertools.product((0, 1), repeat=2):
                choice = (0,) + bits
                f = [trans[k][c] for k, c in enumerate(choice)]
                g = [trans[k][1 - c] for k, c in enumerate(choice)]
                faces.append((f, g))
                for face in (f, g):
                    vol = vol + tet_volume(v[face[0]], v[face[1]], v[face[2]], centre)
            for f, g in faces:
                for (a, b, c), (a2, b2, c2) in ((f, g), (g, f)):   # x2 trans to x
                    nrm = cross(sub(v[b], v[a]), sub(v[c], v[a]))
                    nrm = [x / HDMath.sqrt(dot(nrm, nrm)) for x in nrm]
                    w = {i: sub(v[i], [dot(v[i], nrm) * x for x in nrm]) for i in range(6)}
                    ring = [a, c2, b, a2, c, b2]
                    twists += [signed_angle(w[ring[k]], w[ring[(k + 1) % 6]], nrm) for k in range(6)]
            out.append((("index", "Theta"), sum(habs(60 - t) for t in twists) * 0.5))
        out.append((("index", "zeta"), sum(habs(x - dm) for x in d)))
        out.append((("index", "Delta"), sum(((x - dm) / dm) * ((x - dm) / dm) for x in d) * (1.0 / 6)))
        out.append((("index", "sigma2"), sum((p - 90) * (p - 90) for p in cis) * (1.0 / 11)))
        if valid:
            out.append((("volume", "<lambda>"), vol))
        if valid and val(vol) > 1e-12:
            l0 = cbrt(vol * 0.75)
            out.append((("index", "<lambda>"), sum(x * x for x in d) * (1.0 / 6) / (l0 * l0)))
        out.append((("gap", "trans_cis", 0), phi[up[12]] - phi[up[11]]))
        out += [(("gap", "cis90", k), 90 - p) for k, p in enumerate(cis)]
        out += [(("gap", "bond", k), x - dm) for k, x in enumerate(d)]
        out += [(("gap", "twist", k), 60 - t) for k, t in enumerate(twists)]
    return out


def reference_values(v):
    """The same numbers from geometry_indices.py (numpy), for the cross-check."""
    p = np.vstack([np.zeros(3), np.array(v, dtype=float)])
    r = gi.all_indices(p)
    names = {"sigma2_tet": "sigma2", "sigma2_oct": "sigma2", "lambda_tet": "<lambda>",
             "lambda_oct": "<lambda>", "gap_2nd_3rd": "second_third", "gap_beta_alpha": "beta_alpha",
             "gap_trans_cis": "trans_cis", "gap_cis_90": "min|cis90|"}
    out = {names.get(k, k): x for k, x in r.items()}
    if len(v) == 6:
        out["twists"] = np.sort(np.ravel(gi.twist_angles(p)))
        d = gi.distances(p)
        out["bonds"] = np.sort(d - d.mean())
    return out


# ---------------------------------------------------------------------------- geometry and propagation
def ligand_vectors(model, central, ligands, q, m):
    fr = model.fracs(q)
    M = fpm.orth_matrix(model.cell(q), m)
    f0 = fr[central]
    out = []
    for group in ligands:
        acc = None
        for label, op, t in group:
            g = fpm.image_frac(fr[label], model.s.ops[op], t)
            acc = g if acc is None else [x + y for x, y in zip(acc, g)]
        df = [x * (1.0 / len(group)) - y for x, y in zip(acc, f0)]
        out.append([M[0][0] * df[0] + M[0][1] * df[1] + M[0][2] * df[2],
                    M[1][1] * df[1] + M[1][2] * df[2], M[2][2] * df[2]])
    return out


def propagate(model, f):
    """keys, values, and per quantity V1, V2 (coordinates), V2 (all), shift (coordinates)."""
    n = model.n
    base = f([0.0] * n)
    keys, value = [k for k, _ in base], np.array([val(x) for _, x in base])
    g, H = np.zeros((len(keys), n)), np.zeros((len(keys), n, n))
    for i in range(n):
        for j in range(i, n):
            q = [0.0] * n
            q[i] = HD(0.0, 1.0, 0.0, 0.0)
            q[j] = HD(0.0, 1.0, 1.0, 0.0) if i == j else HD(0.0, 0.0, 1.0, 0.0)
            for r, (_, o) in enumerate(f(q)):
                if isinstance(o, HD):
                    if i == j:
                        g[r, i] = o.b
                    H[r, i, j] = H[r, j, i] = o.d
    C, nc = model.C, model.ncoord
    res = {}
    for r, key in enumerate(keys):
        HC = H[r][:nc, :nc] @ C[:nc, :nc]
        HCall = H[r] @ C
        res[key] = dict(value=value[r], v1=float(g[r] @ C @ g[r]), v2=0.5 * float(np.trace(HC @ HC)),
                        v2all=0.5 * float(np.trace(HCall @ HCall)), shift=0.5 * float(np.trace(HC)))
        res[key]["su"] = math.sqrt(max(res[key]["v1"] + res[key]["v2"], 0.0))
    return res


# ---------------------------------------------------------------------------- formatting
def round_half_up(x):
    return int(math.floor(x + 0.5))


def fixed(x, decimals):
    text = "%.*f" % (max(decimals, 0), x)
    return text[1:] if re.fullmatch(r"-0\.?0*", text) else text


def su_decimals(su):
    e = math.floor(math.log10(su))
    return 1 - e if 10 <= round_half_up(su / 10.0 ** (e - 1)) <= 19 else -e


def value_su(x, su, decimals=None):
    if not su > 0:
        return fixed(x, decimals)
    dec = su_decimals(su)
    if dec >= 0:
        return "%s(%d)" % (fixed(x, dec), round_half_up(su * 10.0 ** dec))
    # an su of 20 or more is written whole, the value to the unit: 360(25), 672(237)
    return "%s(%d)" % (fixed(x, 0), round_half_up(su))


def compare(printed, x, su, decimals):
    """'ok', 'boundary' or 'mismatch' of the printed text against value x with su."""
    if printed == value_su(x, su, decimals):
        return "ok"
    dx = EPS_VALUE * abs(x) + EPS_ABS
    for xx in (x - dx, x, x + dx):
        for ss in ((su * (1 - EPS_SU), su, su * (1 + EPS_SU)) if su > 0 else (su,)):
            if printed == value_su(xx, ss, decimals):
                return "boundary"
    return "mismatch"


# ---------------------------------------------------------------------------- one case
GAP_WHAT = [("the 2nd and 3rd largest angles", "second_third"), ("beta - alpha", "beta_alpha"),
            ("the smallest trans and the largest cis angle", "trans_cis"), ("90 deg minus", "cis90"),
            ("minus the mean distance", "bond"), ("60 deg minus a trigonal twist angle", "twist")]


def check_case(path):
    directives, sections = parse_case(path)
    args = shlex.split(directives["args"] or "")
    opts = {}
    for a in args[1:]:
        m = re.fullmatch(r"-{0,2}(mc|xyznames|block)=(.*)", a)
        if m:
            opts[m.group(1)] = m.group(2)
    rep = parse_report(sections.get("stdout", []))
    rep["indices"].pop("V", None)          # the hull volume: check_shape_section.py
    if not rep["indices"]:
        return None
    items = []          # (status, what, printed, expected)

    def item(status, what, printed="", expected=""):
        items.append((status, what, printed, expected))

    file_path = os.path.join(TESTS, rep["file"])
    if rep["kind"] == "CIF":
        s = read_cif(file_path, rep["block"])
    elif rep["kind"] == "SHELX":
        s = read_shelx(file_path)
    else:
        s = read_xyz(file_path, opts.get("xyznames", "olex"))
    central = find_label(s, rep["central"])
    ligands = [[(find_label(s, lab), op, t) for lab, op, t in lig["sites"]] for lig in rep["ligands"]]
    labels = list(dict.fromkeys([central] + [x[0] for lig in ligands for x in lig]))
    model = FixedModel(s)
    if s.kind == "CIF" or s.mat is not None:
        model = fpm.Model(s, labels)
        if model.n == 0:
            model = FixedModel(s)
    has_su = model.n > 0

    def su_of(r, unit=None):
        """The su, 0 where only rounding made it (a value fixed by symmetry, an su below
        0.000005 A or 0.00005 deg, the noise of the arithmetic) or without su."""
        floor = max(1e-10 * max(1.0, abs(r["value"])), {"A": 5e-6, "deg": 5e-5}.get(unit, 0.0))
        return r["su"] if has_su and r["su"] >= floor else 0.0

    # the ligand set: the arguments (plain labels, n_klm codes, centroids) against the
    # table, and the printed distances
    words = [a for a in args[1:] if "=" not in a and not a.startswith("-")]
    given = fpm.parse_ligands(words)[1:] if words else []     # the first group is the central atom
    if given and len(given) != len(rep["ligands"]):
        item("mismatch", "number of ligands", str(len(rep["ligands"])), "%d as given" % len(given))
    for group in given:
        if any("$" in x[0] for x in group):               # an Olex2 suffix: which image is the program's choice
            continue
        hit = any(same_sites(lig["sites"], group) for lig in rep["ligands"])
        item("ok" if hit else "mismatch", "ligand argument " + " ".join(fpm.site_code(x) if x[1] is not None
                                                                       else x[0] for x in group),
             "", "in the table" if hit else "not in the table")
    vecs = ligand_vectors(model, central, ligands, [0.0] * model.n, fpm.NPMath)
    for lig, vec in zip(rep["ligands"], vecs):
        text = re.sub(r"\(\d+\)$", "", lig["dist"])
        decimals = len(text.split(".")[1]) if "." in text else 0
        dist = math.sqrt(sum(x * x for x in vec))
        item(compare(text, dist, 0.0, decimals), "distance %s" % lig["label"], text, fixed(dist, decimals))

    f = lambda q: quantities(ligand_vectors(model, central, ligands, q, HDMath))
    res = propagate(model, f)
    n = len(ligands)

    # cross-check against geometry_indices.py
    ref = reference_values(vecs)
    mine = {k[1]: r["value"] for k, r in res.items() if k[0] == "index"}
    mine.update({k[1]: r["value"] for k, r in res.items() if k[0] == "gap" and k[1] in
                 ("second_third", "beta_alpha", "trans_cis")})
    if n == 6:
        mine["min|cis90|"] = min(abs(r["value"]) for k, r in res.items() if k[:2] == ("gap", "cis90"))
        mine["twists"] = np.sort([60 - r["value"] for k, r in res.items() if k[:2] == ("gap", "twist")])
        mine["bonds"] = np.sort([r["value"] for k, r in res.items() if k[:2] == ("gap", "bond")])
    for name, x in ref.items():
        y = mine.get(name)
        if y is None and (np.all(~np.isfinite(x)) or ("volume", name) in res):
            continue                                  # Theta, <lambda> without a trans matching or volume
        if y is None or np.shape(x) != np.shape(y) or not np.allclose(x, y, rtol=1e-9, atol=1e-9):
            item("mismatch", "reference modules disagree on %s" % name, str(x), str(y))

    # the index lines
    expected_names = {3: ["h"] + (["|h|/su"] if su_of(res[("index", "h")], "A") > 0 else []) if n == 3 else [],
                      4: ["tau4", "tau4'", "sigma2", "<lambda>"], 5: ["tau5"],
                      6: ["Sigma", "Theta", "zeta", "Delta", "sigma2", "<lambda>"]}[n]
    expected_names = [x for x in expected_names if x == "|h|/su" or ("index", x) in res or ("volume", x) in res]
    if list(rep["indices"]) != expected_names:
        item("mismatch", "index lines", " ".join(rep["indices"]), " ".join(expected_names))
    mc_draws = int(opts["mc"]) if "mc" in opts else 0
    mc = monte_carlo(model, central, ligands) if mc_draws and has_su else None
    wrong_desc = []
    for name, line in rep["indices"].items():
        if name == "|h|/su":
            r = res[("index", "h")]
            if not su_of(r, "A") > 0:
                item("mismatch", name, line["text"], "none (no su)")
                continue
            ratio = abs(r["value"]) / r["su"]
            st = compare(line["text"], ratio, 0.0, 1)
            if st == "mismatch" and line["text"] in (fixed(ratio / (1 + EPS_SU), 1), fixed(ratio / (1 - EPS_SU), 1)):
                st = "boundary"
            item(st, name, line["text"], fixed(ratio, 1))
            continue
        if ("volume", name) in res:                 # "not defined" where the volume vanishes within 3 su
            vol = res[("volume", name)]
            dm = float(np.mean([math.sqrt(sum(x * x for x in vec)) for vec in vecs]))
            vanishes = abs(vol["value"]) <= 3 * su_of(vol) or abs(vol["value"]) < 1e-9 * dm ** 3
            printed_undefined = line["text"] == "not" and line["desc"] == "defined (coplanar ligands)"
            if vanishes or printed_undefined:
                item("ok" if vanishes == printed_undefined else "mismatch", name,
                     line["text"] + " " + line["desc"], "not defined (volume %.3g, su %.2g)" % (vol["value"], vol["su"])
                     if vanishes else "defined (volume %.3g, su %.2g)" % (vol["value"], vol["su"]))
                continue
        if ("index", name) not in res:
            continue
        r = res[("index", name)]
        su = su_of(r, UNITS.get(name))
        st = compare(line["text"], r["value"], su, FIXED_DECIMALS[name])
        exp = value_su(r["value"], su, FIXED_DECIMALS[name])
        if st == "mismatch" and has_su:
            first = value_su(r["value"], math.sqrt(r["v1"]), FIXED_DECIMALS[name])
            both = value_su(r["value"], math.sqrt(max(r["v1"] + r["v2all"], 0)), FIXED_DECIMALS[name])
            exp += " (first order only: %s; V2 with the cell: %s)" % (first, both)
        item(st, name, line["text"], exp)
        if line["unit"] != UNITS.get(name):
            item("mismatch", name + " unit", str(line["unit"]), str(UNITS.get(name)))
        # free coordinates that all lack an su hold nothing by symmetry: a zero su
        # there only says that the cell alone does not move the index
        coords_without_su = getattr(model, "ncoord", 0) == 0 and \
            any("free but without su" in note for note in getattr(model, "fixed_notes", []))
        want_fixed = has_su and su == 0.0 and not mc and not coords_without_su
        if (line["desc"] == "fixed by symmetry") != want_fixed:
            wrong_desc.append((name, line["desc"], "fixed by symmetry" if want_fixed else
                               "its meaning (%s)" % ("no su in this input" if not has_su else "su > 0")))
        if mc is not None:
            m = re.fullmatch(r"Monte Carlo: mean (\S+), sd (\S+)", line["desc"])
            key = {"<lambda>": "lambda_" + ("tet" if n == 4 else "oct"),
                   "sigma2": "sigma2_" + ("tet" if n == 4 else "oct")}.get(name, name)
            mean, sd = float(np.nanmean(mc[key])), float(np.nanstd(mc[key], ddof=1))
            dec = su_decimals(su if su > 0 else sd) + 1
            half = 0.5 * 10.0 ** -dec
            tol_mean = 4 * sd * math.sqrt(1.0 / mc_draws + 1.0 / MC_DRAWS) + half
            tol_sd = 4 * sd * math.sqrt(0.5 / mc_draws + 0.5 / MC_DRAWS) + half
            ok = m and abs(float(m.group(1)) - mean) <= tol_mean and abs(float(m.group(2)) - sd) <= tol_sd
            item("ok" if ok else "mismatch", name + " Monte Carlo", line["desc"],
                 "mean %s, sd %s (%d draws; tolerance %.1g, %.1g)"
                 % (fixed(mean, dec), fixed(sd, dec), MC_DRAWS, tol_mean, tol_sd))

    for printed, expected in dict.fromkeys((p, e) for _, p, e in wrong_desc):
        item("mismatch", "description of " + ", ".join(n for n, p, e in wrong_desc if (p, e) == (printed, expected)),
             repr(printed), expected)
    notes = list(rep["notes"])
    # second-order notes
    for name in rep["indices"]:
        r = res.get(("index", name))
        if r is None or not has_su or not r["su"] > 0:
            continue
        share = r["v2"] / r["su"] ** 2
        hit = [x for x in notes if x.startswith(name + " is near an extremum")]
        if share >= 0.1:
            text = ("%s is near an extremum: the second-order term (%s %% of the variance) is included; "
                    "expectation shift = %s." % (name, fixed(100 * share, 0),
                                                 fixed(r["shift"], su_decimals(r["su"]) + 1)))
            item("ok" if hit == [text] else "mismatch", name + " second-order note", " | ".join(hit), text)
        elif hit:
            item("boundary" if share > 0.1 * (1 - EPS_SU) else "mismatch", name + " second-order note",
                 hit[0], "none (second-order share %.4f)" % share)
        for x in hit:
            notes.remove(x)

    # gap notes
    for note in notes:
        m = (re.match(r"(.*) differ by (\S+) (deg|A), less than 3 su:", note)
             or re.match(r"(.*) is (\S+) (deg|A), less than 3 su from zero:", note))
        kind = next((k for w, k in GAP_WHAT if m and w in m.group(1)), None)
        if kind is None:
            item("mismatch", "unknown note", note)
            continue
        cands = [r for k, r in res.items() if k[:2] == ("gap", kind)]
        if kind == "cis90":
            # the angle the note names, with the symmetry codes of its ligands, is
            # one of the table whose 90 deg minus it is the note's value
            a, mm, b = re.match(r"90 deg minus (\S+?)-(\S+?)-(\S+)$", m.group(1)).groups()
            angle = rep["angles"].get((a, mm, b)) or rep["angles"].get((b, mm, a))
            near = angle is not None and abs(90 - float(angle) - float(re.sub(r"\(\d+\)$", "", m.group(2)))) \
                <= 0.5 * 10.0 ** -len(angle.partition(".")[2]) + 0.5 * 10.0 ** -len(m.group(2).split("(")[0].partition(".")[2])
            item("ok" if near else "mismatch", "note names angle " + m.group(1), m.group(2), angle or "no such angle")
        if kind == "bond":
            label = m.group(1).split()[0].split("-", 1)[1]
            cands = [res[("gap", "bond", i)] for i, lig in enumerate(rep["ligands"]) if lig["shown"] == label]
        sts = [compare(m.group(2), r["value"], r["su"], 2) for r in cands if abs(r["value"]) < 3 * r["su"]]
        st = "ok" if "ok" in sts else "boundary" if "boundary" in sts else "mismatch"
        if st == "mismatch" and any(compare(m.group(2), -r["value"], r["su"], 2) == "ok"
                                    for r in cands if abs(r["value"]) < 3 * r["su"]):
            st, m2 = "mismatch", m.group(2) + " (= minus the value the note names: sign reversed)"
        else:
            m2 = m.group(2)
        exp = ", ".join(value_su(r["value"], r["su"], 2) + ("" if abs(r["value"]) < 3 * r["su"] else " (not flagged)")
                        for r in sorted(cands, key=lambda r: abs(r["value"]) / max(r["su"], 1e-300))[:3])
        item(st, "note " + kind, m2, exp)
    printed_kinds = {k for note in notes for w, k in GAP_WHAT if w in note}
    if has_su:
        for kind in dict.fromkeys(k[1] for k in res if k[0] == "gap"):
            cands = [r for k, r in res.items() if k[:2] == ("gap", kind)]
            ratio = min(abs(r["value"]) / r["su"] if r["su"] > 0 else math.inf for r in cands)
            if ratio < 3 and kind not in printed_kinds:
                item("boundary" if ratio > 3 * (1 - EPS_SU) else "mismatch", "missing note " + kind, "",
                     "|gap|/su = %.3f" % ratio)
    return items


def monte_carlo(model, central, ligands):
    """The indices over MC_DRAWS draws of the free parameters (geometry_indices.py)."""
    rng = np.random.default_rng(MC_SEED)
    w, V = np.linalg.eigh(model.C)
    q = (V * np.sqrt(np.clip(w, 0, None))) @ rng.standard_normal((model.n, MC_DRAWS))
    v = np.array(ligand_vectors(model, central, ligands, list(q), fpm.NPMath))   # (n, 3, draws)
    p = np.concatenate([np.zeros((MC_DRAWS, 1, 3)), np.transpose(v, (2, 0, 1))], axis=1)
    return gi.all_indices(p)


def run_cases(argv, check, dirs=("cases",)):
    """Runs `check` (a case's path -> items, or None when it has nothing to
    check) on every case of tests/e2e/DIR for each of `dirs` (or --cases=DIR),
    prints a line per case and a summary; 1 on a mismatch."""
    verbose = "-v" in argv
    only = [a for a in argv if not a.startswith("-")]
    start = time.time()
    given = next((a[8:] for a in argv if a.startswith("--cases=")), None)
    folders = [given] if given else [os.path.join(TESTS, "e2e", d) for d in dirs]
    counts = dict(ok=0, boundary=0, mismatch=0)
    for cases_dir, name in sorted((d, n) for d in folders for n in os.listdir(d)):
        if not name.endswith(".case") or (only and name[:-5] not in only):
            continue
        try:
            items = check(os.path.join(cases_dir, name))
        except Exception as e:          # a case the reference cannot build is a failure
            items = [("mismatch", "error", "", "%s: %s" % (type(e).__name__, e))]
        if items is None:
            continue
        status = "mismatch" if any(i[0] == "mismatch" for i in items) else \
            "boundary" if any(i[0] == "boundary" for i in items) else "ok"
        counts[status] += 1
        shown = [i for i in items if verbose or i[0] != "ok"]
        detail = "; ".join("%s%s: printed %s, reference %s" % ("" if st == "mismatch" else "[%s] " % st,
                                                                what, pr or "-", ex) for st, what, pr, ex in shown)
        ok_items = sum(1 for i in items if i[0] == "ok")
        print("%-8s %-34s %d item(s) ok%s" % (status, name[:-5], ok_items, ("; " + detail) if detail else ""))
    print("summary: %d case(s): %d ok, %d boundary only, %d mismatch; %.1f s"
          % (sum(counts.values()), counts["ok"], counts["boundary"], counts["mismatch"], time.time() - start))
    return 1 if counts["mismatch"] else 0


def main(argv):
    return run_cases(argv, check_case)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
