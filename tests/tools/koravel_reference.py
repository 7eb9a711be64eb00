#!/usr/bin/env python3
"""Independent reference calculation of koravel's console output.

Usage:
  koravel_reference.py FILE CENTRAL [LIGAND ...] [--calc] [--tol=x] [--occ=x]
                       [--max=x] [--block=name] [--xyznames=olex|position|element]
                       [--brief] [--sphere=radii]

Prints exactly the lines koravel writes to the console for the same arguments
and exits with the status koravel would end with (0 report, 1 usage, 2 error).
FILE is a CIF, a SHELX .res/.ins (with the SHELXL .mat of the same stem when
one lies beside it) or an XYZ file; a missing CIF falls back to the stem's
.res, .ins and .xyz, as the program does. Ligands may be given as labels,
label#n_klm, labels with Olex2 suffixes (_$n) and centroids ([C1 C2 C3],
cent(...), Cg(...)); the bare option forms (tol=x, block=x, ...) work as well.
--out= and --html= are accepted but write no file (the console shows the same
lines). Automatic ligands are those of the radius criterion alone, the
program's --sphere=radii (accepted here, and the only sphere computed).

Written in plain Python (standard library only) so that the expected output of
end-to-end cases can be worked out without the C++ program. The floating-point
operations follow the program's order of evaluation, so printed digits agree.
"""

import math
import os
import re
import struct
import sys

PROGRAM_TITLE = 'Koravel 1.0 - sum of the bond angles around an atom'
MAX_LIGANDS = 12

HELP_TEXT = '''\
Koravel 1.0 - sum of the bond angles around an atom

Usage:
  koravel <file.cif> <central atom> [ligand1 ligand2 ...] [options]

Calculates the sum of all L-M-L angles around the central atom
(for three ligands: 360 deg = planar) with its standard uncertainty.
The su of the sum is propagated directly from the coordinates and the
cell: the individual angles share the central atom and are correlated,
so their su cannot simply be combined.

If the CIF does not exist, a SHELX file of the same stem is used
instead (.res first, then .ins). A res/ins file holds no standard
uncertainties of its own, so the result is then reported without su
and a warning is printed - unless a SHELXL matrix file of the same
stem (.mat) lies beside it. That file carries the full
variance-covariance matrix, from which correct su are obtained.

Without ligand arguments the ligands are determined automatically
(criterion: d(A-B) <= r_cov(A) + r_cov(B) + tolerance).
With ligand arguments only the given atoms are used (at least 2).

Atom names may also be passed as a single string
("N1 C1 C2 C3"); Olex2 suffixes _$n are ignored.
SHELX labels ending in " (Mg", O1") are accepted as they are;
where a " cannot be passed, write two apostrophes instead (Mg'').

An XYZ file (e.g. a calculated structure shown in Olex2) is read as
Cartesian coordinates without cell, symmetry or su, so all values are
then given without su. If the first column holds only the element, the
atoms are named as in Olex2: element + line in the file counted from 0
(the first atom stands in line 2, e.g. Si2);
labels in the file (C12, Fe1) are used as they are.

Symmetry-equivalent ligands can be given as "label#n_klm"
(e.g. O1#2_655). Without a code the nearest image is used.

A centroid (unit weights, as Olex2 "cent") is given as a ligand by
listing its atoms in brackets: [C1 C2 C3 C4 C5], also cent(...) or
Cg(...). Its su follow from those of its atoms, e.g.
  koravel fc.cif Fe1 [C1 C2 C3 C4 C5] [C6 C7 C8 C9 C10]

Options:
  --tol=<A>     bond tolerance in Angstrom (default 0.40)
  --occ=<x>     minimum occupancy for the automatic search (default 0.5)
  --max=<A>     maximum search radius in Angstrom
  --block=<n>   data block in the CIF (default: chosen automatically)
  --xyznames=olex|position|element
                naming of XYZ atoms: element + line in the file counted
                from 0, as Olex2 does (default; first atom = 2), element +
                position in the atom list (first atom = 1), or per element
                (C1, H1, H2, ...)
  --calc        list computed angles only, ignore _geom_angle
  --out=<file>  also write the full report to a text file
  --html=<file> also write the full report as HTML (e.g. for Olex2)
  --brief       print a single result line only
  --help        this help

The options with a value may also be written without the leading
"--" (block=x, html=x, out=x, tol=x, occ=x, max=x, xyznames=x).
Olex2 needs this:
its exec macro claims every "-" argument as its own option.'''


class FatalError(Exception):
    """A failure that the program reports as an "Error: " line with status 2."""


# ---------------------------------------------------------------- text helpers

_BLANKS = ''.join(chr(i) for i in range(33))
_ASCII_LOWER = str.maketrans('ABCDEFGHIJKLMNOPQRSTUVWXYZ',
                             'abcdefghijklmnopqrstuvwxyz')
_DIGITS = '0123456789'


def trim(text):
    return text.strip(_BLANKS)


def lower_ascii(text):
    return text.translate(_ASCII_LOWER)


def same_text(a, b):
    return lower_ascii(a) == lower_ascii(b)


_NUMBER_RE = re.compile(r'[+-]?(?:[0-9]+\.?[0-9]*|\.[0-9]+)(?:[eE][+-]?[0-9]+)?')
_INTEGER_RE = re.compile(r'[+-]?[0-9]+')


def parse_number(text):
    """Strict decimal number: sign, digits with an optional point, exponent."""
    if not _NUMBER_RE.fullmatch(text):
        return None
    value = float(text)
    if not math.isfinite(value):
        return None
    return value


def parse_integer(text):
    if not _INTEGER_RE.fullmatch(text):
        return None
    value = int(text)
    if value < -2**31 or value > 2**31 - 1:
        return None
    return value


def is_null_value(text):
    t = trim(text)
    return t in ('', '?', '.')


def format_fixed(value, decimals):
    """Fixed decimals, round half to even on the binary value, no "-0.00"."""
    text = format(value, '.%df' % decimals)
    if text.startswith('-') and all(ch in '0.' for ch in text[1:]):
        text = text[1:]
    return text


def format_value_su(value, su, default_decimals):
    if not su > 0 or not math.isfinite(su):
        return format_fixed(value, default_decimals)
    e = math.floor(math.log10(su))
    if su / 10.0 ** e < 2:
        d = -e + 1
    else:
        d = -e
    d = max(0, min(8, d))
    n = round(su * 10.0 ** d)
    if n >= 20 and d > 0:
        d -= 1
        n = round(su * 10.0 ** d)
    if n < 1:
        n = 1
    return format_fixed(value, d) + '(' + str(n) + ')'


def parse_su(text):
    """Value with su in units of the last digit, e.g. 1.2345(12); None if not a number."""
    t = trim(text)
    if is_null_value(t):
        return None
    open_pos = t.find('(')
    if open_pos >= 0:
        number_part = t[:open_pos]
        close_pos = t.find(')')
        su_part = t[open_pos + 1:close_pos] if close_pos > open_pos else t[open_pos + 1:]
    else:
        number_part = t
        su_part = ''
    value = parse_number(number_part)
    if value is None:
        return None
    su = 0.0
    if su_part:
        exponent = 0
        mantissa = number_part
        e_pos = [p for p in (number_part.find('e'), number_part.find('E')) if p >= 0]
        if e_pos:
            p = min(e_pos)
            mantissa = number_part[:p]
            parsed = parse_integer(number_part[p + 1:])
            exponent = parsed if parsed is not None else 0
        dot = mantissa.find('.')
        decimals = len(mantissa) - dot - 1 if dot >= 0 else 0
        s = parse_number(su_part)
        if s is not None:
            su = s * math.exp((exponent - decimals) * math.log(10))
    return value, su


# ------------------------------------------------------------------ CIF reader

class CifLoop:
    def __init__(self):
        self.names = []
        self.values = []

    def index_of_name(self, tag):
        tag = lower_ascii(tag)
        for i, name in enumerate(self.names):
            if name == tag:
                return i
        return -1

    def row_count(self):
        if not self.names:
            return 0
        return len(self.values) // len(self.names)

    def value(self, row, col):
        if col < 0 or col >= len(self.names):
            return ''
        index = row * len(self.names) + col
        if index < 0 or index >= len(self.values):
            return ''
        return self.values[index]


class CifBlock:
    def __init__(self, name):
        self.name = name
        self.item_names = []
        self.item_values = []
        self.loops = []

    def get_item(self, tag):
        tag = lower_ascii(tag)
        for name, value in zip(self.item_names, self.item_values):
            if name == tag:
                return value
        return ''

    def find_loop(self, tag):
        for loop in self.loops:
            if loop.index_of_name(tag) >= 0:
                return loop
        return None

    def find_loop_any(self, tags):
        for tag in tags:
            loop = self.find_loop(tag)
            if loop is not None:
                return loop
        return None


def read_text_lines(path):
    with open(path, 'rb') as handle:
        data = handle.read()
    if data.startswith(b'\xef\xbb\xbf'):
        text = data[3:].decode('latin-1')
    elif data.startswith(b'\xff\xfe'):
        text = data[2:].decode('utf-16-le', 'replace').encode('utf-8').decode('latin-1')
    elif data.startswith(b'\xfe\xff'):
        text = data[2:].decode('utf-16-be', 'replace').encode('utf-8').decode('latin-1')
    else:
        text = data.decode('latin-1')
    lines = re.split(r'\r\n|\r|\n', text)
    if lines and lines[-1] == '':
        lines.pop()
    return lines


def tokenize_line(line, tokens):
    i = 0
    n = len(line)
    while i < n:
        ch = line[i]
        if ch in ' \t':
            i += 1
        elif ch == '#':
            return
        elif ch in '\'"':
            j = i + 1
            while j < n and not (line[j] == ch and (j + 1 == n or line[j + 1] in ' \t')):
                j += 1
            tokens.append((line[i + 1:j], True))
            i = j + 1
        else:
            j = i
            while j < n and line[j] not in ' \t':
                j += 1
            tokens.append((line[i:j], False))
            i = j


def tokenize_cif(lines):
    tokens = []
    in_field = False
    field = ''
    for line in lines:
        if line.startswith(';'):
            if not in_field:
                in_field = True
                field = trim(line[1:])
            else:
                tokens.append((field, True))
                field = ''
                in_field = False
        elif in_field:
            if field:
                field += '\r\n'
            field += line
        else:
            tokenize_line(line, tokens)
    if in_field:
        tokens.append((field, True))
    return tokens


def ends_loop(token):
    text, quoted = token
    if quoted:
        return False
    low = lower_ascii(text)
    return (low in ('loop_', 'global_') or low.startswith('data_')
            or low.startswith('save_') or low.startswith('_'))


def build_blocks(tokens):
    blocks = []
    current = None
    i = 0
    count = len(tokens)
    while i < count:
        text, quoted = tokens[i]
        if quoted:
            i += 1
            continue
        low = lower_ascii(text)
        if low.startswith('data_'):
            current = CifBlock(text[5:])
            blocks.append(current)
            i += 1
        elif low == 'global_':
            i += 1
        elif low.startswith('save_'):
            i += 1
            if low != 'save_':
                while i < count:
                    t2, q2 = tokens[i]
                    i += 1
                    if not q2 and lower_ascii(t2) == 'save_':
                        break
        elif low == 'loop_':
            if current is None:
                current = CifBlock('')
                blocks.append(current)
            loop = CifLoop()
            current.loops.append(loop)
            i += 1
            while i < count and not tokens[i][1] and tokens[i][0].startswith('_'):
                loop.names.append(lower_ascii(tokens[i][0]))
                i += 1
            while i < count and not ends_loop(tokens[i]):
                loop.values.append(tokens[i][0])
                i += 1
        elif text.startswith('_'):
            if current is None:
                current = CifBlock('')
                blocks.append(current)
            if i + 1 < count:
                current.item_names.append(lower_ascii(text))
                current.item_values.append(tokens[i + 1][0])
                i += 2
            else:
                i += 1
        else:
            i += 1
    return blocks


def load_cif(path):
    return build_blocks(tokenize_cif(read_text_lines(path)))


# ------------------------------------------------------- cell and coordinates

DEG = 0.017453292519943295
RAD_TO_DEG = 180.0 / math.pi


def metric_term(alpha, beta, gamma):
    ca = math.cos(alpha * DEG)
    cb = math.cos(beta * DEG)
    cg = math.cos(gamma * DEG)
    return 2 * ca * cb * cg + (1 - ca * ca - cb * cb - cg * cg)


def ortho_matrix(cell):
    a, b, c, alpha, beta, gamma = cell[0], cell[1], cell[2], cell[3], cell[4], cell[5]
    ca = math.cos(alpha * DEG)
    cb = math.cos(beta * DEG)
    cg = math.cos(gamma * DEG)
    sg = math.sin(gamma * DEG)
    g = 2 * ca * cb * cg + (1 - ca * ca - cb * cb - cg * cg)
    if g < 0:
        g = 0.0
    return ((a, b * cg, c * cb),
            (0.0, b * sg, c * (ca - cb * cg) / sg),
            (0.0, 0.0, c * math.sqrt(g) / sg))


def mat_vec(m, v):
    return (m[0][0] * v[0] + m[0][1] * v[1] + m[0][2] * v[2],
            m[1][0] * v[0] + m[1][1] * v[1] + m[1][2] * v[2],
            m[2][0] * v[0] + m[2][1] * v[1] + m[2][2] * v[2])


def distance(p, q):
    dx = p[0] - q[0]
    dy = p[1] - q[1]
    dz = p[2] - q[2]
    return math.sqrt(dx * dx + dy * dy + dz * dz)


# ------------------------------------------------------------ symmetry

class SymOp:
    def __init__(self, rot, trans, num, code):
        self.rot = rot
        self.trans = trans
        self.num = num
        self.code = code

    def same_operator(self, other):
        return self.rot == other.rot and self.trans == other.trans


class Site:
    def __init__(self, atom, op):
        self.atom = atom
        self.op = op


def identity_symop():
    return SymOp([[1.0, 0.0, 0.0], [0.0, 1.0, 0.0], [0.0, 0.0, 1.0]], [0.0, 0.0, 0.0], 1, '1_555')


def _scan_symop_piece(piece, row, trans, i):
    sign = 1.0
    j = 0
    n = len(piece)
    while j < n:
        ch = piece[j]
        if ch == '+':
            sign = 1.0
            j += 1
        elif ch == '-':
            sign = -1.0
            j += 1
        elif ch in 'xyzXYZ':
            row['xyz'.index(lower_ascii(ch))] += sign
            sign = 1.0
            j += 1
        elif ch in _DIGITS or ch == '.':
            k = j
            while k < n and (piece[k] in _DIGITS or piece[k] == '.'):
                k += 1
            number = parse_number(piece[j:k])
            if number is None:
                return False
            j = k
            if j < n and piece[j] == '/':
                k = j + 1
                while k < n and (piece[k] in _DIGITS or piece[k] == '.'):
                    k += 1
                denominator = parse_number(piece[j + 1:k])
                if denominator is None or denominator == 0:
                    return False
                number = number / denominator
                j = k
            if j < n and piece[j] == '*':
                j += 1
            if j < n and piece[j] in 'xyzXYZ':
                row['xyz'.index(lower_ascii(piece[j]))] += sign * number
                j += 1
            else:
                trans[i] += sign * number
            sign = 1.0
        else:
            j += 1
    return True


def parse_symop(text):
    rot = [[0.0, 0.0, 0.0], [0.0, 0.0, 0.0], [0.0, 0.0, 0.0]]
    trans = [0.0, 0.0, 0.0]
    rest = trim(text)
    for i in range(3):
        comma = rest.find(',')
        if comma >= 0:
            piece, rest = rest[:comma], rest[comma + 1:]
        else:
            piece, rest = rest, ''
        if not _scan_symop_piece(piece, rot[i], trans, i):
            return None
    return SymOp(rot, trans, 1, '1_555')


def apply_symop(op, f):
    r = op.rot
    t = op.trans
    return (r[0][2] * f[2] + (r[0][1] * f[1] + r[0][0] * f[0]) + t[0],
            r[1][2] * f[2] + (r[1][1] * f[1] + r[1][0] * f[0]) + t[1],
            r[2][2] * f[2] + (r[2][1] * f[1] + r[2][0] * f[0]) + t[2])


def translated_symop(op, ta, tb, tc):
    trans = [op.trans[0] + ta, op.trans[1] + tb, op.trans[2] + tc]
    parts = (5 + ta, 5 + tb, 5 + tc)
    if all(0 <= p <= 9 for p in parts):
        code = '%d_%d%d%d' % ((op.num,) + parts)
    else:                                   # beyond one digit: n_k_l_m
        code = '%d_%d_%d_%d' % ((op.num,) + parts)
    return SymOp(op.rot, trans, op.num, code)


def same_site(frac, s1, s2):
    """Same atom and same position; equal codes decide only for identical operators."""
    if s1.atom != s2.atom:
        return False
    if s1.op.code == s2.op.code and s1.op.same_operator(s2.op):
        return True
    if s1.atom < 0 or s1.atom >= len(frac):
        return False
    p = apply_symop(s1.op, frac[s1.atom])
    q = apply_symop(s2.op, frac[s1.atom])
    return all(abs(p[k] - q[k]) <= 0.001 for k in range(3))


def normalize_symcode(text):
    t = trim(text)
    if t in ('', '.', '?'):
        return '1_555'
    if '_' in t:
        return t
    return t + '_555'


def resolve_symcode(code, symops):
    pos = code.find('_')
    if pos < 1:
        return None
    n = parse_integer(code[:pos])
    if n is None or n < 1 or n > len(symops):
        return None
    rest = code[pos + 1:]
    if '_' in rest:                         # n_k_l_m
        parts = [parse_integer(p) for p in rest.split('_')]
        if len(parts) != 3 or any(p is None or abs(p) > 1000000 for p in parts):
            return None
        return translated_symop(symops[n - 1], parts[0] - 5, parts[1] - 5, parts[2] - 5)
    if len(rest) != 3 or any(ch not in _DIGITS for ch in rest):
        return None
    return translated_symop(symops[n - 1], int(rest[0]) - 5, int(rest[1]) - 5, int(rest[2]) - 5)


def site_cartesian(frac_vec, op, m):
    return mat_vec(m, apply_symop(op, frac_vec))


# ------------------------------------------------------------- elements

_ELEMENTS = (
    'H 0.31 He 0.28 Li 1.28 Be 0.96 B 0.84 C 0.76 N 0.71 O 0.66 F 0.57 Ne 0.58 Na 1.66 Mg 1.41 '
    'Al 1.21 Si 1.11 P 1.07 S 1.05 Cl 1.02 Ar 1.06 K 2.03 Ca 1.76 Sc 1.70 Ti 1.60 V 1.53 Cr 1.39 '
    'Mn 1.50 Fe 1.42 Co 1.38 Ni 1.24 Cu 1.32 Zn 1.22 Ga 1.22 Ge 1.20 As 1.19 Se 1.20 Br 1.20 Kr 1.16 '
    'Rb 2.20 Sr 1.95 Y 1.90 Zr 1.75 Nb 1.64 Mo 1.54 Tc 1.47 Ru 1.46 Rh 1.42 Pd 1.39 Ag 1.45 Cd 1.44 '
    'In 1.42 Sn 1.39 Sb 1.39 Te 1.38 I 1.39 Xe 1.40 Cs 2.44 Ba 2.15 La 2.07 Ce 2.04 Pr 2.03 Nd 2.01 '
    'Pm 1.99 Sm 1.98 Eu 1.98 Gd 1.96 Tb 1.94 Dy 1.92 Ho 1.92 Er 1.89 Tm 1.90 Yb 1.87 Lu 1.87 Hf 1.75 '
    'Ta 1.70 W 1.62 Re 1.51 Os 1.44 Ir 1.41 Pt 1.36 Au 1.36 Hg 1.32 Tl 1.45 Pb 1.46 Bi 1.48 Po 1.40 '
    'At 1.50 Rn 1.50 Fr 2.60 Ra 2.21 Ac 2.15 Th 2.06 Pa 2.00 U 1.96 Np 1.90 Pu 1.87 Am 1.80 Cm 1.69'
).split()
ELEMENT_SYMBOLS = _ELEMENTS[0::2]
ELEMENT_RADII = [float(r) for r in _ELEMENTS[1::2]]
assert len(ELEMENT_SYMBOLS) == 96


def element_index(symbol):
    low = lower_ascii(symbol)
    for i, sym in enumerate(ELEMENT_SYMBOLS):
        if lower_ascii(sym) == low:
            return i + 1
    return 0


def covalent_radius(symbol):
    index = 1 if symbol.upper() in ('D', 'T') else element_index(symbol)   # deuterium, tritium
    return ELEMENT_RADII[index - 1] if index > 0 else 1.5


def letter_prefix(text):
    end = 0
    while end < len(text) and ('A' <= text[end] <= 'Z' or 'a' <= text[end] <= 'z'):
        end += 1
    return text[:end]


def element_from_label(label):
    prefix = letter_prefix(label)
    if not prefix:
        return ''
    if len(prefix) >= 2 and element_index(prefix[:2]) > 0:
        return prefix[:2]
    if element_index(prefix[0]) > 0:
        return prefix[0]
    # deuterium and tritium (Dh1, T2); Db, Ds and Ts are elements beyond the table
    if prefix[0].upper() in ('D', 'T') and prefix[:2].lower() not in ('db', 'ds', 'ts'):
        return prefix[0]
    return prefix


# ------------------------------------------------------ structure from a block

class Atom:
    def __init__(self, label, element, frac, frac_su, occ):
        self.label = label
        self.element = element
        self.frac = frac
        self.frac_su = frac_su
        self.occ = occ


class CifAngle:
    def __init__(self, labels, syms, angle, su):
        self.labels = labels
        self.syms = syms
        self.angle = angle
        self.su = su


def has_structure(block):
    return not is_null_value(block.get_item('_cell_length_a')) and \
        block.find_loop('_atom_site_label') is not None


def block_has_atom(block, label):
    loop = block.find_loop('_atom_site_label')
    if loop is None:
        return False
    col = loop.index_of_name('_atom_site_label')
    return any(same_text(loop.value(r, col), label) for r in range(loop.row_count()))


def structure_block_names(blocks):
    return ', '.join(b.name for b in blocks if has_structure(b))


_CELL_ITEMS = (('_cell_length_a', 0.0), ('_cell_length_b', 0.0), ('_cell_length_c', 0.0),
               ('_cell_angle_alpha', 90.0), ('_cell_angle_beta', 90.0), ('_cell_angle_gamma', 90.0))


def read_cell(block, file_name):
    values = []
    sus = []
    for tag, default in _CELL_ITEMS:
        parsed = parse_su(block.get_item(tag))
        if parsed is None:
            values.append(default)
            sus.append(0.0)
        else:
            values.append(parsed[0])
            sus.append(parsed[1])
    usable = all(v > 0 for v in values[:3])
    for angle in values[3:]:
        if not (math.isfinite(angle) and 0 < angle < 180):
            usable = False
    if usable and not metric_term(values[3], values[4], values[5]) > 1e-6:
        usable = False
    if not usable:
        raise FatalError('cell parameters are missing or unusable in ' + file_name + '.')
    return values + sus


_SYMOP_TAGS = ('_space_group_symop_operation_xyz', '_symmetry_equiv_pos_as_xyz',
               '_space_group_symop.operation_xyz')


def read_symops(block):
    symops = []
    loop = block.find_loop_any(_SYMOP_TAGS)
    if loop is not None:
        col = -1
        for tag in _SYMOP_TAGS:
            col = loop.index_of_name(tag)
            if col >= 0:
                break
        for row in range(loop.row_count()):
            text = loop.value(row, col)
            if is_null_value(text):
                continue
            op = parse_symop(text)
            if op is None:
                continue
            k = len(symops) + 1
            op.num = k
            op.code = '%d_555' % k
            symops.append(op)
    if not symops:
        symops.append(identity_symop())
    return symops


def read_atoms(block, file_name):
    loop = block.find_loop('_atom_site_label')
    if loop is None:
        raise FatalError('no _atom_site loop found in ' + file_name + '.')
    c_label = loop.index_of_name('_atom_site_label')
    c_type = loop.index_of_name('_atom_site_type_symbol')
    c_xyz = [loop.index_of_name('_atom_site_fract_' + a) for a in 'xyz']
    c_occ = loop.index_of_name('_atom_site_occupancy')
    if min(c_xyz) < 0:
        raise FatalError('fractional coordinates are missing in the _atom_site loop of '
                         + file_name + '.')
    atoms = []
    for row in range(loop.row_count()):
        label = loop.value(row, c_label)
        element = letter_prefix(loop.value(row, c_type)) if c_type >= 0 else ''
        if not element:
            element = element_from_label(label)
        parsed = [parse_su(loop.value(row, c)) for c in c_xyz]
        if any(p is None for p in parsed):
            continue
        occ = 1.0
        if c_occ >= 0:
            p_occ = parse_su(loop.value(row, c_occ))
            if p_occ is not None:
                occ = p_occ[0]
        atoms.append(Atom(label, element, tuple(p[0] for p in parsed),
                          tuple(p[1] for p in parsed), occ))
    if not atoms:
        raise FatalError('no atoms with coordinates found in ' + file_name + '.')
    return atoms


_ANGLE_LABEL_TAGS = ('_geom_angle_atom_site_label_1', '_geom_angle_atom_site_label_2',
                     '_geom_angle_atom_site_label_3')
_ANGLE_SYM_TAGS = ('_geom_angle_site_symmetry_1', '_geom_angle_site_symmetry_2',
                   '_geom_angle_site_symmetry_3')


def read_cif_angles(block):
    angles = []
    loop = block.find_loop('_geom_angle')
    if loop is None:
        return angles
    c_labels = [loop.index_of_name(t) for t in _ANGLE_LABEL_TAGS]
    c_value = loop.index_of_name('_geom_angle')
    if min(c_labels) < 0 or c_value < 0:
        return angles
    c_syms = [loop.index_of_name(t) for t in _ANGLE_SYM_TAGS]
    for row in range(loop.row_count()):
        parsed = parse_su(loop.value(row, c_value))
        if parsed is None:
            continue
        labels = [loop.value(row, c) for c in c_labels]
        syms = [normalize_symcode(loop.value(row, c)) if c >= 0 else '1_555' for c in c_syms]
        angles.append(CifAngle(labels, syms, parsed[0], parsed[1]))
    return angles


# ------------------------------------------------------------ plain text files

def read_plain_lines(path):
    """A whole text file as lines (CR LF, LF or CR); a read failure is reported."""
    try:
        with open(path, 'rb') as handle:
            data = handle.read()
    except OSError as err:
        raise FatalError('cannot read ' + path + ': ' + (err.strerror or str(err)))
    lines = re.split(r'\r\n|\r|\n', data.decode('latin-1'))
    if lines and lines[-1] == '':
        lines.pop()
    return lines


def split_blanks(text):
    """Tokens separated by runs of blanks and tabs."""
    return [t for t in re.split(r'[ \t]+', text) if t]


def round_to_int32(value):
    """Nearest integer, halves to even; None outside the 32-bit range."""
    if not math.isfinite(value):
        return None
    n = round(value)
    if n < -2**31 or n > 2**31 - 1:
        return None
    return n


def file_extension(name):
    base_start = name.rfind('/') + 1
    dot = name.rfind('.')
    return name[dot:] if dot >= base_start else ''


def file_stem(name):
    ext = file_extension(name)
    return name[:len(name) - len(ext)]


def cell_is_usable(values):
    """Lengths positive, angles strictly between 0 and 180, a cell of non-zero volume."""
    for length in values[:3]:
        if not (math.isfinite(length) and length > 0):
            return False
    for angle in values[3:6]:
        if not (math.isfinite(angle) and 0 < angle < 180):
            return False
    return metric_term(values[3], values[4], values[5]) > 1e-6


# ------------------------------------------------------------ SHELX files

SHELX_INSTRUCTIONS = frozenset((
    'TITL CELL ZERR LATT SYMM SFAC DISP UNIT LAUE REM MORE TIME OMIT SHEL BASF TWIN EXTI '
    'SWAT HOPE MERG SPEC RESI MOVE ANIS AFIX HFIX FRAG FEND EXYZ EADP EQIV CONN PART BIND '
    'FREE DFIX DANG BUMP SAME SADI CHIV FLAT DELU SIMU DEFS ISOR NCSY SUMP BLOC DAMP STIR '
    'WGHT FVAR BOND CONF MPLA RTAB HTAB LIST ACTA SIZE TEMP WPDB FMAP GRID PLAN MOLE ABIN '
    'ANSC ANSR RIGU PRIG XNPD SLIM CGLS L.S. END HKLF NEUT ELEC BEDE LONE WIGL').split())
assert len(SHELX_INSTRUCTIONS) == 83

MAX_SYMM_CARDS = 192

LATT_CENTRINGS = {
    1: [],
    2: [(0.5, 0.5, 0.5)],
    3: [(2.0 / 3.0, 1.0 / 3.0, 1.0 / 3.0), (1.0 / 3.0, 2.0 / 3.0, 2.0 / 3.0)],
    4: [(0.0, 0.5, 0.5), (0.5, 0.0, 0.5), (0.5, 0.5, 0.0)],
    5: [(0.0, 0.5, 0.5)],
    6: [(0.5, 0.0, 0.5)],
    7: [(0.5, 0.5, 0.0)],
}


def is_q_peak(token):
    return (len(token) >= 2 and token[0] in 'Qq'
            and all(ch in _DIGITS for ch in token[1:]))


def sfac_name(token):
    letters = letter_prefix(token)
    return letters[:1].upper() + lower_ascii(letters[1:])


def decode_shelx_value(x, free_vars):
    """SHELXL's x = 10*m + p: m = 1 fixes p, m = +-k couples p to free variable k."""
    if abs(x) < 5:
        return x
    m = math.floor(x / 10 + 0.5)
    p = x - 10.0 * m
    if abs(m) == 1:
        return p
    if m >= 2:
        return p * free_vars[m - 1] if m <= len(free_vars) else p
    if m <= -2:
        return (free_vars[-m - 1] - 1) * p if -m <= len(free_vars) else p
    return p


def decode_shelx_occ(x, free_vars):
    value = decode_shelx_value(x, free_vars)
    return 0.0 if value < 0 else value


def wrap01(t):
    f = t - math.trunc(t)
    if f < -1e-9:
        f += 1
    if abs(f) < 1e-9:
        f = 0.0
    if abs(f - 1) < 1e-9:
        f = 0.0
    return f


def same_symop(p, q):
    """Equal rotations and translations equal modulo whole lattice translations."""
    for i in range(3):
        for j in range(3):
            if abs(p.rot[i][j] - q.rot[i][j]) > 1e-6:
                return False
    for i in range(3):
        f = wrap01(p.trans[i] - q.trans[i])
        if min(f, 1 - f) > 1e-6:
            return False
    return True


def generate_shelx_symops(latt, symm_ops):
    base = [identity_symop()]
    for op in symm_ops:
        base.append(SymOp([list(r) for r in op.rot], [wrap01(t) for t in op.trans], 1, '1_555'))
    if latt > 0:
        for op in list(base):
            base.append(SymOp([[-v for v in r] for r in op.rot],
                              [wrap01(-t) for t in op.trans], 1, '1_555'))
    symops = list(base)
    for v in LATT_CENTRINGS.get(abs(latt), []):
        for b in base:
            cand = SymOp([list(r) for r in b.rot],
                         [wrap01(b.trans[i] + v[i]) for i in range(3)], 1, '1_555')
            if not any(same_symop(cand, s) for s in symops):
                symops.append(cand)
    for k, op in enumerate(symops):
        op.num = k + 1
        op.code = '%d_555' % (k + 1)
    return symops


def distinct_symops(symops):
    distinct = []
    for op in symops:
        if not any(same_symop(op, d) for d in distinct):
            distinct.append(op)
    return distinct


def site_symmetry_order(distinct_ops, frac):
    """Number of operators that map the position onto itself, modulo lattice translations."""
    count = 0
    for op in distinct_ops:
        p = apply_symop(op, frac)
        same = True
        for k in range(3):
            w = wrap01(p[k] - frac[k])
            if min(w, 1 - w) > 0.001:
                same = False
                break
        if same:
            count += 1
    return count


def site_occupancy(sof, order):
    """SHELXL's site occupation factor times the site-symmetry order, as an occupancy.

    SHELXL writes the factor to five decimals (1/48 as 0.02083), so a product within
    the rounding of the written factor of a multiple of 0.01 is taken as that multiple."""
    occ = sof * order
    nearest = round(occ * 100) / 100
    if abs(occ - nearest) <= order * 0.000005:
        occ = nearest
    return occ


class ShelxData:
    def __init__(self):
        self.title = ''
        self.cell = [0.0, 0.0, 0.0, 90.0, 90.0, 90.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0]
        self.symops = []
        self.atoms = []


def shelx_logical_lines(physical):
    logical = []
    pending = ''
    for line in physical:
        stripped = line.rstrip(_BLANKS)
        if stripped and stripped.endswith('='):
            pending += stripped[:-1] + ' '
            continue
        logical.append(pending + stripped)
        pending = ''
    if pending:
        logical.append(pending)
    return logical


def read_shelx_file(name):
    data = ShelxData()
    physical = read_plain_lines(name)
    sfac = []
    free_vars = []
    latt = 1
    symm_texts = []
    cell_found = False
    for line in shelx_logical_lines(physical):
        text = trim(line)
        tokens = split_blanks(text)
        if not tokens:
            continue
        keyword = tokens[0].upper()
        if keyword == 'TITL':
            data.title = trim(text[4:])
        elif keyword == 'CELL' and len(tokens) >= 8:
            cell_found = True
            for i in range(6):
                value = parse_number(tokens[2 + i])
                if value is not None:
                    data.cell[i] = value
        elif keyword == 'ZERR' and len(tokens) >= 8:
            for i in range(6):
                value = parse_number(tokens[2 + i])
                if value is not None:
                    data.cell[6 + i] = value
        elif keyword == 'LATT' and len(tokens) >= 2 and parse_number(tokens[1]) is not None:
            number = round_to_int32(parse_number(tokens[1]))
            if number is not None:
                latt = number
        elif keyword == 'SYMM':
            op_text = trim(text[4:]).replace(' ', '')
            if op_text:
                symm_texts.append(op_text)
        elif keyword == 'SFAC' and len(tokens) >= 3 and parse_number(tokens[2]) is not None:
            sfac.append(sfac_name(tokens[1]))
        elif keyword == 'SFAC':
            sfac.extend(sfac_name(t) for t in tokens[1:])
        elif keyword == 'FVAR':
            for t in tokens[1:]:
                value = parse_number(t)
                if value is not None:
                    free_vars.append(value)
        elif keyword in ('END', 'HKLF'):
            break
        elif keyword in SHELX_INSTRUCTIONS:
            continue
        else:
            atom = shelx_atom(tokens, sfac, free_vars)
            if atom is not None:
                data.atoms.append(atom)
    if not cell_found:
        raise FatalError('no CELL card found in ' + name + '.')
    if not cell_is_usable(data.cell):
        raise FatalError('cell parameters in ' + name + ' are unusable.')
    if not data.atoms:
        raise FatalError('no atoms found in ' + name + '.')
    symm_ops = [op for op in (parse_symop(t) for t in symm_texts) if op is not None]
    if len(symm_ops) > MAX_SYMM_CARDS:
        raise FatalError('too many SYMM cards in ' + name
                         + ' (a space group has at most 192 operators).')
    data.symops = generate_shelx_symops(latt, symm_ops)
    distinct = distinct_symops(data.symops)
    for atom in data.atoms:
        atom.occ = site_occupancy(atom.occ, site_symmetry_order(distinct, atom.frac))
    return data


def shelx_atom(tokens, sfac, free_vars):
    if len(tokens) < 5 or is_q_peak(tokens[0]):
        return None
    number = parse_number(tokens[1])
    if number is None:
        return None
    n = round_to_int32(number)
    if n is None or n < 1 or n > len(sfac):
        return None
    xyz = [parse_number(t) for t in tokens[2:5]]
    if any(v is None for v in xyz):
        return None
    frac = tuple(decode_shelx_value(v, free_vars) for v in xyz)
    occ = 1.0
    if len(tokens) >= 6:
        sof = parse_number(tokens[5])
        if sof is not None:
            occ = decode_shelx_occ(sof, free_vars)
    return Atom(tokens[0], sfac[n - 1], frac, (0.0, 0.0, 0.0), occ)


# ------------------------------------------------------------ SHELXL matrix file

def to_single(value):
    try:
        return struct.unpack('f', struct.pack('f', value))[0]
    except OverflowError:
        return math.copysign(math.inf, value)


def strip_caret_suffix(name):
    if len(name) >= 2 and name[-2] == '^':
        return name[:-2]
    return name


class MatFile:
    """Refined parameters, their esd and the correlation matrix of a SHELXL run."""

    def __init__(self):
        self.param_count = 0
        self.esd = []
        self.corr = []
        self.coord_label = []
        self.coord_axis = []
        self.coord_param = []
        self.param_value = []
        self.atom_param = []

    def load(self, name):
        if not os.path.isfile(name):
            raise FatalError('matrix file not found: ' + name)
        lines = read_plain_lines(name)
        size = os.path.getsize(name)
        in_params = False
        in_corr = False
        found_corr = False
        k = 0
        t = 0
        n = 0
        for line in lines:
            if in_corr:
                pos = 0
                while len(line) >= pos + 8 and k < t:
                    field = trim(line[pos:pos + 8])
                    value = parse_number(field)
                    if value is None:
                        raise FatalError('malformed correlation value "' + field + '" in '
                                         + name + '.')
                    self.corr[k] = to_single(value)
                    k += 1
                    pos += 8
            elif 'Parameters refined' in line:
                tokens = split_blanks(line)
                if tokens and parse_number(tokens[0]) is not None:
                    value = parse_number(tokens[0])
                    n = round(value) if math.isfinite(value) else 0
                if n < 1 or n > 2**31 - 1 or n * (n + 1) // 2 * 8 > size:
                    raise FatalError('cannot read the parameter count from ' + name + '.')
                self.param_count = n
                self.esd = [0.0] * n
                self.param_value = [0.0] * n
                self.coord_label = []
                self.coord_axis = []
                self.coord_param = []
                in_params = True
            elif 'Correlation matrix' in line:
                in_params = False
                in_corr = True
                found_corr = True
                t = n * (n + 1) // 2
                self.corr = [0.0] * t
            elif in_params:
                self._parameter_line(split_blanks(line), n)
        if n <= 0:
            raise FatalError(name + ' contains no parameter list.')
        if not found_corr:
            raise FatalError(name + ' contains no correlation matrix.')
        if k != t:
            raise FatalError('%s: expected %d correlation elements, found %d.' % (name, t, k))

    def _parameter_line(self, tokens, n):
        if len(tokens) < 5 or parse_number(tokens[0]) is None:
            return
        number = round_to_int32(parse_number(tokens[0]))
        if number is None:
            return
        i = number - 1
        if not 0 <= i < n:
            return
        value = parse_number(tokens[1])
        if value is None:
            return
        self.param_value[i] = value
        esd = parse_number(tokens[2])
        if esd is not None:
            self.esd[i] = esd
        if len(tokens) >= 6 and tokens[4] in ('x', 'y', 'z') and len(self.coord_label) < n:
            self.coord_label.append(strip_caret_suffix(tokens[5]))
            self.coord_axis.append('xyz'.index(tokens[4]))
            self.coord_param.append(i)

    def match_structure(self, labels, fracs):
        """Maps the atoms to their refined coordinates; a message when they disagree."""
        self.atom_param = [[-1, -1, -1] for _ in labels]
        for a, label in enumerate(labels):
            for e in range(len(self.coord_label)):
                if same_text(self.coord_label[e], label):
                    self.atom_param[a][self.coord_axis[e]] = self.coord_param[e]
        matched = 0
        differing = 0
        largest = 0.0
        largest_param = -1
        largest_name = ''
        for a, label in enumerate(labels):
            if max(self.atom_param[a]) < 0:
                continue
            matched += 1
            for c in range(3):
                q = self.atom_param[a][c]
                if q < 0:
                    continue
                delta = abs(self.param_value[q] - fracs[a][c])
                if delta > 1e-4:
                    differing += 1
                    if delta > largest:
                        largest = delta
                        largest_param = q
                        largest_name = label + '.' + 'xyz'[c]
        if differing > 0:
            if largest_param >= 0 and self.esd[largest_param] > 0:
                return ('%d coordinate(s) differ from the matrix file; the largest is %s by %.5f,'
                        ' i.e. %.0f esd.' % (differing, largest_name, largest,
                                              largest / self.esd[largest_param]))
            return ('%d coordinate(s) differ from the matrix file; the largest is %s by %.5f.'
                    % (differing, largest_name, largest))
        if matched == 0:
            return 'no atom of the structure appears in the matrix file.'
        return ''

    def tri_index(self, i, j):
        n = self.param_count
        return i * n - i * (i - 1) // 2 + (j - i)

    def param_index(self, atom, axis):
        if atom < 0 or atom >= len(self.atom_param) or axis < 0 or axis > 2:
            return -1
        return self.atom_param[atom][axis]

    def covariance(self, i, j):
        n = self.param_count
        if i < 0 or j < 0 or i >= n or j >= n:
            return 0.0
        return self.corr[self.tri_index(min(i, j), max(i, j))] * self.esd[i] * self.esd[j]


# ------------------------------------------------------------ XYZ files

XN_OLEX, XN_POSITION, XN_ELEMENT = 0, 1, 2
XYZ_NAMING_DESCRIPTIONS = {
    XN_OLEX: 'element + line in the file counted from 0, as in Olex2 (first atom = line 2)',
    XN_POSITION: 'element + position in the atom list (first atom = 1)',
    XN_ELEMENT: 'element + number per element (C1, H1, H2, ...)',
}


class XyzAtom:
    def __init__(self, label, element, cart, line):
        self.label = label
        self.element = element
        self.cart = cart
        self.line = line


class XyzData:
    def __init__(self):
        self.comment = ''
        self.structure_count = 0
        self.has_labels = False
        self.atoms = []


def split_xyz_fields(line):
    return [t for t in re.split(r'[ \t,]+', line) if t]


def parse_xyz_float(field):
    return parse_number(field.replace('D', 'E', 1).replace('d', 'e', 1))


def parse_xyz_count(field):
    """A decimal integer that fits in 64 bits, else None."""
    if not _INTEGER_RE.fullmatch(field):
        return None
    value = int(field)
    if value < -2**63 or value > 2**63 - 1:
        return None
    return value


def xyz_element(field):
    """(element symbol or '', whether the field is an atom label)."""
    number = parse_integer(field)
    if number is not None:
        return (ELEMENT_SYMBOLS[number - 1] if 1 <= number <= 96 else ''), False
    letters = letter_prefix(field)
    is_label = len(letters) < len(field)
    if not letters:
        return '', is_label
    letters = letters[0].upper() + lower_ascii(letters[1:])
    if is_label:
        if len(letters) >= 2 and element_index(letters[:2]) > 0:
            return letters[:2], True
        if element_index(letters[0]) > 0:
            return letters[0], True
        return letters, True
    return (letters if element_index(letters) > 0 else ''), False


def read_xyz_file(name, naming):
    data = XyzData()
    if not os.path.isfile(name):
        raise FatalError('file not found: ' + name)
    lines = read_plain_lines(name)
    index = 0
    while index < len(lines) and not trim(lines[index]):
        index += 1
    if index >= len(lines):
        raise FatalError(name + ' is empty.')
    fields = split_xyz_fields(lines[index])
    count = parse_xyz_count(fields[0]) if fields else None
    if count is None or count < 1:
        raise FatalError(name + ': the first line must contain the number of atoms.')
    index += 1
    if index < len(lines):
        data.comment = trim(lines[index])
        index += 1
    labelled = []
    last_atom_line = index - 1
    while len(data.atoms) < count and index < len(lines):
        fields = split_xyz_fields(lines[index])
        if fields:
            coords = [parse_xyz_float(f) for f in fields[1:4]]
            if len(fields) < 4 or any(c is None for c in coords):
                raise FatalError('%s, line %d: expected "element x y z", found "%s".'
                                 % (name, index + 1, trim(lines[index])))
            element, is_label = xyz_element(fields[0])
            if not element:
                raise FatalError('%s, line %d: unknown element "%s".'
                                 % (name, index + 1, fields[0]))
            if is_label:
                data.has_labels = True
            labelled.append(is_label)
            data.atoms.append(XyzAtom(fields[0] if is_label else '', element,
                                      tuple(coords), index))
            last_atom_line = index
        index += 1
    if len(data.atoms) < count:
        raise FatalError('%s: %d atoms announced, only %d found.'
                         % (name, count, len(data.atoms)))
    data.structure_count = 1
    for line in lines[last_atom_line + 1:]:
        fields = split_xyz_fields(line)
        if len(fields) == 1 and parse_xyz_count(fields[0]) == count:
            data.structure_count += 1
    per_element = {}
    for k, atom in enumerate(data.atoms):
        if labelled[k]:
            continue
        same_element = sum(1 for o, other in enumerate(data.atoms)
                           if not labelled[o] and same_text(other.element, atom.element))
        if data.has_labels and same_element == 1:
            atom.label = atom.element
        elif data.has_labels or naming == XN_OLEX:
            atom.label = atom.element + str(atom.line)
        elif naming == XN_POSITION:
            atom.label = atom.element + str(k + 1)
        else:
            key = lower_ascii(atom.element)
            per_element[key] = per_element.get(key, 0) + 1
            atom.label = atom.element + str(per_element[key])
    return data


# ----------------------------------------------------------- su propagation

class SumResult:
    def __init__(self):
        self.value = 0.0
        self.su = 0.0
        self.su_linear = 0.0
        self.su_second_order = 0.0
        self.shift = 0.0
        self.su_independent = 0.0
        self.fixed_count = 0
        self.su_entered = False   # some coordinate or cell su > 0 took part


def angle_at(a, v, b):
    """Angle at the vertex v in degrees, atan2 form (stable near 0 and 180)."""
    u = (a[0] - v[0], a[1] - v[1], a[2] - v[2])
    w = (b[0] - v[0], b[1] - v[1], b[2] - v[2])
    uu = math.sqrt(u[0] * u[0] + u[1] * u[1] + u[2] * u[2])
    ww = math.sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2])
    if uu == 0 or ww == 0:
        return 0.0
    cx = u[1] * w[2] - u[2] * w[1]
    cy = u[2] * w[0] - u[0] * w[2]
    cz = u[0] * w[1] - u[1] * w[0]
    cross = math.sqrt(cx * cx + cy * cy + cz * cz)
    dot = u[0] * w[0] + u[1] * w[1] + u[2] * w[2]
    return math.atan2(cross, dot) * RAD_TO_DEG


def distance_func(pos):
    return distance(pos[1], pos[0])


def angle_func(pos):
    return angle_at(pos[1], pos[0], pos[2])


def sum_func(pos):
    n = len(pos) - 1
    total = 0.0
    for i in range(1, n + 1):
        for j in range(i + 1, n + 1):
            total += angle_at(pos[i], pos[0], pos[j])
    return total


def propagate_su(frac, frac_su, points, cell, func, second_order, cov=None):
    """Numerical su propagation; cov (a MatFile) replaces the independent coordinate su."""
    flat = [(pi, site) for pi, point in enumerate(points) for site in point]
    involved = []
    for _, site in flat:
        if site.atom not in involved:
            involved.append(site.atom)
    coords = {a: list(frac[a]) for a in involved}
    cell_copy = list(cell[:6])
    npoints = len(points)

    def evaluate():
        m = ortho_matrix(cell_copy)
        sums = [[0.0, 0.0, 0.0] for _ in range(npoints)]
        counts = [0] * npoints
        for pi, site in flat:
            p = mat_vec(m, apply_symop(site.op, coords[site.atom]))
            s = sums[pi]
            s[0] += p[0]
            s[1] += p[1]
            s[2] += p[2]
            counts[pi] += 1
        positions = []
        for s, c in zip(sums, counts):
            if c >= 1:
                positions.append((s[0] / c, s[1] / c, s[2] / c))
            else:
                positions.append((s[0], s[1], s[2]))
        return func(positions)

    result = SumResult()
    f0 = evaluate()
    result.value = f0

    params = []   # (atom, axis, su or parameter index)
    for a in involved:
        for axis in range(3):
            if cov is not None:
                p = cov.param_index(a, axis)
                if p < 0:
                    result.fixed_count += 1
                    continue
                v = cov.covariance(p, p)
                if v > 0 or v != v:
                    params.append((a, axis, p))
            else:
                s = frac_su[a][axis]
                if s > 0 or s != s:
                    params.append((a, axis, s))
    n = len(params)
    cmat = [[0.0] * n for _ in range(n)]
    for k in range(n):
        if cov is not None:
            for l in range(n):
                cmat[k][l] = cov.covariance(params[k][2], params[l][2])
        else:
            cmat[k][k] = params[k][2] * params[k][2]

    grad = [0.0] * n
    for k, (a, axis, _) in enumerate(params):
        coords[a][axis] += 1e-6
        fp = evaluate()
        coords[a][axis] += -2e-6
        fm = evaluate()
        coords[a][axis] += 1e-6
        grad[k] = (fp - fm) / 2e-6

    vlin = 0.0
    for k in range(n):
        for l in range(n):
            vlin += grad[k] * grad[l] * cmat[k][l]
    if vlin < 0:
        vlin = 0.0

    v2 = 0.0
    if second_order:
        h = 1e-4
        hess = [[0.0] * n for _ in range(n)]
        for k, (a, axis, _) in enumerate(params):
            coords[a][axis] += h
            fp = evaluate()
            coords[a][axis] += -2 * h
            fm = evaluate()
            coords[a][axis] += h
            hess[k][k] = (fp - 2 * f0 + fm) / 1e-8
        for k in range(n):
            ak, xk, _ = params[k]
            for l in range(k + 1, n):
                al, xl, _ = params[l]
                coords[ak][xk] += h
                coords[al][xl] += h
                fpp = evaluate()
                coords[al][xl] += -2 * h
                fpm = evaluate()
                coords[ak][xk] += -2 * h
                fmm = evaluate()
                coords[al][xl] += 2 * h
                fmp = evaluate()
                coords[ak][xk] += h
                coords[al][xl] += -h
                hess[k][l] = (fpp - fpm - fmp + fmm) / 4e-8
                hess[l][k] = hess[k][l]
        prod = [[0.0] * n for _ in range(n)]
        for k in range(n):
            for l in range(n):
                acc = 0.0
                for m in range(n):
                    acc += hess[k][m] * cmat[m][l]
                prod[k][l] = acc
        acc = 0.0
        for k in range(n):
            for l in range(n):
                acc += prod[k][l] * prod[l][k]
        v2 = 0.5 * acc
        if v2 < 0:
            v2 = 0.0
        acc = 0.0
        for k in range(n):
            acc += prod[k][k]
        result.shift = 0.5 * acc

    vcell = 0.0
    cell_su_entered = False
    for i in range(3):
        for index, step, divisor in ((i, 1e-5, 2e-5), (3 + i, 1e-4, 2e-4)):
            su = cell[6 + index]
            if su > 0:
                cell_su_entered = True
                cell_copy[index] = cell[index] + step
                fp = evaluate()
                cell_copy[index] = cell[index] - step
                fm = evaluate()
                cell_copy[index] = cell[index]
                term = (fp - fm) / divisor * su
                vcell += term * term

    result.su_linear = math.sqrt(vlin + vcell)
    result.su_second_order = math.sqrt(v2)
    result.su = math.sqrt(vlin + vcell + v2)
    if result.su < 1e-7:
        result.su = 0.0
        result.su_linear = 0.0
        result.su_second_order = 0.0
        result.shift = 0.0
    result.su_entered = n > 0 or cell_su_entered
    return result


def point_position(points_of_site, frac, m):
    """Cartesian position of a point: the plain mean of its sites."""
    total = [0.0, 0.0, 0.0]
    for site in points_of_site:
        p = site_cartesian(frac[site.atom], site.op, m)
        total[0] += p[0]
        total[1] += p[1]
        total[2] += p[2]
    count = len(points_of_site)
    if count >= 1:
        return (total[0] / count, total[1] / count, total[2] / count)
    return tuple(total)


# ------------------------------------------------------------ ligands

class Ligand:
    def __init__(self, site, label, element, dist):
        self.site = site
        self.label = label
        self.element = element
        self.dist = dist
        self.dist_su = 0.0
        self.is_centroid = False
        self.points = []

    def copy(self):
        other = Ligand(self.site, self.label, self.element, self.dist)
        other.dist_su = self.dist_su
        other.is_centroid = self.is_centroid
        other.points = list(self.points)
        return other


def split_atom_list(text):
    return [t for t in re.split(r'[ \t,]+', text) if t]


def parse_ligand_args(args):
    text = ''.join(' ' + a for a in args)
    text = text.replace('[', ' [ ').replace(']', ' ] ').replace('(', ' ( ').replace(')', ' ) ')
    names = []
    groups = []
    group_count = 0
    g = -1
    keyword = False
    for t in split_atom_list(text):
        if t in ('[', '('):
            if g >= 0:
                raise FatalError('nested brackets in a centroid definition.')
            if keyword:
                names.pop()
                groups.pop()
            g = group_count
            group_count += 1
            keyword = False
        elif t in (']', ')'):
            if g < 0:
                raise FatalError('closing bracket without opening bracket.')
            g = -1
            keyword = False
        else:
            names.append(t)
            groups.append(g)
            keyword = g < 0 and lower_ascii(t) in ('cent', 'cg', 'centroid')
    if g >= 0:
        raise FatalError('unclosed bracket in a centroid definition.')
    return names, groups, group_count


def strip_olex_suffix(label):
    pos = label.find('_$')
    if pos >= 0:
        return label[:pos], True
    return label, False


def find_atom(atoms, name):
    for i, atom in enumerate(atoms):
        if same_text(atom.label, name):
            return i
    if "''" in name:
        alt = name.replace("''", '"')
        for i, atom in enumerate(atoms):
            if same_text(atom.label, alt):
                return i
    return -1


# ------------------------------------------------------------- the run

class Options:
    def __init__(self):
        self.tolerance = 0.40
        self.min_occupancy = 0.5
        self.max_radius = -1.0
        self.block_name = ''
        self.brief = False
        self.calc_only = False
        self.xyz_naming = XN_OLEX


IK_CIF, IK_SHELX, IK_XYZ = 'cif', 'shelx', 'xyz'


class Run:
    def __init__(self, options, out):
        self.opt = options
        self.out = out
        self.olex_suffix_note = False
        self.brief_line = ''
        self.other_central_blocks = []
        self.block_name_read = ''
        self.kind = IK_CIF
        self.has_su = True
        self.mat = None            # the paired MatFile, the covariance source
        self.mat_file_name = ''
        self.shelx_title = ''
        self.xyz = None
        self.cif_angles = []

    def line(self, text=''):
        self.out.append(text)

    # -- loading ---------------------------------------------------------

    def resolve_input_file(self, name):
        """(resolved name, input kind); a missing file falls back to the stem's SHELX or XYZ."""
        base_start = name.rfind('/') + 1
        ext = lower_ascii(file_extension(name))
        stem = file_stem(name)
        if os.path.isfile(name):
            if ext in ('.res', '.ins'):
                return name, IK_SHELX
            if ext == '.xyz':
                return name, IK_XYZ
            return name, IK_CIF
        for candidate, kind in (('.res', IK_SHELX), ('.ins', IK_SHELX), ('.xyz', IK_XYZ)):
            if os.path.isfile(stem + candidate):
                return stem + candidate, kind
        raise FatalError('file not found: ' + name + ' - and no ' + stem[base_start:]
                         + ('.cif, .res' if stem == name else '.res')
                         + ', .ins or .xyz in the same directory.')

    def load_xyz(self):
        self.xyz = read_xyz_file(self.file_name, self.opt.xyz_naming)
        self.cell = [10000.0, 10000.0, 10000.0, 90.0, 90.0, 90.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0]
        self.symops = [identity_symop()]
        self.atoms = [Atom(a.label, a.element, tuple(c / 10000 for c in a.cart),
                           (0.0, 0.0, 0.0), 1.0) for a in self.xyz.atoms]
        self.cif_angles = []
        self.has_su = False

    def load_shelx(self):
        data = read_shelx_file(self.file_name)
        self.shelx_title = data.title
        self.cell = data.cell
        self.symops = data.symops
        self.atoms = data.atoms
        self.cif_angles = []
        self.mat_file_name = file_stem(self.file_name) + '.mat'
        if not os.path.isfile(self.mat_file_name):
            self.has_su = False
            return
        mat = MatFile()
        mat.load(self.mat_file_name)
        message = mat.match_structure([a.label for a in self.atoms], [a.frac for a in self.atoms])
        if message:
            if lower_ascii(file_extension(self.file_name)) == '.ins':
                tail = (' An .ins is the input of a refinement, while the .mat is written by it;'
                        " the two only match if the .ins is a copy of that run's .res. Use the"
                        ' .res, or remove the .mat to get the result without su.')
            else:
                tail = (' Both files must come from the same refinement run; remove the .mat'
                        ' to get the result without su.')
            raise FatalError(os.path.basename(self.mat_file_name) + ' does not belong to '
                             + os.path.basename(self.file_name) + ' - ' + message + tail)
        self.mat = mat
        self.has_su = True

    def xyz_naming_description(self):
        if self.xyz.has_labels:
            return 'as given in the file'
        return XYZ_NAMING_DESCRIPTIONS[self.opt.xyz_naming]

    def xyz_naming_hint(self):
        """The lines that the "not found" messages add for an XYZ input."""
        if self.kind != IK_XYZ:
            return ''
        text = '\n       XYZ atom names: ' + self.xyz_naming_description() + '.'
        if not self.xyz.has_labels:
            text += ('\n       Other schemes: xyznames=olex (as Olex2), xyznames=position'
                     '\n       (first atom = 1), xyznames=element (C1, H1, H2, ...).')
        return text

    def choose_block(self, blocks, central_name):
        if not blocks:
            raise FatalError('no data block found in ' + self.file_name + '.')
        names = structure_block_names(blocks)
        if self.opt.block_name:
            for block in blocks:
                if same_text(block.name, self.opt.block_name):
                    if not has_structure(block):
                        raise FatalError('data block "' + self.opt.block_name
                                         + '" contains no cell parameters and atom sites.'
                                         + ' Blocks with a structure: ' + names)
                    return block
            raise FatalError('data block "' + self.opt.block_name + '" not found. Available: '
                             + names)
        stripped, _ = strip_olex_suffix(central_name)
        for block in blocks:
            if has_structure(block) and block_has_atom(block, stripped):
                return block
        for block in blocks:
            if has_structure(block):
                return block
        raise FatalError('no data block with cell parameters and atom sites found in '
                         + self.file_name + '.')

    # -- neighbour search -------------------------------------------------

    def plane_spacing(self, axis):
        a, b, c, alpha, beta, gamma = self.cell[:6]
        g = metric_term(alpha, beta, gamma)
        if g < 1e-12:
            g = 1e-12
        volume = math.sqrt(g) * (a * b * c)
        if axis == 0:
            return volume / (math.sin(alpha * DEG) * (b * c))
        if axis == 1:
            return volume / (math.sin(beta * DEG) * (a * c))
        return volume / (math.sin(gamma * DEG) * (a * b))

    def find_neighbours(self, radius):
        m = ortho_matrix(self.cell)
        central_frac = apply_symop(self.central_site.op, self.frac[self.central_site.atom])
        centre = mat_vec(m, central_frac)
        reach = [radius / self.plane_spacing(k) for k in range(3)]
        candidates = []
        by_atom = {}
        for j, atom in enumerate(self.atoms):
            for s in self.symops:
                p = apply_symop(s, self.frac[j])
                lo = [math.ceil(central_frac[k] - reach[k] - p[k]) for k in range(3)]
                hi = [math.floor(central_frac[k] + reach[k] - p[k]) for k in range(3)]
                for t1 in range(lo[0], hi[0] + 1):
                    for t2 in range(lo[1], hi[1] + 1):
                        for t3 in range(lo[2], hi[2] + 1):
                            site = Site(j, translated_symop(s, t1, t2, t3))
                            if same_site(self.frac, site, self.central_site):
                                continue
                            d = distance(site_cartesian(self.frac[j], site.op, m), centre)
                            if d < 0.4 or d > radius:
                                continue
                            stored = by_atom.setdefault(j, [])
                            if any(same_site(self.frac, site, c.site) for c in stored):
                                continue
                            cand = Ligand(site, atom.label, atom.element, d)
                            stored.append(cand)
                            candidates.append(cand)
        return candidates

    # -- ligand lists -------------------------------------------------------

    def select_automatic(self):
        ligands = []
        r_central = covalent_radius(self.central_element)
        for cand in self.candidates:
            occ = self.atoms[cand.site.atom].occ
            if not (occ >= self.opt.min_occupancy or occ != occ):
                continue
            if cand.dist <= (covalent_radius(cand.element) + r_central) + self.opt.tolerance:
                ligands.append(cand.copy())
        return ligands

    def lookup_label(self, label):
        index = find_atom(self.atoms, label)
        if index >= 0:
            return index
        label, removed = strip_olex_suffix(label)
        if removed:
            self.olex_suffix_note = True
        index = find_atom(self.atoms, label)
        if index >= 0:
            return index
        if '%' in label:
            raise FatalError('atom "' + label + '" - this looks like an Olex2 macro argument'
                             ' that was not\n       substituted. Check the macro definition'
                             ' (see MANUAL, section 6).')
        raise FatalError('atom "' + label + '" not found in ' + os.path.basename(self.file_name)
                         + '.' + self.xyz_naming_hint()
                         + '\n       If this is a centroid created in Olex2 (cent): it'
                         ' exists only\n       inside Olex2. Give its atoms instead, e.g.'
                         ' [C1 C2 C3 C4 C5],\n       or define it with the korvex macro.')

    def radius_text(self):
        return format_fixed(self.search_radius, 2)

    def resolve_explicit(self):
        names, groups = self.arg_names, self.arg_groups
        count = len(names)
        labels = []
        codes = []
        atoms_of = []
        for name in names:
            hash_pos = name.find('#')
            if hash_pos >= 0:
                code = normalize_symcode(name[hash_pos + 1:])
                label = name[:hash_pos]
            else:
                code = ''
                label = name
            index = self.lookup_label(label)
            atoms_of.append(index)
            labels.append(self.atoms[index].label)
            codes.append(code)
        has_code = ['#' in name for name in names]
        slots = [-1] * count
        for with_code in (True, False):
            for i in range(count):
                if has_code[i] != with_code:
                    continue
                if with_code:
                    op = resolve_symcode(codes[i], self.symops)
                    if op is None:
                        raise FatalError('symmetry code "' + codes[i] + '" in "' + names[i]
                                         + '" is not valid for this CIF (' + str(len(self.symops))
                                         + ' operations, format n_klm).')
                    site = Site(atoms_of[i], op)
                    if same_site(self.frac, site, self.central_site):
                        raise FatalError('ligand "' + names[i] + '" is the central atom itself.')
                    slot = -1
                    for k, cand in enumerate(self.candidates):
                        if same_site(self.frac, cand.site, site):
                            slot = k
                            break
                    if slot < 0:
                        raise FatalError('ligand "' + labels[i] + '" with symmetry code '
                                         + codes[i] + ' is not within the search radius ('
                                         + self.radius_text() + ' A). Increase --max= if required.')
                else:
                    taken = set(slots[o] for o in range(count)
                                if o != i and groups[o] == groups[i] and slots[o] >= 0)
                    seen = 0
                    best = 1e30
                    slot = -1
                    own = -1
                    for k, cand in enumerate(self.candidates):
                        if not same_text(cand.label, labels[i]):
                            continue
                        seen += 1
                        if k in taken:
                            continue
                        op = cand.site.op
                        if own < 0 and all(op.rot[r][q] == (1 if r == q else 0) for r in range(3)
                                           for q in range(3)) and all(abs(t) < 1e-9 for t in op.trans):
                            own = k
                        if best - cand.dist > 1e-6:
                            best = cand.dist
                            slot = k
                    # the atom itself, unless an image is nearer by more than the rounding (1e-4 A)
                    if own >= 0 and self.candidates[own].dist <= best + 1e-4:
                        slot = own
                    if slot < 0:
                        if seen > 0:
                            raise FatalError('ligand "' + names[i] + '" was given more than once.')
                        raise FatalError('ligand "' + labels[i] + '" is not within the search'
                                         ' radius (' + self.radius_text()
                                         + ' A). Increase --max= if required.')
                new_site = self.candidates[slot].site
                for o in range(count):
                    if o != i and groups[o] == groups[i] and slots[o] >= 0 and \
                            same_site(self.frac, self.candidates[slots[o]].site, new_site):
                        raise FatalError('ligand "' + names[i] + '" was given more than once.')
                slots[i] = slot
        ligands = [self.candidates[slots[i]].copy() for i in range(count) if groups[i] < 0]
        m = ortho_matrix(self.cell)
        centre = site_cartesian(self.frac[self.central_site.atom], self.central_site.op, m)
        for g in range(self.group_count):
            label = 'Cg%d' % (g + 1)
            points = [self.candidates[slots[i]].site for i in range(count) if groups[i] == g]
            if len(points) < 2:
                raise FatalError('centroid ' + label + ' needs at least 2 atoms.')
            if distance(point_position(points, self.frac, m), centre) < 0.4:
                raise FatalError('centroid ' + label + ' coincides with the central atom.')
            cg = Ligand(points[0], label, '', 0.0)
            cg.is_centroid = True
            cg.points = points
            ligands.append(cg)
        return ligands

    def complete_ligand_list(self, ligands):
        for lig in ligands:
            if not lig.is_centroid:
                lig.points = [lig.site]
        if not ligands:
            raise FatalError('no ligands found.')
        if self.olex_suffix_note:
            self.line('Note         : Olex2 symmetry suffixes (_$n) removed; the nearest'
                      ' symmetry image was used in each case.')
        # stable insertion sort; distances within 1e-6 A count as equal
        for i in range(1, len(ligands)):
            current = ligands[i]
            j = i - 1
            while j >= 0 and ligands[j].dist - current.dist > 1e-6:
                ligands[j + 1] = ligands[j]
                j -= 1
            ligands[j + 1] = current
        for lig in ligands:
            res = propagate_su(self.frac, self.frac_su, [[self.central_site], lig.points],
                               self.cell, distance_func, False, self.mat)
            lig.dist = res.value
            lig.dist_su = res.su if self.has_su else 0.0
        n = len(ligands)
        if n < 2 or n > MAX_LIGANDS:
            self.line()
            self.line('Neighbours found (%d):' % n)
            for k, lig in enumerate(ligands):
                self.line('  %2d  %-14s  %-10s  %s' % (k + 1, lig.label, lig.site.op.code,
                                                      format_value_su(lig.dist, lig.dist_su, 3)))
            self.line()
            if self.auto_ligands:
                raise FatalError('coordination number %d - an angle sum needs 2 to %d ligands.\n'
                                 '       Adjust the tolerance (--tol=) or specify the ligands'
                                 ' explicitly.' % (n, MAX_LIGANDS))
            raise FatalError('2 to %d ligands must be specified.' % MAX_LIGANDS)
        return ligands

    # -- angles and report --------------------------------------------------

    def cif_angle_for(self, a, b):
        if a.is_centroid or b.is_centroid:
            return None
        for entry in self.cif_angles:
            if not (same_text(entry.labels[1], self.central_label)
                    and entry.syms[1] == self.central_site.op.code):
                continue
            forward = (same_text(entry.labels[0], a.label) and entry.syms[0] == a.site.op.code
                       and same_text(entry.labels[2], b.label) and entry.syms[2] == b.site.op.code)
            backward = (same_text(entry.labels[0], b.label) and entry.syms[0] == b.site.op.code
                        and same_text(entry.labels[2], a.label) and entry.syms[2] == a.site.op.code)
            if forward or backward:
                return entry.angle, entry.su
        return None

    def build_angle_list(self, ligands):
        angles = []   # [lig1, lig2, value, su, from_cif]
        central_point = [self.central_site]
        for i in range(len(ligands)):
            for j in range(i + 1, len(ligands)):
                found = None if self.opt.calc_only else self.cif_angle_for(ligands[i], ligands[j])
                if found is not None:
                    angles.append([i, j, found[0], found[1], True])
                else:
                    res = propagate_su(self.frac, self.frac_su,
                                       [central_point, ligands[i].points, ligands[j].points],
                                       self.cell, angle_func, False, self.mat)
                    angles.append([i, j, res.value, res.su, False])
                if not self.has_su:
                    angles[-1][3] = 0.0
        for i in range(1, len(angles)):
            current = angles[i]
            j = i - 1
            # angles within 1e-6 deg count as equal (rounding noise of
            # angles that symmetry makes equal must not decide the order)
            while j >= 0 and angles[j][2] < current[2] - 1e-6:
                angles[j + 1] = angles[j]
                j -= 1
            angles[j + 1] = current
        return angles

    @staticmethod
    def is_atom_itself(op):
        """The identity without translation: the atom of the file, named without a
        code whatever its operator's number."""
        return op.rot == identity_symop().rot and all(abs(t) < 1e-9 for t in op.trans)

    @staticmethod
    def display_name(lig):
        if not lig.is_centroid and not Run.is_atom_itself(lig.site.op):
            return lig.label + '#' + lig.site.op.code
        return lig.label

    @staticmethod
    def su_decimals(su):
        text = format_value_su(0, su, 2)
        p = text.find('.')
        q = text.find('(')
        if p < 0 or q < 0:
            return 0
        return q - p - 1

    def write_report(self, ligands, angles, r):
        n = len(ligands)
        m = len(angles)
        self.line()
        self.line('Ligands (%d):' % n)
        self.line('  No  Atom            Symmetry    Distance [A]')
        for k, lig in enumerate(ligands):
            self.line('  %2d  %-14s  %-10s  %s' % (
                k + 1, lig.label, 'centroid' if lig.is_centroid else lig.site.op.code,
                format_value_su(lig.dist, lig.dist_su, 3)))
        for lig in ligands:
            if lig.is_centroid:
                members = ''
                for site in lig.points:
                    members += ' ' + self.atoms[site.atom].label
                    if not self.is_atom_itself(site.op):
                        members += '#' + site.op.code
                self.line('      ' + lig.label + ' = centroid of' + members + '  (%d atoms, unit'
                          ' weights)' % len(lig.points))
        self.line()
        self.line('Bond angles L-M-L (sorted in descending order):')
        for a in angles:
            self.line('  %-14s - %-6s - %-14s  %12s   %s' % (
                self.display_name(ligands[a[0]]), self.central_label,
                self.display_name(ligands[a[1]]), format_value_su(a[2], a[3], 2),
                '(CIF)' if a[4] else '(calculated)'))
        self.line()
        self.line('Sum of the %d %s around %s:' % (m, 'angle' if m == 1 else 'angles',
                                                    self.central_label))
        self.line('  Sum(L-M-L) = ' + format_value_su(r.value, r.su, 2) + ' deg')
        fixed_by_symmetry = self.has_su and r.su == 0 and r.su_entered
        if n == 3:
            d = 360 - r.value
            if abs(d) < 5e-7:
                d = 0.0
            self.line('  360 - Sum  = ' + format_value_su(d, r.su, 2)
                      + ' deg     (0 = planar; trigonal pyramid with 3 x 109.47: 31.59)')
            if self.has_su and (r.su > 0 or fixed_by_symmetry):
                self.line()
                if 3 * r.su >= d:
                    text = 'planar within 3 su'
                elif r.value >= 350.0:
                    text = 'nearly planar (significantly pyramidalised)'
                elif r.value >= 340.0:
                    text = 'flattened pyramidal'
                else:
                    text = 'pyramidal'
                self.line('  Classification: ' + text)
        if n == 4:
            self.line('               (reference: tetrahedral 6 x 109.47 = '
                      + format_fixed(656.8273238069443, 2)
                      + ', square planar 4 x 90 + 2 x 180 = 720.00)')
        self.brief_line = '%s: CN %d, sum of %d %s = %s deg  [%s]' % (
            self.central_label, n, m, 'angle' if m == 1 else 'angles',
            format_value_su(r.value, r.su, 2), ' '.join(self.display_name(l) for l in ligands))
        if not self.has_su:
            self.brief_line += ('  (no su - from ' + file_extension(self.file_name)[1:].upper()
                                + ')')
        if self.other_central_blocks:
            self.brief_line += '  (data block ' + self.block_name_read + ')'
        if self.has_su and r.su > 0:
            ratio = r.su_second_order * r.su_second_order / (r.su * r.su)
            if ratio >= 0.1:
                d = self.su_decimals(r.su) + 1
                self.line()
                self.line('  Non-linearity: the sum is close to an extremum, where its first')
                self.line('  derivatives vanish. Linear propagation alone would give only '
                          + format_fixed(r.su_linear, d) + ' deg;')
                self.line('  the second-order term (' + format_fixed(100 * ratio, 0)
                          + ' % of the variance) has been included.')
                self.line('  The distribution is one-sided (the sum cannot exceed its')
                self.line('  maximum): expectation shift = ' + format_fixed(r.shift, d) + ' deg.')
        if any(not l.is_centroid and lower_ascii(l.element) in ('h', 'd') for l in ligands):
            self.line()
            self.line('  Hydrogen ligand(s): if these were refined riding (AFIX/HFIX), their')
            self.line('  positions follow from the parent geometry - the angles to them and')
            self.line('  thus the sum reflect the constraint, not an observation. Select the')
            self.line('  heavy-atom ligands explicitly to leave them out.')
        self.line()
        any_cif = any(a[4] for a in angles)
        if not self.has_su:
            self.line('Note: all angles were computed from '
                      + ('the Cartesian coordinates.' if self.kind == IK_XYZ
                         else 'cell parameters and coordinates.'))
            self.line('      No standard uncertainties are given - see the warning above.')
            return
        if not r.su > 0 and r.su == r.su:
            if any_cif:
                self.line('Note: angles marked (CIF) were taken from the _geom_angle loop.')
            if fixed_by_symmetry:
                self.line('Note: the sum is fixed by symmetry; its su is zero.')
            else:
                self.line('Note: the input holds no su for the coordinates and cell parameters')
                self.line('      involved, so no su can be given for the sum.')
            return
        if any_cif:
            self.line('Note: angles marked (CIF) were taken from the _geom_angle loop.')
            if all(a[4] for a in angles):
                plain = 0.0
                for a in angles:
                    plain += a[2]
                if abs(plain - r.value) >= 0.005:
                    self.line('      Their plain sum is ' + format_fixed(plain, 2)
                              + ' deg (from the rounded values); the sum above')
                    self.line('      is computed from the coordinates.')
        self.line('Note: the su of the sum was propagated directly from the coordinates')
        if len(angles) == 1:   # a single angle is its own sum
            self.line('      and the cell.')
        else:
            self.line('      and the cell, not from the su of the individual angles - these')
            self.line('      are correlated through the shared atoms. Treating them as')
            self.line('      independent would give sqrt(sum su^2) = '
                      + format_fixed(r.su_independent, 3) + ' deg instead.')
        if self.mat is not None:
            self.line('      The full variance-covariance matrix of '
                      + os.path.basename(self.mat_file_name) + ' was used,')
            self.line('      so the correlations between the refined coordinates are included.')
            if r.fixed_count > 0:
                self.line('      %d of the coordinates involved are not free' % r.fixed_count)
                self.line('      parameters (fixed by symmetry or riding); they contribute')
                self.line('      nothing to the su.')
            return
        self.line('      A CIF holds no covariances between the coordinates, so these')
        self.line('      are neglected (as for the calculated angles). For the full')
        self.line('      treatment use the .res together with the SHELXL .mat file.')

    # -- the whole run --------------------------------------------------------

    def execute(self, file_name, arg_names, arg_groups, group_count):
        central_name = arg_names[0]
        self.arg_names = arg_names[1:]
        self.arg_groups = arg_groups[1:]
        self.group_count = group_count
        self.brief_line = ''

        self.file_name, self.kind = self.resolve_input_file(file_name)
        blocks = []
        block = None
        if self.kind == IK_XYZ:
            self.load_xyz()
        elif self.kind == IK_SHELX:
            self.load_shelx()
        else:
            blocks = load_cif(self.file_name)
            block = self.choose_block(blocks, central_name)
            self.block_name_read = block.name
            if not self.opt.block_name:
                stripped, _ = strip_olex_suffix(central_name)
                self.other_central_blocks = [b.name for b in blocks if b is not block
                                             and has_structure(b) and block_has_atom(b, stripped)]
            self.cell = read_cell(block, self.file_name)
            self.symops = read_symops(block)
            self.atoms = read_atoms(block, self.file_name)
            self.cif_angles = read_cif_angles(block)
        self.frac = [a.frac for a in self.atoms]
        self.frac_su = [a.frac_su for a in self.atoms]

        name = central_name
        index = find_atom(self.atoms, name)
        if index < 0:
            name, removed = strip_olex_suffix(name)
            if removed:
                self.olex_suffix_note = True
            index = find_atom(self.atoms, name)
        if index < 0:
            if self.kind == IK_CIF:
                raise FatalError('central atom "' + name + '" not found in data block "'
                                 + block.name + '". Blocks with a structure: '
                                 + structure_block_names(blocks))
            raise FatalError('central atom "' + name + '" not found in '
                             + os.path.basename(self.file_name) + '.' + self.xyz_naming_hint())
        central = self.atoms[index]
        self.central_site = Site(index, identity_symop())
        self.central_label = central.label
        self.central_element = central.element
        self.auto_ligands = not self.arg_names and self.group_count == 0

        rmax = 0.0
        for atom in self.atoms:
            rmax = max(rmax, covalent_radius(atom.element))
        radius = covalent_radius(self.central_element) + rmax + self.opt.tolerance
        if not self.auto_ligands:
            radius = max(radius, 8.0)
        if self.opt.max_radius > 0:
            radius = self.opt.max_radius
        self.search_radius = radius
        self.candidates = self.find_neighbours(radius)

        self.write_header(blocks, block)

        if self.auto_ligands:
            ligands = self.select_automatic()
        else:
            ligands = self.resolve_explicit()
        ligands = self.complete_ligand_list(ligands)
        n = len(ligands)
        self.line('Coordination number: %d  ->  %d L-M-L angle(s)' % (n, n * (n - 1) // 2))

        angles = self.build_angle_list(ligands)
        result = propagate_su(self.frac, self.frac_su,
                              [[self.central_site]] + [lig.points for lig in ligands],
                              self.cell, sum_func, True, self.mat)
        acc = 0.0
        for a in angles:
            acc += a[3] * a[3]
        result.su_independent = math.sqrt(acc)
        if not self.has_su:
            result.su = 0.0
            result.su_linear = 0.0
            result.su_second_order = 0.0
        self.write_report(ligands, angles, result)

    def write_header(self, blocks, block):
        cell = self.cell
        self.line(PROGRAM_TITLE)
        self.line()
        if self.kind == IK_XYZ:
            self.line('XYZ file     : ' + self.file_name)
            if self.xyz.comment:
                self.line('Comment      : ' + self.xyz.comment)
            self.line('Coordinates  : Cartesian, no cell and no symmetry, %d atoms'
                      % len(self.atoms))
            self.line('Atom names   : ' + self.xyz_naming_description())
            if self.xyz.structure_count > 1:
                self.line('Note         : the file holds %d structures; the first one is used.'
                          % self.xyz.structure_count)
        else:
            if self.kind == IK_SHELX:
                self.line('SHELX file   : ' + self.file_name)
                if self.shelx_title:
                    self.line('Title        : ' + self.shelx_title)
            else:
                self.line('CIF file     : ' + self.file_name)
                if len(blocks) > 1:
                    self.line('Data block   : ' + block.name
                              + '  (of %d blocks; select with --block=)' % len(blocks))
                else:
                    self.line('Data block   : ' + block.name)
            self.line('Cell         : a = ' + format_value_su(cell[0], cell[6], 4)
                      + '  b = ' + format_value_su(cell[1], cell[7], 4)
                      + '  c = ' + format_value_su(cell[2], cell[8], 4) + ' A')
            self.line('               alpha = ' + format_value_su(cell[3], cell[9], 3)
                      + '  beta = ' + format_value_su(cell[4], cell[10], 3)
                      + '  gamma = ' + format_value_su(cell[5], cell[11], 3) + ' deg')
            if self.kind == IK_SHELX:
                self.line('Symmetry     : %d operation(s) from LATT/SYMM, %d atom sites'
                          % (len(self.symops), len(self.atoms)))
            else:
                self.line('Symmetry     : %d operation(s), %d atom sites'
                          % (len(self.symops), len(self.atoms)))
        self.line('Central atom : ' + self.central_label + ' (' + self.central_element + ')')
        if self.other_central_blocks:
            self.line('Note         : ' + self.central_label + ' is also in data block'
                      + ('s ' if len(self.other_central_blocks) > 1 else ' ')
                      + ', '.join(self.other_central_blocks) + ' (select with --block=)')
        if self.kind == IK_SHELX and self.mat is not None:
            self.line('Matrix file  : ' + os.path.basename(self.mat_file_name)
                      + '  (%d refined parameters)' % self.mat.param_count)
        elif self.kind == IK_SHELX:
            self.write_shelx_warning()
        elif self.kind == IK_XYZ:
            self.write_xyz_warning()
        if self.auto_ligands:
            self.line('Ligands      : automatic (d <= r1 + r2 + '
                      + format_fixed(self.opt.tolerance, 2) + ' A, occupancy >= '
                      + format_fixed(self.opt.min_occupancy, 2) + ')')
        elif self.group_count == 0:
            self.line('Ligands      : specified (%d atom%s)'
                      % (len(self.arg_names), '' if len(self.arg_names) == 1 else 's'))
        else:
            outside = sum(1 for g in self.arg_groups if g < 0)
            inside = len(self.arg_groups) - outside
            self.line('Ligands      : specified (%d atom(s), %d centroid(s) from %d atom%s)'
                      % (outside, self.group_count, inside, '' if inside == 1 else 's'))

    def write_shelx_warning(self):
        base = os.path.basename(self.file_name)
        self.line()
        self.line('*** WARNING - no standard uncertainties ***')
        self.line('The geometry was taken from a SHELX ' + file_extension(base)[1:].upper()
                  + ' file. Such files store')
        self.line('only the refined parameters themselves, not their standard')
        self.line('uncertainties: the su of the coordinates come from the inverse')
        self.line('least-squares matrix, which SHELXL writes to the .lst file and to')
        self.line('the CIF, but not to res/ins. Only the cell esds (ZERR) are present,')
        self.line('and they contribute so little to an angle sum that propagating them')
        self.line('alone would understate the true uncertainty by orders of magnitude.')
        self.line('All values below are therefore given without su. To get them, put the')
        self.line('SHELXL matrix file ' + file_stem(base)
                  + '.mat beside this one - it holds the full')
        self.line('variance-covariance matrix - or run Koravel on the CIF instead.')

    def write_xyz_warning(self):
        self.line()
        self.line('*** WARNING - no standard uncertainties ***')
        self.line('The geometry was taken from an XYZ file. Such a file holds Cartesian')
        self.line('coordinates only - no cell, no symmetry and no standard uncertainties')
        self.line('(a calculated structure has none in the crystallographic sense).')
        self.line('All values below are therefore given without su.')


def parse_options(argv):
    """The option loop; returns (options, positional) or an exit status."""
    opt = Options()
    positional = []
    for arg in argv:
        for prefix in ('tol=', 'occ=', 'max=', 'block=', 'out=', 'html=', 'xyznames=', 'sphere='):
            if arg.startswith(prefix):
                arg = '--' + arg
                break
        if arg in ('--help', '-h', '/?'):
            return 0
        number_options = (('--tol=', '--tol', 'tolerance'), ('--occ=', '--occ', 'min_occupancy'),
                          ('--max=', '--max', 'max_radius'))
        handled = False
        for prefix, name, field in number_options:
            if arg.startswith(prefix):
                value = parse_number(arg[len(prefix):])
                if value is None:
                    raise FatalError('invalid value for ' + name + ': ' + arg[len(prefix):])
                setattr(opt, field, value)
                handled = True
                break
        if handled:
            continue
        if arg.startswith('--block='):
            opt.block_name = arg[len('--block='):]
        elif arg.startswith('--out=') or arg.startswith('--html='):
            pass   # the console shows the same lines; no file is written here
        elif arg.startswith('--xyznames='):
            value = arg[len('--xyznames='):]
            schemes = {'olex': XN_OLEX, 'position': XN_POSITION, 'element': XN_ELEMENT}
            if lower_ascii(value) not in schemes:
                raise FatalError('invalid value for --xyznames: ' + value
                                 + ' (olex, position or element)')
            opt.xyz_naming = schemes[lower_ascii(value)]
        elif arg == '--sphere=radii':
            pass   # the radius criterion: the only sphere worked out here
        elif arg == '--brief':
            opt.brief = True
        elif arg == '--calc':
            opt.calc_only = True
        elif arg.startswith('--'):
            raise FatalError('unknown option: ' + arg)
        else:
            positional.append(arg)
    return opt, positional


def error_lines(message):
    return ('Error: ' + message).split('\n')


def brief_filter(lines):
    shown = []
    in_error = False
    for text in lines:
        if text.startswith('Error:'):
            in_error = True
            shown.append(text)
        elif in_error and text.startswith('       '):
            shown.append(text)
        else:
            in_error = False
    return shown


def run(argv):
    """Returns (console lines, exit status)."""
    try:
        parsed = parse_options(argv)
    except FatalError as err:
        return error_lines(str(err)), 2
    if parsed == 0:
        return HELP_TEXT.split('\n'), 0
    opt, positional = parsed
    if len(positional) < 2:
        return HELP_TEXT.split('\n'), 1
    try:
        names, groups, group_count = parse_ligand_args(positional[1:])
        if not names:
            return HELP_TEXT.split('\n'), 1
        if groups[0] >= 0:
            raise FatalError('the first atom must be the central atom, not a centroid.')
    except FatalError as err:
        return error_lines(str(err)), 2

    lines = []
    state = Run(opt, lines)
    status = 0
    try:
        state.execute(positional[0], names, groups, group_count)
    except FatalError as err:
        lines.extend(error_lines(str(err)))
        status = 2
    if opt.brief:
        if state.brief_line:
            return [state.brief_line], status
        return brief_filter(lines), status
    return lines, status


def main():
    lines, status = run(sys.argv[1:])
    out = sys.stdout.buffer
    for text in lines:
        out.write(text.encode('latin-1', 'replace') + b'\n')
    out.flush()
    return status


if __name__ == '__main__':
    sys.exit(main())
