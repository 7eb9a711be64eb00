#!/usr/bin/python3
"""Recomputes the "Shape measures" section and the V line of every end-to-end case.

For each tests/e2e/cases/*.case whose expected stdout has a "Shape measures
(CShM, 0 = ideal shape):" section or a "V = ... A3" line among its geometry
indices, the central atom and the ligands are rebuilt from the ligand table as
check_index_section.py does (its readers, report parser, ligand vectors and
rounding; free_parameter_mc.py's parameter model), and compared:

* one line per reference shape of shapes/ideal_polyhedra.yaml with as many
  vertices as ligands, in ascending order of S; "  NAME(11)= TEXT(14)DESC";
  S by exhaustive search over the n! assignments (shape_reference.py; n > 8
  is skipped);
* path(A,B) and phi(A,B) in % for (SP-4,T-4), (SPY-5,TBPY-5), (OC-6,TPR-6);
* V, the volume of the convex hull of the ligand points, in A3;
* value(su) by the rule of 19, or without su the value with 3 decimals
  (path and phi: PATH_DECIMALS; V: the decimals printed). su = sqrt(V1 + V2):
  V1 = g C g^T over coordinates and cell for all; V2 = 1/2 tr((HC)^2) over the
  coordinates for S only, H its Hessian at the optimal assignment. Derivatives: analytic gradient of S in the
  ligand points (shape_reference.py), chained through the exact Jacobian of
  the points over the free parameters (hyper-dual numbers);
* a note naming a quantity whose su comes from a Monte Carlo, and a "Monte
  Carlo: mean X, sd Y" description: against our own Monte Carlo over the free
  parameters, MC_DRAWS draws (4 combined standard errors + half a last digit);
* second-order notes ("S(NAME) is near an extremum: ...") where printed.

The input is read as check_index_section.py reads it, and also: a file that a
setup: line copies, from its source; UTF-16 with a byte-order mark; blank lines
in an XYZ atom list; inf or nan coordinates (a row the program drops) and an su
written with a point, 0.50000(.2); of several atom sites with one label, the one
at the printed distance.

Boundary cases (reported, exit status 0): a last digit that changes when the
value moves by 1e-6 relative or the su by 0.1 %; an su of S that matches the
branch of another assignment whose S lies within 3 su (S has a kink there);
an su of V with a hull edge whose fold (signed volume of its 4 points) lies
within 3 su of zero (V has a kink there).

--mc-check: for the CIF cases with 4, 6 or 8 ligands, the printed su of every
S against the sd of S over MC_CHECK_DRAWS draws of the free parameters, S
minimised over all assignments in every draw (assignments that cannot win are
pruned: the residual |Q - sRP| is 1-Lipschitz in Q); the su must agree within
10 % (the printed su taken anywhere within its rounding). Ratios are printed.

A self-test runs first: S_OC-6(TPR-6) = 16.737 (Casanova et al., J. Am. Chem.
Soc. 126 (2004) 1755) also after rotating, scaling, moving and renumbering
the prism; S = 0 for every shape of <= 8 vertices against itself; the gradient
against differences of S; hull volumes of a cube and an octahedron; and the
published SP-4 and T-4 of the fragments tests/data/shapes_example*.xyz when
present (Alvarez et al., Coord. Chem. Rev. 249 (2005) 1693).

Run from anywhere (about 7 s; --mc-check about 13 s):
    /usr/bin/python3 tests/reference/check_shape_section.py [-v] [--mc-check] [--cases=DIR] [CASE ...]
Exit status 1 on a real mismatch or a failed self-test.
"""
import math
import os
import re
import shlex
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import check_index_section as cis        # noqa: E402  (exits 77 without numpy, gemmi)
import shape_reference as sr             # noqa: E402

np, fpm, gemmi, parse_case = cis.np, cis.fpm, cis.gemmi, cis.parse_case
HD = fpm.HD
MC_DRAWS, MC_SEED, MC_CHECK_DRAWS = 5000, 20240611, 4000
MAX_N = 8
PATH_DECIMALS = 2        # path and phi without su
HEADER = "Shape measures (CShM, 0 = ideal shape):"
EXAMPLES = [("example01_ABOXIY", "Pt1", 0.970, 31.375), ("example01_ACACPT", "Pt1", 0.160, 33.440),
            ("example02_DOSDAQ", "Pd1", 5.271, 36.847), ("example02_FUBWUU", "Pt1", 5.184, 36.789),
            ("example02_LEGFOS", "Cr1", 5.047, 36.698), ("example02_LEGFUY", "Cr1", 5.234, 36.822),
            ("example02_LEGFUY_2", "Cr1", 5.100, 36.733)]


# ---------------------------------------------------------------------------- self-test
def self_test(data_dir):
    """[(ok, text)]"""
    out = []
    sh = sr.read_shapes()
    s = sr.cshm(sh["TPR-6"], sh["OC-6"])[0]
    out.append((round(s, 3) == 16.737, "S_OC-6(TPR-6) = %.4f (published 16.737)" % s))
    rng = np.random.default_rng(7)
    R = np.linalg.qr(rng.standard_normal((3, 3)))[0]
    R *= np.sign(np.linalg.det(R))
    moved = sh["TPR-6"] @ R.T * 2.3 + [1.0, -4.0, 0.5]
    moved[:6] = moved[rng.permutation(6)]
    s2 = sr.cshm(moved, sh["OC-6"])[0]
    out.append((abs(s2 - s) < 1e-9, "the same after rotation, scale, translation and renumbering: %.10f" % s2))
    worst = max(sr.cshm(p, p)[0] for n in range(2, MAX_N + 1) for _, p in sr.shapes_with(n))
    out.append((worst < 1e-8, "every shape of <= %d vertices against itself: largest S %.1e" % (MAX_N, worst)))
    Q = sh["OC-6"] + 0.1 * rng.standard_normal((7, 3))
    S, perm, _ = sr.cshm(Q, sh["TPR-6"])
    g, h = sr.gradient(Q, sh["TPR-6"], perm), 1e-6
    fd = np.zeros_like(Q)
    for i in range(7):
        for k in range(3):
            d = np.zeros_like(Q)
            d[i, k] = h
            fd[i, k] = (sr.measures(Q + d, sh["TPR-6"], perm[None])[0] -
                        sr.measures(Q - d, sh["TPR-6"], perm[None])[0]) / (2 * h)
    err = float(np.max(np.abs(fd - g)) / np.max(np.abs(g)))
    out.append((err < 1e-6, "gradient of S against central differences: relative error %.1e" % err))
    cube = np.array([[i, j, k] for i in (0, 2) for j in (0, 2) for k in (0, 2)], float)
    vc, vo = sr.hull_volume(cube), sr.hull_volume(np.vstack([np.eye(3), -np.eye(3)]))
    out.append((abs(vc - 8) < 1e-12 and abs(vo - 4 / 3) < 1e-12 and len(sr.hull_faces(cube)) == 6,
                "hull volume: cube of edge 2 %.6f (8), octahedron of radius 1 %.6f (4/3)" % (vc, vo)))
    X = np.concatenate([rng.standard_normal((50, 8, 3)), [cube, sh["SAPR-8"][:8]]])
    err = max(abs(sr.hull_volume(x) - v) for x, v in zip(X, sr.hull_volumes(X)))
    out.append((err < 1e-12, "hull volume by faces and by supporting triangles: largest difference %.1e" % err))
    found = 0
    for stem, centre, sp4, t4 in EXAMPLES:
        path = os.path.join(data_dir, "shapes_%s.xyz" % stem)
        if not os.path.exists(path):
            continue
        found += 1
        atoms = cis.read_xyz(path, "olex").atoms
        Q = np.array([v for k, v in atoms.items() if k != centre] + [atoms[centre]])
        a, b = sr.cshm(Q, sh["SP-4"])[0], sr.cshm(Q, sh["T-4"])[0]
        out.append((abs(a - sp4) <= 6e-4 and abs(b - t4) <= 6e-4,
                    "%s: SP-4 %.3f (published %.3f), T-4 %.3f (published %.3f)" % (stem, a, sp4, b, t4)))
    if not found:
        out.append((True, "published examples: no tests/data/shapes_example*.xyz, skipped"))
    return out


# ---------------------------------------------------------------------------- the report
def parse_shapes(lines):
    """The shape section and the V line: dict(present, shapes [(name, text, desc, line)],
    paths {(kind, A, B): (text, desc)}, notes, bad lines, v (text, line) or None)."""
    r = dict(present=False, shapes=[], paths={}, notes=[], bad=[], v=None)
    where = None
    for line in lines:
        if line in ("Geometry indices:", HEADER):
            where = line
            r["present"] |= line == HEADER
            continue
        if where is None:
            continue
        if not line.strip():
            where = None
        elif where != HEADER:
            m = re.match(r"  V\s+= (\S+) A3\b", line)
            if m:
                r["v"] = (m.group(1), line)
        elif line.startswith("  Note: "):
            r["notes"].append(line[8:])
        elif line.startswith("        ") and r["notes"]:
            r["notes"][-1] += " " + line.strip()
        else:
            m = re.match(r"  (path|phi)\(([^,\s]+),([^)\s]+)\)\s*= (\S+) %(?:\s+(.*))?$", line)
            if m:
                r["paths"][m.group(1, 2, 3)] = (m.group(4), m.group(5) or "")
                continue
            m = re.match(r"  (\S+)\s*= (\S+)(?:\s+(.*))?$", line)
            if m:
                r["shapes"].append((m.group(1), m.group(2), m.group(3) or "", line))
            else:
                r["bad"].append(line)
    return r


def layout_ok(name, text, line):
    """'  ' + name padded to 11 + '= ' + text padded to 14 + description."""
    return (line[:13] == "  " + name.ljust(11) and line[13:15] == "= " and line[15:].startswith(text)
            and (len(text) >= 14 or not line[15 + len(text):29].strip()))


def printed_su(text):
    """(value, su, unit of the last digit) of 'x(su)' text; su None without."""
    m = re.fullmatch(r"(-?\d+)(?:\.(\d+))?(?:\((\d+)\))?", text)
    if not m:
        return None, None, None
    dec = len(m.group(2) or "")
    unit = 10.0 ** -dec
    x = float(m.group(1) + ("." + m.group(2) if m.group(2) else ""))
    if m.group(3) is None:
        return x, None, unit
    return x, int(m.group(3)) * unit, unit


# ---------------------------------------------------------------------------- geometry and its derivatives
_split_su = fpm.split_su


def split_su(text):
    """free_parameter_mc's, and: inf or nan (a row the program drops; here unused),
    an su with a decimal point, 0.50000(.2)."""
    t = text.strip()
    if t.lstrip("+-").lower() in ("inf", "nan", "infinity"):
        return math.nan, 0.0
    m = re.fullmatch(r"(.*)\((\d*\.\d*)\)", t)
    if m:
        x, unit = _split_su(m.group(1) + "(1)")
        return x, float(m.group(2)) * unit
    return _split_su(t)


fpm.split_su = split_su


def readable(path, kind, tmp):
    """The file, or a copy in tmp: UTF-16 decoded, blank lines of an XYZ atom list dropped."""
    raw = open(path, "rb").read()
    text = raw.decode("utf-16") if raw[:2] in (b"\xff\xfe", b"\xfe\xff") else None
    if kind == "XYZ":
        lines = (text if text is not None else raw.decode("utf-8", "replace")).splitlines()
        atoms = [l for l in lines[2:] if l.strip()]
        if len(atoms) != len(lines) - 2:
            text = "\n".join(lines[:2] + atoms) + "\n"
    if text is None:
        return path
    out = os.path.join(tmp, os.path.basename(path))
    open(out, "w").write(text)
    return out


def build(rep, opts, setup):
    """Structure, model, central label, ligand site groups (as check_index_section).
    A file copied by a setup: line is read from its source; of several atom sites
    with one label, a ligand is the one at the printed distance."""
    name = rep["file"]
    for line in setup:
        w = shlex.split(line)
        if w[:1] == ["copy"] and w[2] == name:
            name = w[1]
    path = os.path.join(cis.TESTS, name)
    with tempfile.TemporaryDirectory() as tmp:
        path = readable(path, rep["kind"], tmp)
        if rep["kind"] == "CIF":
            s = cis.read_cif(path, rep["block"])
        elif rep["kind"] == "SHELX":
            s = cis.read_shelx(path)
        else:
            s = cis.read_xyz(path, opts.get("xyznames", "olex"))
    central = cis.find_label(s, rep["central"])
    ligands = [[(cis.find_label(s, lab), op, t) for lab, op, t in lig["sites"]] for lig in rep["ligands"]]
    if rep["kind"] == "CIF":
        sites = {}
        doc = gemmi.cif.read(os.path.join(cis.TESTS, name))
        block = next(b for b in doc if b.name.lower() == rep["block"].lower()) if len(doc) > 1 else doc.sole_block()
        for row in block.find("_atom_site_", ["label", "fract_x", "fract_y", "fract_z"]):
            sites.setdefault(gemmi.cif.as_string(row[0]), []).append([split_su(row[k]) for k in (1, 2, 3)])
        for lig, group in zip(rep["ligands"], ligands):
            for label in {x[0] for x in group if len(sites.get(x[0], [])) > 1}:
                for xyz in sites[label]:
                    s.atoms[label], s.atom_su[label] = [v for v, _ in xyz], [e for _, e in xyz]
                    v = cis.ligand_vectors(cis.FixedModel(s), central, [group], [], fpm.NPMath)[0]
                    text = re.sub(r"\(\d+\)$", "", lig["dist"])
                    if cis.compare(text, math.sqrt(sum(x * x for x in v)), 0.0, len(text.partition(".")[2])) != "mismatch":
                        break
    labels = list(dict.fromkeys([central] + [x[0] for lig in ligands for x in lig]))
    model = cis.FixedModel(s)
    if s.kind == "CIF" or s.mat is not None:
        model = fpm.Model(s, labels)
        if model.n == 0:
            model = cis.FixedModel(s)
    return s, model, central, ligands


def jacobian(model, central, ligands):
    """Ligand vectors (n, 3) and their exact derivatives over the free parameters (3n, N)."""
    v0 = np.array(cis.ligand_vectors(model, central, ligands, [0.0] * model.n, fpm.NPMath), float)
    J = np.zeros((v0.size, model.n))
    for i in range(model.n):
        q = [0.0] * model.n
        q[i] = HD(0.0, 1.0, 0.0, 0.0)
        v = cis.ligand_vectors(model, central, ligands, q, fpm.HDMath)
        J[:, i] = [x.b if isinstance(x, HD) else 0.0 for row in v for x in row]
    return v0, J


def draw_vectors(model, central, ligands, draws, seed):
    """Points (draws, n + 1, 3), the central atom last at the origin, over draws of the free parameters."""
    rng = np.random.default_rng(seed)
    w, V = np.linalg.eigh(model.C)
    q = (V * np.sqrt(np.clip(w, 0, None))) @ rng.standard_normal((model.n, draws))
    v = cis.ligand_vectors(model, central, ligands, list(q), fpm.NPMath)
    v = np.array([[np.broadcast_to(np.asarray(c, float), (draws,)) for c in row] for row in v])
    return np.concatenate([np.transpose(v, (2, 0, 1)), np.zeros((draws, 1, 3))], axis=1)


def shape_draws(Q0, Qd, P, all_s):
    """S per draw, minimised over every assignment that can win: the residual
    r = sqrt(S/100) |Q| is 1-Lipschitz in Q, so one more than 2 max|dQ| above the
    best at Q0 never wins."""
    perms = sr.permutations(len(P) - 1)
    c0 = sr.centred(Q0)
    delta = float(np.max(np.sqrt(np.sum((sr.centred(Qd) - c0) ** 2, axis=(1, 2)))))
    r = np.sqrt(all_s / 100.0) * math.sqrt(float(np.sum(c0 * c0)))
    keep = r <= r.min() + 2 * delta + 1e-12
    return sr.measures(Qd, P, perms[keep]).min(axis=1)


class Case:
    """Every quantity of the section at the mean structure, with V1, V2 and kink alternatives."""

    def __init__(self, model, central, ligands):
        self.model, self.central, self.ligands = model, central, ligands
        v0, J = jacobian(model, central, ligands)
        self.n = len(v0)
        self.Q0 = np.vstack([v0, np.zeros(3)])
        C, nc = model.C, model.ncoord
        self.cov = J @ C @ J.T                                   # ligand points, coordinates and cell
        self.cov_c = J[:, :nc] @ C[:nc, :nc] @ J[:, :nc].T       # coordinates only
        self.q = {}

    def first(self, g):
        return float(g @ self.cov @ g)

    def shape(self, name, P):
        n = self.n
        S, perm, all_s = sr.cshm(self.Q0, P)
        g = sr.gradient(self.Q0, P, perm)[:n].ravel()
        H = sr.hessian(self.Q0, P, perm, list(range(n)))
        HC = H @ self.cov_c
        res = dict(value=S, v1=self.first(g), v2=0.5 * float(np.trace(HC @ HC)),
                   shift=0.5 * float(np.trace(HC)), g=g, P=P, all=all_s, alt=[])
        res["su"] = math.sqrt(max(res["v1"] + res["v2"], 0.0))
        # other assignments within 3 su of the best (a kink of the minimum); one that
        # differs by a proper rotation of the shape is the same function, no kink
        spread = 6 * math.sqrt(max(float(np.trace(self.cov)), 0.0))
        r = np.sqrt(all_s / 100.0) * math.sqrt(float(np.sum(sr.centred(self.Q0) ** 2)))
        perms = sr.permutations(n)
        near = perms[r <= r.min() + spread]
        same = sr.measures(P[near], P[perm], np.arange(n + 1)[None])[:, 0] < 1e-8
        for pk in near[~same]:
            gk = sr.gradient(self.Q0, P, pk)[:n].ravel()
            gap = float(sr.measures(self.Q0, P, pk[None])[0]) - S
            su_gap = math.sqrt(max(self.first(gk - g), 0.0))
            if su_gap > 1e-6 * res["su"] and gap < 3 * su_gap:     # not the same function on the free parameters
                Hk = sr.hessian(self.Q0, P, pk, list(range(n))) @ self.cov_c
                res["alt"].append(math.sqrt(max(self.first(gk) + 0.5 * float(np.trace(Hk @ Hk)), 0.0)))
        self.q[name] = res
        return res

    def path(self, a, b):
        theta = sr.path_angle(a, b)
        A, B = self.q[a], self.q[b]
        dev, phi, d_dev, d_phi = sr.path_quantities(A["value"], B["value"], theta)
        for key, x, (da, db) in (("path", dev, d_dev), ("phi", phi, d_phi)):
            # at S = 0 the derivative of asin(sqrt(S)/10) is infinite, but S is at its minimum there
            g = (da * A["g"] if da and np.any(A["g"]) else 0) + (db * B["g"] if db and np.any(B["g"]) else 0)
            v1 = self.first(g) if np.ndim(g) else 0.0
            self.q[(key, a, b)] = dict(value=x, v1=v1, v2=0.0, su=math.sqrt(v1), alt=[], theta=theta)

    def volume(self):
        X = self.Q0[:-1]
        tris = sr.hull_triangles(X)
        v, g = sr.volume(X, tris)
        g = g.ravel()
        res = dict(value=v, v1=self.first(g), v2=0.0, alt=[], kinks=[])
        res["su"] = math.sqrt(max(res["v1"], 0.0))
        for pts, t, gt in sr.folds(X, tris) if tris else []:
            su_t = math.sqrt(max(self.first(gt.ravel()), 0.0))
            if su_t > 0 and abs(t) < 3 * su_t:
                res["kinks"].append((pts, t, su_t))
        if not tris:
            res["kinks"].append(((), 0.0, 0.0))
        self.q["V"] = res
        return res

    def monte_carlo(self, keys, draws, seed):
        """{key: values over the draws} for shape names, ('path'|'phi', A, B) and 'V'."""
        Qd = draw_vectors(self.model, self.central, self.ligands, draws, seed)
        out = {}

        def shape(nm):
            if nm not in out:
                out[nm] = shape_draws(self.Q0, Qd, self.q[nm]["P"], self.q[nm]["all"])
            return out[nm]
        for key in keys:
            if key == "V":
                out[key] = sr.hull_volumes(Qd[:, :-1])
            elif isinstance(key, str):
                shape(key)
            else:
                fa, fb = (np.arcsin(np.sqrt(shape(nm)) / 10.0) for nm in key[1:])
                theta = self.q[key]["theta"]
                out[key] = 100.0 * ((fa + fb) / theta - 1.0) if key[0] == "path" else 100.0 * fa / theta
        return out


# ---------------------------------------------------------------------------- one case
def check_case(path, mc_check=False):
    directives, sections = parse_case(path)
    args = shlex.split(directives["args"] or "")
    opts = {}
    for a in args[1:]:
        m = re.fullmatch(r"-{0,2}(mc|xyznames|block)=(.*)", a)
        if m:
            opts[m.group(1)] = m.group(2)
    lines = sections.get("stdout", [])
    sec = parse_shapes(lines)
    if not sec["present"] and sec["v"] is None:
        return None
    rep = cis.parse_report(lines)
    items = []

    def item(status, what, printed="", expected=""):
        items.append((status, what, printed, expected))

    s, model, central, ligands = build(rep, opts, directives["setup"])
    has_su = model.n > 0
    case = Case(model, central, ligands)
    n = case.n
    if n >= 4 and sec["v"] is not None:
        case.volume()
    elif sec["v"] is not None:
        item("mismatch", "V", sec["v"][0], "none (%d ligands)" % n)
    elif n >= 4:
        item("mismatch", "V line", "", "a V line (%d ligands)" % n)
    if sec["present"] and n > MAX_N:
        item("skip", "shape lines", "", "skipped (n > %d)" % MAX_N)
    elif sec["present"]:
        for name, P in sr.shapes_with(n):
            case.shape(name, P)
        for a, b in sr.PATH_PAIRS:
            if a in case.q:
                case.path(a, b)
    printed = {x[0]: (x[1], x[2]) for x in sec["shapes"]}
    printed.update(sec["paths"])
    if sec["v"] is not None:
        printed["V"] = (sec["v"][0], "")

    # notes: second order, an su from a Monte Carlo (the index section's notes too, for V)
    mc_keys = {}
    for note in sec["notes"] + rep["notes"]:
        m = re.match(r"S\((\S+)\) is near an extremum", note)
        if m and m.group(1) in case.q and note in sec["notes"]:
            r = case.q[m.group(1)]
            share = r["v2"] / r["su"] ** 2 if has_su and r["su"] > 0 else 0.0
            text = "none (second-order share %.4f)" % share if share < 0.1 else \
                ("S(%s) is near an extremum: the second-order term (%s %% of the variance) is included; "
                 "expectation shift = %s." % (m.group(1), cis.fixed(100 * share, 0),
                                              cis.fixed(r["shift"], cis.su_decimals(r["su"]) + 1)))
            item("ok" if note == text else "boundary" if abs(share - 0.1) < 1e-4 else "mismatch",
                 m.group(1) + " second-order note", note, text)
        elif "Monte Carlo" in note:
            bare = re.sub(r"(path|phi)\([^)]*\)", "", note)
            named = [k for k in case.q if isinstance(k, str) and k in printed
                     and re.search(r"(?<![\w-])%s(?![\w(-])" % re.escape(k), bare)]
            named += [k for k in case.q if not isinstance(k, str) and "%s(%s,%s)" % k in note and k in printed]
            draws = re.search(r"(\d+) draws", note)
            for k in named:
                mc_keys[k] = int(draws.group(1)) if draws else 2000
            if not named and note in sec["notes"]:
                item("skip", "Monte Carlo note naming no quantity", note)
        elif note in sec["notes"]:
            item("skip", "note", note)
    for name, (text, desc) in printed.items():
        if desc.startswith("Monte Carlo:") and name in case.q:
            mc_keys[name] = int(opts.get("mc", 2000))
    if not has_su:
        mc_keys = {}

    def check_value(what, key, decimals, kink_note=""):
        text, r = printed[key][0], case.q[key]
        if key in mc_keys:          # the su from the Monte Carlo below; here the value to its digits
            su = printed_su(text)[1] or 0.0
            item(cis.compare(text, r["value"], su, decimals), what, text, cis.value_su(r["value"], su, decimals))
            return
        su = r["su"] if has_su and r["su"] >= 1e-10 * max(1.0, abs(r["value"])) else 0.0
        st = cis.compare(text, r["value"], su, decimals)
        exp = cis.value_su(r["value"], su, decimals)
        if st == "mismatch" and has_su:
            alts = [a for a in r["alt"] if cis.compare(text, r["value"], a, decimals) != "mismatch"]
            if alts or (kink_note and r.get("kinks")):
                st, exp = "boundary", exp + " (%s)" % kink_note
            elif r["v2"] > 0:
                exp += " (first order only: %s)" % cis.value_su(r["value"], math.sqrt(r["v1"]), decimals)
        item(st, what, text, exp)
        if has_su and (r["alt"] or r.get("kinks")) and st == "ok":
            other = sorted({cis.value_su(r["value"], a, decimals) for a in r["alt"]})
            item("kink", what, text, kink_note + ("; su of those: " + ", ".join(other) if other else ""))

    if "V" in case.q:
        r = case.q["V"]
        dec = len(re.sub(r"\(\d+\)$", "", printed["V"][0]).partition(".")[2])
        kinks = ", ".join("fold %s %.2g(%.1g) A3" % ("-".join(rep["ligands"][i]["label"] for i in p), t, u)
                          for p, t, u in r["kinks"] if p) or "the ligands are coplanar"
        check_value("V", "V", dec, "hull edges within 3 su of flat: " + kinks)

    if sec["present"]:
        for line in sec["bad"]:
            item("mismatch", "unreadable line", repr(line))
        expected = [k for k, _ in sr.shapes_with(n)]
        names = [x[0] for x in sec["shapes"]]
        if sorted(names) != sorted(expected):
            item("mismatch", "shape lines", " ".join(names), " ".join(expected) or "none")
        pairs = [(k, a, b) for a, b in sr.PATH_PAIRS if a in expected for k in ("path", "phi")]
        if sorted(sec["paths"]) != sorted(pairs):
            item("mismatch", "path lines", " ".join("%s(%s,%s)" % p for p in sec["paths"]),
                 " ".join("%s(%s,%s)" % p for p in pairs) or "none")
        for name, text, desc, line in sec["shapes"]:
            if name in case.q:
                if not layout_ok(name, text, line):
                    item("mismatch", name + " layout", repr(line), "'  %-11s= %-14s...'" % (name, text))
                check_value(name, name, 3, "another assignment within 3 su: S has a kink")
        vals = [(x[0], case.q[x[0]]["value"]) for x in sec["shapes"] if x[0] in case.q]
        for (a, x), (b, y) in zip(vals, vals[1:]):
            if x > y + 1e-9 * max(1.0, y):
                item("mismatch", "order", "%s before %s" % (a, b), "%.6f > %.6f" % (x, y))
        for key in sec["paths"]:
            if key in case.q:
                check_value("%s(%s,%s)" % key, key, PATH_DECIMALS)

    if mc_keys:
        mc = case.monte_carlo(list(mc_keys), MC_DRAWS, MC_SEED)
        for key, their in mc_keys.items():
            text, desc = printed[key]
            mean, sd = float(np.mean(mc[key])), float(np.std(mc[key], ddof=1))
            x, su, unit = printed_su(text)
            half = 0.5 * (unit or 0.0)
            tol_sd = 4 * sd * math.sqrt(0.5 / their + 0.5 / MC_DRAWS) + half
            tol_mean = 4 * sd * math.sqrt(1.0 / their + 1.0 / MC_DRAWS) + half
            ok = su is not None and abs(su - sd) <= tol_sd
            m = re.fullmatch(r"Monte Carlo: mean (\S+), sd (\S+)", desc)
            if m:
                ok = ok and abs(float(m.group(1)) - mean) <= tol_mean and abs(float(m.group(2)) - sd) <= tol_sd
            item("ok" if ok else "mismatch", (key if isinstance(key, str) else "%s(%s,%s)" % key) + " Monte Carlo",
                 text + (" " + desc if m else ""), "mean %.6g, sd %.3g (%d draws, tolerance %.1g)"
                 % (mean, sd, MC_DRAWS, tol_sd))

    if mc_check and sec["present"] and rep["kind"] == "CIF" and has_su and n in (4, 6, 8):
        keys = [x[0] for x in sec["shapes"] if x[0] in case.q]
        mc = case.monte_carlo(keys, MC_CHECK_DRAWS, MC_SEED + 1)
        for name in keys:
            text = printed[name][0]
            sd = float(np.std(mc[name], ddof=1))
            x, su, unit = printed_su(text)
            if su is None:
                item("mismatch" if sd > 1e-10 * max(1.0, x) else "ok", name + " MC sd", text, "sd %.3g" % sd)
                continue
            lo, hi = su - 0.5 * unit, su + 0.5 * unit
            item("mc" if lo <= 1.1 * sd and hi >= 0.9 * sd else "mismatch", name + " MC sd", text,
                 "sd %.4g over %d draws: printed su / sd = %.3f (%.3f..%.3f as rounded), reference su / sd = %.3f"
                 % (sd, MC_CHECK_DRAWS, su / sd, lo / sd, hi / sd, case.q[name]["su"] / sd))
    return items


def main(argv):
    verbose, mc_check = "-v" in argv, "--mc-check" in argv
    only = [a for a in argv if not a.startswith("-")]
    start = time.time()
    failed = False
    for ok, text in self_test(os.path.join(cis.TESTS, "data")):
        failed |= not ok
        if verbose or not ok:
            print("%-8s self-test: %s" % ("ok" if ok else "FAILED", text))
    cases_dir = next((a[8:] for a in argv if a.startswith("--cases=")), os.path.join(cis.TESTS, "e2e", "cases"))
    counts = dict(ok=0, boundary=0, mismatch=0)
    for name in sorted(os.listdir(cases_dir)):
        if not name.endswith(".case") or (only and name[:-5] not in only):
            continue
        try:
            items = check_case(os.path.join(cases_dir, name), mc_check)
        except Exception as e:          # a case the reference cannot build is a failure
            items = [("mismatch", "error", "", "%s: %s" % (type(e).__name__, e))]
        if items is None:
            if verbose:
                print("%-8s %-34s no shape section, no V line" % ("-", name[:-5]))
            continue
        status = "mismatch" if any(i[0] == "mismatch" for i in items) else \
            "boundary" if any(i[0] == "boundary" for i in items) else "ok"
        counts[status] += 1
        shown = [i for i in items if verbose or i[0] in ("mismatch", "boundary", "mc", "kink")]
        detail = "; ".join("%s%s: printed %s, reference %s" % ("" if st == "mismatch" else "[%s] " % st,
                                                                what, pr or "-", ex) for st, what, pr, ex in shown)
        ok_items = sum(1 for i in items if i[0] in ("ok", "mc"))
        print("%-8s %-34s %d item(s) ok%s" % (status, name[:-5], ok_items, ("; " + detail) if detail else ""))
    print("summary: %d case(s) with a shape section or V line: %d ok, %d boundary only, %d mismatch%s; %.1f s"
          % (sum(counts.values()), counts["ok"], counts["boundary"], counts["mismatch"],
             "; SELF-TEST FAILED" if failed else "", time.time() - start))
    return 1 if counts["mismatch"] or failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
