#!/usr/bin/python3
"""Continuous shape measures, minimal-distortion paths and polyhedron volume.

* CShM (Pinsky and Avnir, Inorg. Chem. 37 (1998) 5575; Alvarez et al., Coord.
  Chem. Rev. 249 (2005) 1693): S(P) = 100 min |Q - (s R P_pi + t)|^2 / |Q - Qbar|^2
  over proper rotations R, scale s, translation t and vertex assignments pi.
  Q = the ligand points, then the central atom; P = a reference shape of
  shapes/ideal_polyhedra.yaml (vertices, then the centre). The centre always
  goes to the centre. Every assignment is tried (n! for n ligands); for each,
  with both point sets centred, S_pi = 100 (1 - D^2 / (|Q|^2 |P|^2)), where D =
  max_R tr(R P^T Q) = s1 + s2 + sign(det) s3 from the singular values of P^T Q
  (Kabsch, Acta Cryst. A32 (1976) 922, with the reflection excluded).
* Gradient of S_pi (envelope theorem: dD/dQ = R* P_pi):
  dS/dQ = -200 D / (|Q|^2 |P|^2) (R* P_pi - D Q / |Q|^2); its Hessian by
  central differences of that gradient.
* Minimal-distortion path between A and B (Casanova et al., J. Am. Chem. Soc.
  126 (2004) 1755; Cirera, Ruiz, Alvarez, Chem. Eur. J. 12 (2006) 3162):
  theta_AB = asin(sqrt(S_A(B)) / 10), S_A(B) the measure of ideal B relative
  to A; deviation 100 ((asin(sqrt(S(A))/10) + asin(sqrt(S(B))/10)) / theta_AB - 1) %,
  generalized coordinate phi = 100 asin(sqrt(S(A))/10) / theta_AB %.
* V: volume of the convex hull of the ligand points (brute-force supporting
  planes; points on one plane make one face, triangulated once; for many point
  sets at once, supporting triangles with the centroid).

numpy only; the yaml is parsed as plain text.
"""
import itertools
import math
import os

import numpy as np

YAML = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))),
                    "shapes", "ideal_polyhedra.yaml")
PATH_PAIRS = [("SP-4", "T-4"), ("SPY-5", "TBPY-5"), ("OC-6", "TPR-6")]

_shapes, _perms = {}, {}


def read_shapes(path=YAML):
    """{name: (k + 1, 3) array}, vertices then the centre, in the file's order."""
    if path not in _shapes:
        out, name = {}, None
        for line in open(path):
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            if line.endswith(":") and not line.startswith("-"):
                name = line[:-1].strip().strip("'\"")
                out[name] = []
            elif line.startswith("- ["):
                out[name].append([float(x) for x in line[3:line.index("]")].split(",")])
        _shapes[path] = {k: np.array(v) for k, v in out.items()}
    return _shapes[path]


def shapes_with(n, path=YAML):
    return [(k, v) for k, v in read_shapes(path).items() if len(v) == n + 1]


def permutations(n):
    """All assignments of n ligands, the centre (index n) kept last: (n!, n + 1)."""
    if n not in _perms:
        p = np.array(list(itertools.permutations(range(n))), dtype=np.intp).reshape(-1, n)
        _perms[n] = np.hstack([p, np.full((len(p), 1), n, dtype=np.intp)])
    return _perms[n]


def centred(x):
    return x - x.mean(axis=-2, keepdims=True)


def measures(Q, P, perms, chunk=1 << 21):
    """S_pi for every assignment: Q (..., N, 3) points (centre last), P (N, 3).
    Returns (..., len(perms))."""
    Q, P = centred(np.asarray(Q, float)), centred(np.asarray(P, float))
    lead = Q.shape[:-2]
    Qf = Q.reshape((-1,) + Q.shape[-2:])
    qq = np.einsum("bij,bij->b", Qf, Qf)
    pp = float(np.sum(P * P))
    Pp = P[perms]                                          # (m, N, 3)
    out = np.empty((len(Qf), len(perms)))
    step = max(1, chunk // max(1, len(perms)))
    for b0 in range(0, len(Qf), step):
        A = np.einsum("mik,bil->bmkl", Pp, Qf[b0:b0 + step])   # P_pi^T Q
        s = np.linalg.svd(A, compute_uv=False)
        D = s[..., 0] + s[..., 1] + np.sign(np.linalg.det(A)) * s[..., 2]
        out[b0:b0 + step] = 100.0 * (1.0 - D * D / (qq[b0:b0 + step, None] * pp))
    return np.clip(out, 0.0, None).reshape(lead + (len(perms),))


def cshm(Q, P):
    """(S, assignment, S of every assignment) of the points Q against shape P."""
    perms = permutations(len(P) - 1)
    s = measures(Q, P, perms)
    k = int(np.argmin(s))
    return float(s[k]), perms[k], s


def gradient(Q, P, perm):
    """dS_pi/dQ, (N, 3), at the fixed assignment perm."""
    Q, P = centred(np.asarray(Q, float)), centred(np.asarray(P, float))[perm]
    A = P.T @ Q
    U, s, Vt = np.linalg.svd(A)
    d = np.sign(np.linalg.det(A)) or 1.0
    R = Vt.T @ np.diag([1.0, 1.0, d]) @ U.T                # maximises tr(R A)
    D = s[0] + s[1] + d * s[2]
    qq, pp = float(np.sum(Q * Q)), float(np.sum(P * P))
    RP = P @ R.T
    return -200.0 * D / (qq * pp) * (RP - D / qq * Q)


def hessian(Q, P, perm, rows):
    """d2S_pi/dQ2 over the coordinates of the given rows (3 len(rows) square),
    central differences of the analytic gradient."""
    Q = np.asarray(Q, float)
    h = 1e-5 * math.sqrt(np.sum(centred(Q) ** 2) / len(Q))
    m = 3 * len(rows)
    H = np.zeros((m, m))
    for c in range(m):
        r, k = rows[c // 3], c % 3
        up, dn = Q.copy(), Q.copy()
        up[r, k] += h
        dn[r, k] -= h
        H[:, c] = ((gradient(up, P, perm) - gradient(dn, P, perm))[rows] / (2 * h)).ravel()
    return 0.5 * (H + H.T)


def path_angle(a, b):
    """theta_AB (rad) from the measure of ideal B relative to A."""
    sh = read_shapes()
    return math.asin(math.sqrt(cshm(sh[b], sh[a])[0]) / 10.0)


def path_quantities(sa, sb, theta):
    """(deviation %, phi %) and their derivatives d/dS(A), d/dS(B)."""
    def f(s):
        x = math.sqrt(max(s, 0.0)) / 10.0
        return math.asin(min(x, 1.0)), (1.0 / (20.0 * math.sqrt(s) * math.sqrt(1 - x * x)) if s > 0 else math.inf)
    fa, da = f(sa)
    fb, db = f(sb)
    dev = 100.0 * ((fa + fb) / theta - 1.0)
    phi = 100.0 * fa / theta
    return dev, phi, (100.0 * da / theta, 100.0 * db / theta), (100.0 * da / theta, 0.0)


# ---------------------------------------------------------------------------- convex hull
def hull_faces(X, rel_tol=1e-9):
    """Faces of the convex hull of X (k, 3) as vertex index cycles, outward
    (counter-clockwise seen from outside); [] when the points span no volume."""
    X = np.asarray(X, float)
    g = X.mean(axis=0)
    tol = rel_tol * max(1.0, float(np.max(np.abs(X - g))))
    faces = {}
    for i, j, k in itertools.combinations(range(len(X)), 3):
        nrm = np.cross(X[j] - X[i], X[k] - X[i])
        ln = np.linalg.norm(nrm)
        if ln <= tol * tol:
            continue
        nrm /= ln
        dist = (X - X[i]) @ nrm
        if np.all(dist <= tol):
            pass
        elif np.all(dist >= -tol):
            nrm, dist = -nrm, -dist
        else:
            continue
        on = frozenset(np.flatnonzero(np.abs(dist) <= tol).tolist())
        if len(on) == len(X):
            return []                                      # all coplanar
        faces.setdefault(on, nrm)
    out = []
    for on, nrm in faces.items():
        idx = sorted(on)
        c = X[idx].mean(axis=0)
        e1 = X[idx[0]] - c
        e1 /= np.linalg.norm(e1)
        e2 = np.cross(nrm, e1)
        ang = [math.atan2((X[i] - c) @ e2, (X[i] - c) @ e1) for i in idx]
        out.append([i for _, i in sorted(zip(ang, idx))])
    return out


def hull_triangles(X):
    """Outward triangles of the hull: each face fanned from its first vertex."""
    return [(f[0], f[t], f[t + 1]) for f in hull_faces(X) for t in range(1, len(f) - 1)]


def volume(X, tris):
    """Volume enclosed by the oriented triangles, and its gradient (k, 3)."""
    X = np.asarray(X, float)
    v, g = 0.0, np.zeros_like(X)
    for a, b, c in tris:
        v += X[a] @ np.cross(X[b], X[c]) / 6.0
        g[a] += np.cross(X[b], X[c]) / 6.0
        g[b] += np.cross(X[c], X[a]) / 6.0
        g[c] += np.cross(X[a], X[b]) / 6.0
    return v, g


def hull_volume(X):
    return volume(X, hull_triangles(X))[0]


def hull_volumes(X, rel_tol=1e-9):
    """Hull volumes of many point sets X (B, k, 3): every supporting triangle adds its
    tetrahedron with the centroid; where a supporting plane holds more than 3 points
    (a polygonal face, which the triangles would cover twice), hull_volume."""
    X = np.asarray(X, float)
    g = X.mean(axis=1)
    tol = rel_tol * np.maximum(1.0, np.max(np.abs(X - g[:, None]), axis=(1, 2)))
    vol, flat = np.zeros(len(X)), np.zeros(len(X), bool)
    with np.errstate(invalid="ignore", divide="ignore"):
        for i, j, k in itertools.combinations(range(X.shape[1]), 3):
            a, b, c = X[:, i], X[:, j], X[:, k]
            nrm = np.cross(b - a, c - a)
            dist = np.einsum("bpl,bl->bp", X - a[:, None], nrm) / np.linalg.norm(nrm, axis=1)[:, None]
            face = np.all(dist <= tol[:, None], axis=1) | np.all(dist >= -tol[:, None], axis=1)
            flat |= face & (np.sum(np.abs(dist) <= tol[:, None], axis=1) > 3)
            vol += np.where(face, np.abs(np.einsum("bl,bl->b", a - g, np.cross(b - g, c - g))) / 6.0, 0.0)
    for b in np.flatnonzero(flat):
        vol[b] = hull_volume(X[b])
    return vol


def folds(X, tris):
    """For every edge between two hull triangles: the 4 points' signed volume
    and its gradient (the hull volume has a kink where it passes zero)."""
    X = np.asarray(X, float)
    edge = {}
    for t in tris:
        for e in ((t[0], t[1]), (t[1], t[2]), (t[2], t[0])):
            edge.setdefault(frozenset(e), []).append(t)
    out = []
    for e, ts in edge.items():
        if len(ts) != 2:
            continue
        i, j = sorted(e)
        a = next(x for x in ts[0] if x not in e)
        b = next(x for x in ts[1] if x not in e)
        u, v, w = X[j] - X[i], X[a] - X[i], X[b] - X[i]
        t = u @ np.cross(v, w) / 6.0
        g = np.zeros_like(X)
        g[j], g[a], g[b] = np.cross(v, w) / 6.0, np.cross(w, u) / 6.0, np.cross(u, v) / 6.0
        g[i] = -(g[j] + g[a] + g[b])
        out.append(((i, j, a, b), t, g))
    return out
