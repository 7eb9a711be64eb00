#!/usr/bin/python3
"""Recomputes the "Bond valence" section of every end-to-end case.

For each tests/e2e/cases/*.case (and raw_cases/*.case) whose expected stdout has a "Bond valence
(s = exp((R0 - R)/b)):" section, the central atom and the ligands are rebuilt
from the ligand table as check_index_section.py does (its readers, report
parser, ligand vectors, propagation and rounding), and compared:

* BVS = sum exp((R0 - R)/b) (Brown & Altermatt, Acta Cryst. B41 (1985) 244),
  R0 and b from the element parameters of O'Keeffe & Brese (J. Am. Chem. Soc.
  113 (1991) 3226; tests/data/okeeffe_brese_1991_elements.csv),
  R0 = ri + rj - ri rj (sqrt ci - sqrt cj)^2 / (ci ri + cj rj), b = 0.37, or,
  under --bvparm=FILE, the first row of that table (read here with gemmi) for
  the centre's state and the ligand, a valence-9 row where the state has
  none; the state from the CIF (_atom_type_oxidation_number, or a type
  symbol such as Fe3+), else the state of the table whose own sum lies
  nearest to it;
* ECoN and lw: Hoppe's iteration (Z. Kristallogr. 150 (1979) 23) from the
  shortest bond, l_av = sum l w / sum w, w = exp(1 - (l/l_av)^6), to
  self-consistency; ECoN = sum w there;
* DI = (1/n) sum |l - mean l| / mean l (Baur, Acta Cryst. B30 (1974) 1195);
* offset = |centre - centroid of the ligands|;
* value(su) by the rule of 19: su = sqrt(V1) over coordinates and cell, plus
  V2 for ECoN (its maximum at equal bonds); an su below the noise of the
  arithmetic is none; DI and offset within 3 su of their kinks (a bond at
  the mean, the centre at the centroid): the printed su against our own Monte
  Carlo over the free parameters within 10 %;
* the parameter lines (R0 to 4 and b to 3 decimals) and the note on an
  assumed state, "El +n assumed (BVS x.xx; states in the table: ...)".

--mc-check: the printed su of BVS of every case with su against the sd of BVS
over MC_CHECK_DRAWS draws of the free parameters, within 10 %.

No code or output of the program is used: only the expected stdout of the
cases is read, as the thing to be checked. Run from anywhere (a few seconds):
    /usr/bin/python3 tests/reference/check_bond_valence_section.py [-v] [--mc-check] [CASE ...]
Exit status 1 on a real mismatch.
"""
import math
import os
import re
import shlex
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import check_index_section as cis        # noqa: E402  (exits 77 without numpy, gemmi)
import check_shape_section as css        # noqa: E402

np, fpm, gemmi, parse_case = cis.np, cis.fpm, cis.gemmi, cis.parse_case
HD = fpm.HD
HEADER = "Bond valence (s = exp((R0 - R)/b)):"
DECIMALS = {"BVS": 3, "ECoN": 3, "lw": 4, "DI": 4, "offset": 4}
# An su below these is the noise of the arithmetic, not an uncertainty: 5e-6 A for lengths, 1e-7 else.
FLOORS = {"lw": 5e-6, "offset": 5e-6}
MC_DRAWS, MC_SEED, MC_CHECK_DRAWS = 20000, 20261208, 4000


def exp(x):
    if isinstance(x, HD):
        e = math.exp(x.a)
        return x._apply(e, e, e)
    return np.exp(x) if isinstance(x, np.ndarray) else math.exp(x)


def fabs(x):
    if isinstance(x, HD):
        return -x if x.a < 0 else x
    return abs(x)


# ---------------------------------------------------------------------------- parameters
def element_parameters():
    path = os.path.join(cis.TESTS, "data", "okeeffe_brese_1991_elements.csv")
    with open(path) as f:
        rows = [line.strip().split(",") for line in f][1:]
    return {e.lower(): (float(r), float(c)) for e, r, c in rows}


ELEMENTS = element_parameters()


def ob_r0(a, b):
    (ri, ci), (rj, cj) = ELEMENTS[a.lower()], ELEMENTS[b.lower()]
    return ri + rj - ri * rj * (math.sqrt(ci) - math.sqrt(cj)) ** 2 / (ci * ri + cj * rj)


def read_table(path):
    """[(cation, valence, anion, anion valence, R0, b, ref)] in file order."""
    block = gemmi.cif.read(path).sole_block()
    t = block.find("_valence_param_", ["atom_1", "atom_1_valence", "atom_2", "atom_2_valence", "Ro", "B",
                                       "ref_id"])
    return [(r[0], int(r[1]), r[2], int(r[3]), float(r[4]), float(r[5]), r[6]) for r in t]


def table_row(table, cation, state, anion):
    for v in (state, 9):
        for row in table:
            if row[0].lower() == cation.lower() and row[1] == v and row[2].lower() == anion.lower():
                return row
    return None


# ---------------------------------------------------------------------------- elements and states
SYMBOLS = {gemmi.Element(z).name.lower() for z in range(1, 119)}


def element_of(token):
    """An element symbol from a type symbol or a label: two letters where they make one
    (Cl1, Pt2, FE in an upper-case type symbol), else the first (C12, N3)."""
    letters = re.match(r"[A-Za-z]*", token).group(0)
    two = letters[:2].capitalize()
    if len(letters) > 1 and two.lower() in SYMBOLS and (letters[1].islower() or letters.isupper() and
                                                         len(letters) == 2):
        return two
    return letters[:1].upper()


def shelx_types(path, labels):
    """{label: (element, None)} by the SFAC number of each atom line."""
    sfac, number = [], {}
    for line in open(path, encoding="utf-8", errors="replace"):
        w = line.split()
        if w and w[0].upper() == "SFAC":
            sfac += [e for e in w[1:] if re.fullmatch(r"[A-Za-z]{1,2}", e)]
        elif len(w) > 4 and re.fullmatch(r"\d+", w[1]):
            number[w[0].upper()] = int(w[1])
    out = {}
    for k in labels:
        n = number.get(k.upper(), number.get(k.split("_")[0].upper()))
        out[k] = (sfac[n - 1].capitalize() if n and n <= len(sfac) else element_of(k), None)
    return out


def cif_types(path, block_name):
    """{label: (element, state or None)} from a CIF's type symbols and _atom_type loop."""
    doc = gemmi.cif.read(path)
    block = next(b for b in doc if b.name.lower() == block_name.lower()) if len(doc) > 1 else doc.sole_block()
    states = {}
    for row in list(block.find("_atom_type_", ["symbol", "oxidation_number"])) + \
            list(block.find("_atom_type.", ["symbol", "oxidation_number"])):
        try:
            states[gemmi.cif.as_string(row[0])] = int(row[1])
        except ValueError:
            pass
    out = {}
    rows = block.find("_atom_site_", ["label", "?type_symbol"])
    if not len(rows):
        rows = block.find("_atom_site.", ["label", "?type_symbol"])
    for row in rows:
        label = gemmi.cif.as_string(row[0])
        if not row.has(1):
            out[label] = (element_of(label), None)
            continue
        t = gemmi.cif.as_string(row[1])
        m = re.fullmatch(r"[A-Za-z]+(?:(\d)?([+-])|([+-])(\d)?)", t)
        state = states.get(t)
        if state is None and m:
            digits, sign = (m.group(1), m.group(2)) if m.group(2) else (m.group(4), m.group(3))
            state = (1 if sign == "+" else -1) * int(digits or 1)
        out[label] = (element_of(t) if t else element_of(label), state)
    return out


# ---------------------------------------------------------------------------- the report
def parse_section(lines):
    """dict(present, rows {name: (text, line)}, params [(pair, R0, b)], notes [text])."""
    r = dict(present=False, rows={}, params=[], notes=[])
    inside = False
    for line in lines:
        if line == HEADER:
            inside = r["present"] = True
            continue
        if not inside:
            continue
        if not line.strip():
            break
        m = re.match(r"    (\S+)-(\S+)\s+R0 = (\S+) A  b = (\S+) A  (.*)$", line)
        if m:
            r["params"].append(((m.group(1), m.group(2)), m.group(3), m.group(4), m.group(5)))
        elif line.startswith("  Note: "):
            r["notes"].append(line[8:])
        elif line.startswith("        ") and r["notes"]:
            r["notes"][-1] += " " + line.strip()
        else:
            m = re.match(r"  (\S+)\s+= (not defined \(.*\)|\S+)", line)
            if m:
                r["rows"][m.group(1)] = (m.group(2), line)
    return r


# ---------------------------------------------------------------------------- the quantities
def quantities(vectors, bonds, m=fpm.HDMath):
    """BVS (None without parameters), ECoN, lw, DI, offset, the DI kinks and the offset; `vectors`:
    centre-to-ligand vectors."""
    l = [m.sqrt(cis.dot(v, v)) for v in vectors]
    n = len(l)
    out = {}
    if bonds is not None:
        out["BVS"] = sum((exp((r0 - li) * (1.0 / b)) for li, (r0, b) in zip(l, bonds)), 0.0)
    mean = l[0] if isinstance(l[0], np.ndarray) else min(l, key=cis.val)
    for step in range(400):
        w = [exp(1 - pow6(li * (1 / mean))) for li in l]
        new = sum((li * wi for li, wi in zip(l, w)), 0.0) * (1 / sum(w, 0.0))
        settled = not isinstance(new, np.ndarray) and cis.val(new) == cis.val(mean)
        mean = new
        if settled and step > 30:      # the derivatives settle at the rate of the value
            break
    w = [exp(1 - pow6(li * (1 / mean))) for li in l]
    out["ECoN"], out["lw"] = sum(w, 0.0), mean
    plain = sum(l, 0.0) * (1.0 / n)
    out["DI"] = sum((fabs(li - plain) for li in l), 0.0) * (1 / (plain * n))
    centroid = [sum((v[k] for v in vectors), 0.0) * (1.0 / n) for k in range(3)]
    sq = cis.dot(centroid, centroid)
    out["offset"] = m.sqrt(sq) if isinstance(sq, np.ndarray) or cis.val(sq) > 0 else sq
    for k in range(n):
        out["kink%d" % k] = l[k] - plain
    return out


def pow6(x):
    x2 = x * x
    return x2 * x2 * x2


def setup(central_el, ligand_els, state, table, lengths):
    """(bonds [(R0, b)], sources, state, assumed: (state, sum, states) or None, undefined reason)."""
    if any(e is None for e in ligand_els):
        return None, None, state, None, "a centroid ligand"

    def bonds_at(s):
        bonds, sources = [], []
        for e in ligand_els:
            row = table_row(table, central_el, s, e) if table is not None and s is not None and s > 0 else None
            if row:
                bonds.append((row[4], row[5]))
                sources.append(row[6])
            elif central_el.lower() in ELEMENTS and e.lower() in ELEMENTS:
                bonds.append((ob_r0(central_el, e), 0.37))
                sources.append("O'Keeffe & Brese 1991")
            else:
                return None, None, "no parameters for %s-%s" % (central_el, e)
        return bonds, sources, ""

    if state is not None or table is None:
        b, s, why = bonds_at(state)
        return b, s, state, None, why
    states = sorted({row[1] for row in table for e in ligand_els
                     if row[0].lower() == central_el.lower() and row[2].lower() == e.lower() and row[1] != 9})
    best = None
    for s in states:
        b, src, why = bonds_at(s)
        if b is None:
            continue
        total = sum(math.exp((r0 - l) / bb) for l, (r0, bb) in zip(lengths, b))
        if best is None or abs(total - s) < best[0]:
            best = (abs(total - s), s, total, b, src)
    if best is None:
        b, s, why = bonds_at(None)
        return b, s, None, None, why
    return best[3], best[4], best[1], (best[1], best[2], states), ""


# ---------------------------------------------------------------------------- one case
def check_case(path, mc_check):
    directives, sections = parse_case(path)
    lines = sections.get("stdout", [])
    sec = parse_section(lines)
    if not sec["present"]:
        return None
    # a raw: line (a Windows command line) is not split like a shell's; only its options are read
    words = shlex.split(directives["args"]) if directives["args"] is not None else directives["raw"].split()
    opts = dict(m.groups() for m in (re.fullmatch(r"-{0,2}(xyznames|bvparm)=(.*)", a) for a in words[1:]) if m)
    rep = cis.parse_report(lines)
    # a file named as Windows names it: {workdir}\My Data\x1\x1.cif is My Data/x1/x1.cif
    rep["file"] = rep["file"].replace("{workdir}\\", "").replace("\\", "/")
    items = []

    def item(status, what, printed="", expected=""):
        items.append((status, what, printed, expected))

    s, model, central, ligands = css.build(rep, opts, directives["setup"])
    name = rep["file"]
    for line in directives["setup"]:
        w = shlex.split(line)
        if w[:1] == ["copy"] and w[2] == name:
            name = w[1]
    file_path = os.path.join(cis.TESTS, name)
    if rep["kind"] == "CIF":
        types = cif_types(file_path, rep["block"])
    elif rep["kind"] == "SHELX":
        types = shelx_types(file_path, s.atoms)
    else:
        types = {k: (element_of(k), None) for k in s.atoms}
    has_su = model.n > 0
    table = read_table(os.path.join(cis.TESTS, opts["bvparm"])) if "bvparm" in opts else None
    central_el, state = types[central]
    ligand_els = [types[g[0][0]][0] if len(g) == 1 else None for g in ligands]
    vectors0 = cis.ligand_vectors(model, central, ligands, [0.0] * model.n, fpm.HDMath)
    lengths = [math.sqrt(cis.dot(v, v)) for v in vectors0]
    bonds, sources, state, assumed, undefined = setup(central_el, ligand_els, state, table, lengths)

    def f(q):
        v = cis.ligand_vectors(model, central, ligands, q, fpm.HDMath)
        return sorted(quantities(v, bonds).items())

    res = cis.propagate(model, f)
    for name, decimals in DECIMALS.items():
        printed = sec["rows"].get(name)
        if printed is None:
            item("mismatch", name + " missing")
            continue
        text = printed[0]
        if name == "BVS" and bonds is None:
            item("ok" if text == "not defined (%s)" % undefined else "mismatch", name, text, undefined)
            continue
        r = res[name]
        su = math.sqrt(max(r["v1"] + (r["v2"] if name == "ECoN" else 0.0), 0.0))
        floor = FLOORS.get(name, 1e-7)
        su = su if has_su and su >= floor else 0.0
        kinked = (name == "DI" and any(abs(res["kink%d" % k]["value"]) <= 3 * math.sqrt(res["kink%d" % k]["v1"])
                                       and res["kink%d" % k]["v1"] >= 1e-14 for k in range(len(ligands)))) or \
                 (name == "offset" and su > 0 and r["value"] <= 3 * su)
        if kinked and has_su:
            sd = monte_carlo(model, central, ligands, bonds)[name]
            x, psu, _ = printed_su(text)
            ok = psu is not None and abs(psu - sd) <= 0.1 * sd + 0.5 * 10.0 ** -printed_su(text)[2]
            item("ok" if ok and abs(x - r["value"]) <= 4 * sd else "mismatch", name + " (Monte Carlo su)",
                 text, "value %.6g, sd %.3g" % (r["value"], sd))
            continue
        item(cis.compare(text, r["value"], su, decimals), name, text, cis.value_su(r["value"], su, decimals))
    # the parameter lines and the note on the state
    if bonds is not None:
        want = []
        for e, (r0, b), src in zip(ligand_els, bonds, sources):
            entry = ((central_el, e), "%.4f" % r0, "%.3f" % b, src)
            if entry not in want:
                want.append(entry)
        got = [(p[0], p[1], p[2], p[3].split(" ")[0] if p[3] != "O'Keeffe & Brese 1991" else p[3])
               for p in sec["params"]]
        got = [(tuple(x.capitalize() for x in pair), r0, b, src) for pair, r0, b, src in got]
        want = [(tuple(x.capitalize() for x in pair), r0, b, src) for pair, r0, b, src in want]
        item("ok" if sorted(set(got)) == sorted(set(want)) else "mismatch", "parameters", str(got), str(want))
    if assumed:
        note = "%s %+d assumed (BVS %.2f; states in the table: %s)." % (
            central_el, assumed[0], assumed[1], ", ".join(map(str, assumed[2])))
        item("ok" if note in sec["notes"] else "mismatch", "assumed state", str(sec["notes"]), note)
    if mc_check and has_su and bonds is not None and "/bad/" not in file_path and res["BVS"]["v1"] > 0:
        sd = monte_carlo(model, central, ligands, bonds, MC_CHECK_DRAWS)["BVS"]
        x, psu, _ = printed_su(sec["rows"]["BVS"][0])
        item("ok" if psu is not None and abs(psu - sd) <= 0.1 * sd + 0.5 * 10 ** -su_places(sec["rows"]["BVS"][0])
             else "mismatch", "BVS su against a Monte Carlo", sec["rows"]["BVS"][0], "sd %.3g" % sd)
    return items


def su_places(text):
    m = re.fullmatch(r"-?\d+(?:\.(\d+))?\(\d+\)", text)
    return len(m.group(1) or "") if m else 0


def printed_su(text):
    m = re.fullmatch(r"(-?\d+)(?:\.(\d+))?(?:\((\d+)\))?", text)
    if not m:
        return None, None, None
    dec = len(m.group(2) or "")
    x = float(m.group(1) + ("." + m.group(2) if m.group(2) else ""))
    return x, (int(m.group(3)) * 10.0 ** -dec if m.group(3) else None), dec


def monte_carlo(model, central, ligands, bonds, draws=MC_DRAWS):
    """The sd of every quantity over draws of the free parameters."""
    rng = np.random.default_rng(MC_SEED)
    w, V = np.linalg.eigh(model.C)
    q = (V * np.sqrt(np.clip(w, 0, None))) @ rng.standard_normal((model.n, draws))
    v = cis.ligand_vectors(model, central, ligands, list(q), fpm.NPMath)
    vectors = [[np.asarray(c) for c in vec] for vec in v]
    out = quantities(vectors, bonds, fpm.NPMath)
    return {k: float(np.std(x, ddof=1)) for k, x in out.items()}


def main(argv):
    mc_check = "--mc-check" in argv
    return cis.run_cases(argv, lambda path: check_case(path, mc_check), ("cases", "raw_cases"))


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
