"""Coordination-geometry indices of one central atom, written from the published
definitions (references at each function).

Input everywhere: the Cartesian points [M, L1, ..., Ln] in Angstrom as an array of
shape (n+1, 3), or a stack of such sets of shape (N, n+1, 3) (one set per row, e.g.
Monte Carlo draws); the result is then a float or an array of N floats. A ligand may be
any point, e.g. the centroid of several atoms. Angles are in degrees.

Angle-only versions (``*_from_angles``) take the list of the n(n-1)/2 L-M-L angles in
any order, so that the indices can also be computed from the angles a CIF publishes.

theta_T = arccos(-1/3) = 109.4712206...°, the exact tetrahedral angle.
"""

import itertools
import math

import numpy as np

THETA_T = math.degrees(math.acos(-1.0 / 3.0))   # 109.47122063449069


# ------------------------------------------------------------------ basic geometry

def _as_stack(points):
    """Return (array of shape (N, n+1, 3), True if the input was a single set)."""
    p = np.asarray(points, dtype=float)
    if p.ndim == 2:
        return p[None], True
    return p, False


def _out(values, single):
    return float(values[0]) if single else values


def ligand_vectors(p):
    """Vectors M->Li, shape (N, n, 3), from a stack of point sets."""
    return p[:, 1:, :] - p[:, :1, :]


def ligand_pairs(n):
    """The pairs (i, j), i < j, of ligand indices 0..n-1, in a fixed order."""
    return list(itertools.combinations(range(n), 2))


def _angle_between(u, v):
    """Unsigned angle (degrees, 0..180) between vectors along the last axis.
    atan2(|u x v|, u.v) keeps full precision near 0 and 180 degrees."""
    cross = np.linalg.norm(np.cross(u, v), axis=-1)
    dot = np.sum(u * v, axis=-1)
    return np.degrees(np.arctan2(cross, dot))


def _angles_of_stack(p):
    """All L-M-L angles, shape (N, n(n-1)/2), in the order of ligand_pairs(n)."""
    v = ligand_vectors(p)
    pairs = ligand_pairs(v.shape[1])
    i = [a for a, _ in pairs]
    j = [b for _, b in pairs]
    return _angle_between(v[:, i, :], v[:, j, :])


def angles(points):
    """All L-M-L angles phi_ij in the order of ligand_pairs(n)."""
    p, single = _as_stack(points)
    a = _angles_of_stack(p)
    return a[0] if single else a


def distances(points):
    """Bond lengths d_i = |M Li|."""
    p, single = _as_stack(points)
    d = np.linalg.norm(ligand_vectors(p), axis=-1)
    return d[0] if single else d


def _descending(angle_list):
    """Angles sorted from the largest down, along the last axis."""
    a = np.asarray(angle_list, dtype=float)
    return -np.sort(-a, axis=-1)


# ------------------------------------------------------------------ CN 3

def height_cn3(points):
    """Signed height h (Angstrom) of M above the plane of L1, L2, L3.

    n = (L2 - L1) x (L3 - L1) (right-hand rule L1 -> L2 -> L3), h = n/|n| . (M - L1):
    positive when M lies on the side that n points to."""
    p, single = _as_stack(points)
    m, l1, l2, l3 = p[:, 0], p[:, 1], p[:, 2], p[:, 3]
    n = np.cross(l2 - l1, l3 - l1)
    n = n / np.linalg.norm(n, axis=-1, keepdims=True)
    return _out(np.sum(n * (m - l1), axis=-1), single)


# ------------------------------------------------------------------ CN 4

def tau4_from_angles(angle_list):
    """tau4 = (360 - alpha - beta) / (360 - 2 theta_T), beta >= alpha the two largest
    of the six angles (Yang, Powell, Houser, Dalton Trans. 2007, 955).
    1 for the tetrahedron, 0 for the square plane."""
    s = _descending(angle_list)
    return (360.0 - s[..., 0] - s[..., 1]) / (360.0 - 2.0 * THETA_T)


def tau4_prime_from_angles(angle_list):
    """tau4' = (beta - alpha)/(360 - theta_T) + (180 - beta)/(180 - theta_T)
    (Okuniewski et al., Polyhedron 90 (2015) 47). 1 tetrahedron, 0 square plane,
    0.24 for the seesaw of 120/180 degrees."""
    s = _descending(angle_list)
    beta, alpha = s[..., 0], s[..., 1]
    return (beta - alpha) / (360.0 - THETA_T) + (180.0 - beta) / (180.0 - THETA_T)


def sigma2_tet_from_angles(angle_list):
    """Bond-angle variance sigma^2 = sum over the six angles of (phi - theta_T)^2 / 5,
    in deg^2 (Robinson, Gibbs, Ribbe, Science 172 (1971) 567)."""
    a = np.asarray(angle_list, dtype=float)
    return np.sum((a - THETA_T) ** 2, axis=-1) / 5.0


def cn4_gaps_from_angles(angle_list):
    """The differences that decide how the CN 4 indices behave:
    'second_third' = 2nd - 3rd largest angle (is the choice of alpha, beta clear?),
    'beta_minus_alpha' = kink of tau4' (where beta and alpha swap)."""
    s = _descending(angle_list)
    return {'second_third': s[..., 1] - s[..., 2],
            'beta_minus_alpha': s[..., 0] - s[..., 1]}


def tetrahedron_volume(a, b, c, d):
    """Volume of the tetrahedron a, b, c, d (stacked points, shape (N, 3))."""
    return np.abs(np.sum((b - a) * np.cross(c - a, d - a), axis=-1)) / 6.0


def lambda_tet(points):
    """Quadratic elongation <lambda> = (1/4) sum (d_i / l0)^2, l0 the centre-to-vertex
    distance of the regular tetrahedron of the same volume as L1..L4:
    V = 8/(9 sqrt 3) l0^3 (Robinson, Gibbs, Ribbe 1971). Infinite for a flat set."""
    p, single = _as_stack(points)
    vol = tetrahedron_volume(p[:, 1], p[:, 2], p[:, 3], p[:, 4])
    with np.errstate(divide='ignore'):
        l0 = np.cbrt(vol * 9.0 * math.sqrt(3.0) / 8.0)
        d = np.linalg.norm(ligand_vectors(p), axis=-1)
        lam = np.mean((d / l0[:, None]) ** 2, axis=-1)
    return _out(lam, single)


def tau4(points):
    p, single = _as_stack(points)
    return _out(tau4_from_angles(_angles_of_stack(p)), single)


def tau4_prime(points):
    p, single = _as_stack(points)
    return _out(tau4_prime_from_angles(_angles_of_stack(p)), single)


def sigma2_tet(points):
    p, single = _as_stack(points)
    return _out(sigma2_tet_from_angles(_angles_of_stack(p)), single)


# ------------------------------------------------------------------ CN 5

def tau5_from_angles(angle_list):
    """tau5 = (beta - alpha)/60, beta >= alpha the two largest of the ten angles
    (Addison et al., J. Chem. Soc. Dalton Trans. 1984, 1349); not clamped.
    0 square pyramid, 1 trigonal bipyramid."""
    s = _descending(angle_list)
    return (s[..., 0] - s[..., 1]) / 60.0


def cn5_gaps_from_angles(angle_list):
    """'second_third': 2nd - 3rd largest angle (choice of alpha);
    'beta_minus_alpha': the kink of tau5 (beta and alpha swap)."""
    s = _descending(angle_list)
    return {'second_third': s[..., 1] - s[..., 2],
            'beta_minus_alpha': s[..., 0] - s[..., 1]}


def tau5(points):
    p, single = _as_stack(points)
    return _out(tau5_from_angles(_angles_of_stack(p)), single)


# ------------------------------------------------------------------ CN 6
# The 3 largest of the 15 angles are taken as the trans angles, the other 12 as cis.

def sigma_oct_from_angles(angle_list):
    """Sigma = sum over the 12 cis angles of |90 - phi| (degrees)."""
    cis = np.sort(np.asarray(angle_list, dtype=float), axis=-1)[..., :12]
    return np.sum(np.abs(90.0 - cis), axis=-1)


def sigma2_oct_from_angles(angle_list):
    """Bond-angle variance sigma^2 = sum over the 12 cis angles of (phi - 90)^2 / 11,
    deg^2 (Robinson, Gibbs, Ribbe 1971)."""
    cis = np.sort(np.asarray(angle_list, dtype=float), axis=-1)[..., :12]
    return np.sum((cis - 90.0) ** 2, axis=-1) / 11.0


def cn6_gaps_from_angles(angle_list):
    """'trans_cis': smallest trans angle - largest cis angle (is the trans/cis split
    clear?); 'cis_from_90': the smallest |90 - phi| over the cis angles (the nearest
    kink of |90 - phi| in Sigma)."""
    s = np.sort(np.asarray(angle_list, dtype=float), axis=-1)
    return {'trans_cis': s[..., 12] - s[..., 11],
            'cis_from_90': np.min(np.abs(90.0 - s[..., :12]), axis=-1)}


def zeta_from_distances(d):
    """zeta = sum_i |d_i - dmean| over the six bond lengths (Angstrom)."""
    d = np.asarray(d, dtype=float)
    return np.sum(np.abs(d - d.mean(axis=-1, keepdims=True)), axis=-1)


def delta_from_distances(d):
    """Delta = (1/6) sum ((d_i - dmean)/dmean)^2 over the six bond lengths."""
    d = np.asarray(d, dtype=float)
    dm = d.mean(axis=-1, keepdims=True)
    return np.mean(((d - dm) / dm) ** 2, axis=-1)


def trans_pairs(points):
    """The trans pairs: the ligand pairs of the 3 largest angles.

    Returns (first, second, valid): first and second of shape (N, 3) hold the two
    ligand indices (0..5) of each pair; valid is False where the three pairs do not
    cover all six ligands (then there is no trans partner for every ligand)."""
    p, single = _as_stack(points)
    a = _angles_of_stack(p)
    pairs = np.array(ligand_pairs(6))
    top3 = np.argsort(-a, axis=-1, kind='stable')[:, :3]
    first, second = pairs[top3, 0], pairs[top3, 1]
    used = np.sort(np.concatenate([first, second], axis=-1), axis=-1)
    valid = np.all(used == np.arange(6), axis=-1)
    if single:
        return first[0], second[0], bool(valid[0])
    return first, second, valid


def _faces(first, second):
    """The 8 faces (one ligand from each trans pair) as 4 pairs of opposite faces.

    Returns a list of 4 tuples (F, F'), each an array (N, 3) of ligand indices, with
    F'[k] the trans partner of F[k]."""
    out = []
    for bits in itertools.product((0, 1), repeat=2):
        choice = (0,) + bits                      # ligand from pair 0 fixed: F, then F'
        f = np.stack([first[:, k] if c == 0 else second[:, k]
                      for k, c in enumerate(choice)], axis=-1)
        g = np.stack([second[:, k] if c == 0 else first[:, k]
                      for k, c in enumerate(choice)], axis=-1)
        out.append((f, g))
    return out


def _gather(v, idx):
    """v (N, 6, 3) and idx (N, k) -> the vectors v[n, idx[n, j]], shape (N, k, 3)."""
    return np.take_along_axis(v, idx[:, :, None], axis=1)


def _pairs_or_given(p, trans):
    if trans is None:
        first, second, valid = trans_pairs(p)
    else:                                         # pairs given: [(i, j), (k, l), (m, n)]
        t = np.asarray(trans)
        first = np.broadcast_to(t[:, 0], (p.shape[0], 3))
        second = np.broadcast_to(t[:, 1], (p.shape[0], 3))
        valid = np.ones(p.shape[0], dtype=bool)
    return first, second, valid


def octahedron_volume(points, trans=None):
    """Volume of the octahedron L1..L6: sum over its 8 faces (one ligand from each
    trans pair) of the volume of the tetrahedron face + centroid of the six ligands.
    NaN where the trans pairs are not a valid matching."""
    p, single = _as_stack(points)
    first, second, valid = _pairs_or_given(p, trans)
    lig = p[:, 1:, :]
    centre = lig.mean(axis=1)
    vol = np.zeros(p.shape[0])
    for f, g in _faces(first, second):
        for face in (f, g):
            a, b, c = (_gather(lig, face[:, k:k + 1])[:, 0] for k in range(3))
            vol += tetrahedron_volume(a, b, c, centre)
    vol[~valid] = np.nan
    return _out(vol, single)


def lambda_oct(points, trans=None):
    """Quadratic elongation <lambda> = (1/6) sum (d_i / l0)^2, l0 the centre-to-vertex
    distance of the regular octahedron of the same volume: V = (4/3) l0^3
    (Robinson, Gibbs, Ribbe 1971)."""
    p, single = _as_stack(points)
    vol = np.atleast_1d(octahedron_volume(p, trans))
    l0 = np.cbrt(0.75 * vol)
    d = np.linalg.norm(ligand_vectors(p), axis=-1)
    return _out(np.mean((d / l0[:, None]) ** 2, axis=-1), single)


def twist_angles(points, trans=None):
    """The 48 trigonal twist angles (degrees) of Marchivie et al., Acta Cryst. B61
    (2005) 25, as computed by Ketkaew et al., Dalton Trans. 50 (2021) 1086; shape
    (N, 48).

    Each of the 8 faces (p, q, r) (one ligand from each trans pair) in turn is the
    reference: M and the six ligands are projected onto the plane through p, q, r, and
    the angles at the projection of M between neighbours in the order p, r', q, p', r,
    q' (x' the trans partner of x) are taken signed, positive counter-clockwise seen
    along n = (q - p) x (r - p). NaN where the trans pairs are not a valid matching."""
    p, single = _as_stack(points)
    first, second, valid = _pairs_or_given(p, trans)
    lig = p[:, 1:, :]
    out = []
    for f, g in _faces(first, second):
        for face, partner in ((f, g), (g, f)):
            a, b, c = (_gather(lig, face[:, k:k + 1])[:, 0] for k in range(3))
            n = np.cross(b - a, c - a)
            n = n / np.linalg.norm(n, axis=-1, keepdims=True)

            def onto_plane(x):
                return x - np.sum((x - a) * n, axis=-1, keepdims=True) * n
            m = onto_plane(p[:, 0, :])
            ring = [face[:, 0], partner[:, 2], face[:, 1], partner[:, 0], face[:, 2], partner[:, 1]]
            w = [onto_plane(_gather(lig, idx[:, None])[:, 0]) - m for idx in ring]
            for k in range(6):
                u, v = w[k], w[(k + 1) % 6]
                out.append(np.degrees(np.arctan2(np.sum(np.cross(u, v) * n, axis=-1),
                                                 np.sum(u * v, axis=-1))))
    t = np.stack(out, axis=-1)
    t[~valid] = np.nan
    return t[0] if single else t


def theta_oct(points, trans=None):
    """Theta = (1/2) sum over the 48 trigonal twist angles of |60 - theta| (degrees),
    every pair of opposite faces counted once with each face as reference; 0 for the
    regular octahedron."""
    t = twist_angles(points, trans)
    return 0.5 * (np.sum(np.abs(60.0 - t), axis=-1) if np.ndim(t) > 1 else float(np.sum(np.abs(60.0 - t))))


def sigma_oct(points):
    p, single = _as_stack(points)
    return _out(sigma_oct_from_angles(_angles_of_stack(p)), single)


def sigma2_oct(points):
    p, single = _as_stack(points)
    return _out(sigma2_oct_from_angles(_angles_of_stack(p)), single)


def zeta(points):
    return zeta_from_distances(distances(points))


def delta_oct(points):
    return delta_from_distances(distances(points))


# ------------------------------------------------------------------ everything at once

def all_indices(points):
    """Every index and gap that applies to the coordination number n = len(points) - 1,
    as a dict name -> value (float for one set, array for a stack)."""
    p, single = _as_stack(points)
    n = p.shape[1] - 1
    a = _angles_of_stack(p)
    d = np.linalg.norm(ligand_vectors(p), axis=-1)
    r = {}
    if n == 3:
        r['h'] = height_cn3(p)
    elif n == 4:
        r['tau4'] = tau4_from_angles(a)
        r["tau4'"] = tau4_prime_from_angles(a)
        r['sigma2_tet'] = sigma2_tet_from_angles(a)
        r['lambda_tet'] = lambda_tet(p)
        g = cn4_gaps_from_angles(a)
        r['gap_2nd_3rd'] = g['second_third']
        r['gap_beta_alpha'] = g['beta_minus_alpha']
    elif n == 5:
        r['tau5'] = tau5_from_angles(a)
        g = cn5_gaps_from_angles(a)
        r['gap_2nd_3rd'] = g['second_third']
        r['gap_beta_alpha'] = g['beta_minus_alpha']
    elif n == 6:
        r['Sigma'] = sigma_oct_from_angles(a)
        r['sigma2_oct'] = sigma2_oct_from_angles(a)
        r['zeta'] = zeta_from_distances(d)
        r['Delta'] = delta_from_distances(d)
        r['lambda_oct'] = lambda_oct(p)
        r['Theta'] = theta_oct(p)
        g = cn6_gaps_from_angles(a)
        r['gap_trans_cis'] = g['trans_cis']
        r['gap_cis_90'] = g['cis_from_90']
    else:
        raise ValueError('indices are defined for 3 to 6 ligands, not %d' % n)
    if single:
        r = {k: float(np.ravel(v)[0]) for k, v in r.items()}
    return r
