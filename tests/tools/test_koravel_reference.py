#!/usr/bin/env python3
"""Checks of the reference calculation: python3 -m unittest tests/tools/test_koravel_reference.py"""

import math
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import koravel_reference as K  # noqa: E402


class NumberTextTest(unittest.TestCase):
    def test_format_value_su(self):
        cases = [
            (1.23456, 0.0012, 4, '1.2346(12)'), (1.23456, 0.0034, 4, '1.235(3)'),
            (1.23456, 0.00196, 4, '1.235(2)'), (12.3456, 0.15, 2, '12.35(15)'),
            (359.87, 0.5, 2, '359.9(5)'), (359.87, 1.0, 2, '359.9(10)'),
            (359.87, 2.4, 2, '360(2)'), (359.87, 25, 2, '360(25)'),
            (0.123456789, 9e-10, 2, '0.12345679(1)'), (359.87, 0, 2, '359.87'),
            (1.0, 1e-12, 2, '1.00000000(1)'), (1.0, -0.1, 3, '1.000'),
            (-0.0001, 0, 2, '0.00'), (2.5, 0, 0, '2'),
        ]
        for value, su, decimals, expected in cases:
            with self.subTest(value=value, su=su):
                self.assertEqual(K.format_value_su(value, su, decimals), expected)

    def test_parse_su(self):
        cases = [
            ('1.2345(12)', 1.2345, 0.0012), ('12(3)', 12.0, 3.0), ('1.2e-3(4)', 0.0012, 0.0004),
            ('0.5', 0.5, 0.0), ('-0.1234(5)', -0.1234, 0.0005), ('1.234(', 1.234, 0.0),
            ('1.234()', 1.234, 0.0), ('1.234(5', 1.234, 0.005), ('1.5e2(3)', 150.0, 30.0),
        ]
        for text, value, su in cases:
            with self.subTest(text=text):
                got = K.parse_su(text)
                self.assertAlmostEqual(got[0], value, places=12)
                self.assertAlmostEqual(got[1], su, places=12)
        for text in ('?', '.', '', 'abc', '..5', '1.2.3', 'nan', 'inf', '0x10', ' 1 2'):
            with self.subTest(text=text):
                self.assertIsNone(K.parse_su(text))


class CifReaderTest(unittest.TestCase):
    def test_blocks_items_and_loops(self):
        text = ("_orphan 1\nDATA_Foo\n_Cell_Length_A 10.5 # comment\n_name 'O'Neil'\n"
                "loop_\n_a\n_b\n_c\n1 2 3 4 5 6 7\n_next v\nsave_frame\n_hidden 1\nsave_\n"
                ";  first line  \n\nsecond\n;\n_x N#1\nloop_\n_q\n'_quoted' _ends\nafter\n")
        blocks = K.build_blocks(K.tokenize_cif(text.split('\n')))
        self.assertEqual([b.name for b in blocks], ['', 'Foo'])
        foo = blocks[1]
        self.assertEqual(foo.get_item('_cell_length_a'), '10.5')
        self.assertEqual(foo.get_item('_name'), "O'Neil")
        loop = foo.find_loop('_B')
        self.assertEqual((loop.row_count(), loop.value(2, 0), loop.value(2, 1)), (2, '7', ''))
        self.assertEqual(foo.get_item('_next'), 'v')
        self.assertEqual(foo.get_item('_hidden'), '')
        self.assertEqual(foo.get_item('_x'), 'N#1')
        self.assertEqual(foo.find_loop('_q').values, ['_quoted'])
        self.assertEqual(foo.get_item('_ends'), 'after')

    def test_text_field_joins_lines(self):
        tokens = K.tokenize_cif([';  first  ', '', 'second', ';'])
        self.assertEqual(tokens, [('first\r\n\r\nsecond', True)])


class GeometryTest(unittest.TestCase):
    def test_symop_parsing(self):
        cases = [
            ('-x+1/2,-y,z+1/2', [[-1, 0, 0], [0, -1, 0], [0, 0, 1]], [0.5, 0, 0.5]),
            ('x-y,2*x,1/2+z', [[1, -1, 0], [2, 0, 0], [0, 0, 1]], [0, 0, 0.5]),
            ('X,Y', [[1, 0, 0], [0, 1, 0], [0, 0, 0]], [0, 0, 0]),
            ('0.25+z,2x,y', [[0, 0, 1], [2, 0, 0], [0, 1, 0]], [0.25, 0, 0]),
        ]
        for text, rot, trans in cases:
            with self.subTest(text=text):
                op = K.parse_symop(text)
                self.assertEqual(op.rot, rot)
                self.assertEqual(op.trans, trans)
        for text in ('x+1/0,y,z', 'x+1.2.3,y,z'):
            self.assertIsNone(K.parse_symop(text))

    def test_symmetry_codes(self):
        ops = [K.identity_symop(), K.parse_symop('-x,-y,-z')]
        ops[1].num, ops[1].code = 2, '2_555'
        self.assertEqual(K.resolve_symcode('2_645', ops).code, '2_645')
        self.assertEqual(K.resolve_symcode('2_645', ops).trans, [1.0, -1.0, 0.0])
        for bad in ('3_555', '0_555', '_555', 'a_555', '1_55', '1_5555'):
            self.assertIsNone(K.resolve_symcode(bad, ops), bad)
        self.assertEqual([K.normalize_symcode(t) for t in (' 2 ', '?', '.', '3_565')],
                         ['2_555', '1_555', '1_555', '3_565'])

    def test_orthogonalisation_example(self):
        m = K.ortho_matrix([10, 12, 15, 90, 100, 90])
        p = K.mat_vec(m, (0.5, 0.25, 0.1))
        for got, expected in zip(p, (4.739528, 3.0, 1.477212)):
            self.assertAlmostEqual(got, expected, places=6)

    def test_point_functions(self):
        pts = [(0, 0, 0), (1, 0, 0), (0, 2, 0), (-1, 0, 0)]
        self.assertAlmostEqual(K.sum_func(pts), 360.0, places=12)
        self.assertAlmostEqual(K.angle_func(pts[:3]), 90.0, places=12)
        self.assertAlmostEqual(K.distance_func(pts[1:3]), math.sqrt(5), places=12)
        self.assertEqual(K.angle_at((0, 0, 0), (0, 0, 0), (1, 0, 0)), 0.0)
        # the atan2 form keeps small deviations from 180 degrees
        self.assertAlmostEqual(K.angle_at((1, 0, 0), (0, 0, 0), (-1, 1e-7, 0)),
                               180 - math.degrees(1e-7), places=12)


def cif_text(atoms, extra=''):
    rows = '\n'.join(atoms)
    return ('data_t\n_cell_length_a 10.000(1)\n_cell_length_b 10.000(1)\n'
            '_cell_length_c 10.000(1)\n_cell_angle_alpha 90\n_cell_angle_beta 90\n'
            '_cell_angle_gamma 90\nloop_\n_symmetry_equiv_pos_as_xyz\n\'x, y, z\'\n'
            '\'-x, -y, -z\'\nloop_\n_atom_site_label\n_atom_site_type_symbol\n'
            '_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n' + rows + '\n' + extra)


# a general position, so that no inversion image of a fluorine comes near the boron
PLANAR_BF3 = ['B1 B 0.2500(2) 0.2500(2) 0.2500(2)', 'F1 F 0.3800(2) 0.2500(2) 0.2500(2)',
              'F2 F 0.1850(2) 0.3626(2) 0.2500(2)', 'F3 F 0.1850(2) 0.1374(2) 0.2500(2)']


class RunTest(unittest.TestCase):
    def run_case(self, atoms, args, extra=''):
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, 't.cif')
            with open(path, 'w') as handle:
                handle.write(cif_text(atoms, extra))
            lines, status = K.run([path] + args)
        return lines, status

    def test_planar_three_coordinate_centre(self):
        lines, status = self.run_case(PLANAR_BF3, ['B1'])
        self.assertEqual(status, 0)
        self.assertIn('Coordination number: 3  ->  3 L-M-L angle(s)', lines)
        self.assertIn('  Classification: planar within 3 su', lines)
        self.assertTrue(any(l.startswith('  360 - Sum  = 0.0') for l in lines))
        self.assertTrue(any(l.startswith('  Non-linearity:') for l in lines))

    def test_inversion_centre_fixes_the_sum(self):
        # B1 on the inversion centre: F1 and its image are exactly opposite
        lines, status = self.run_case(['B1 B 0 0 0', 'F1 F 0.1300(2) 0.0100(2) 0.0000(2)'], ['B1'])
        self.assertEqual(status, 0)
        self.assertIn('  Sum(L-M-L) = 180.00 deg', lines)
        self.assertEqual(lines[-1], 'Note: the sum is fixed by symmetry; its su is zero.')

    def test_failures(self):
        cases = [
            (['B1', 'F1'], 'Error: 2 to 12 ligands must be specified.'),
            (['B1', '[', ']'], 'Error: centroid Cg1 needs at least 2 atoms.'),
            (['B1', '[F1]', 'F2'], 'Error: centroid Cg1 needs at least 2 atoms.'),
            (['B1', 'F1#3_555', 'F2'], 'Error: symmetry code "3_555" in "F1#3_555" is not valid '
                                       'for this CIF (2 operations, format n_klm).'),
            (['B1', 'B1#1_555', 'F2'], 'Error: ligand "B1#1_555" is the central atom itself.'),
            (['B1', 'F1#1_555', 'F1#1_555'], 'Error: ligand "F1#1_555" was given more than once.'),
            (['B1', 'F1', 'F2', '--max=1.0'], 'Error: ligand "F1" is not within the search '
                                              'radius (1.00 A). Increase --max= if required.'),
            (['Zz9'], 'Error: central atom "Zz9" not found in data block "t". '
                      'Blocks with a structure: t'),
            (['B1', '--block=x'], 'Error: data block "x" not found. Available: t'),
        ]
        for args, expected in cases:
            with self.subTest(args=args):
                lines, status = self.run_case(PLANAR_BF3, args)
                self.assertEqual(status, 2)
                self.assertEqual(lines[-1], expected)

    def test_centroid_on_the_central_atom(self):
        lines, status = self.run_case(PLANAR_BF3, ['B1', '[F1', 'F2', 'F3]', 'F1'])
        self.assertEqual(status, 2)
        self.assertEqual(lines[-1], 'Error: centroid Cg1 coincides with the central atom.')

    def test_brief_and_usage(self):
        lines, status = self.run_case(PLANAR_BF3, ['B1', '--brief', '--calc'])
        self.assertEqual(status, 0)
        self.assertEqual(len(lines), 1)
        self.assertTrue(lines[0].startswith('B1: CN 3, sum of 3 angles = 360.0'))
        self.assertTrue(lines[0].endswith('deg  [F1 F2 F3]'))
        self.assertEqual(K.run(['x.cif'])[1], 1)
        self.assertEqual(K.run(['x.cif', 'B1', '--tol']), (['Error: unknown option: --tol'], 2))


DATA = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), 'data')


def write_files(tmp, files):
    for name, text in files.items():
        with open(os.path.join(tmp, name), 'w', newline='') as handle:
            handle.write(text)


def run_in(files, args):
    """Runs the reference on files written into a temporary directory (names relative)."""
    with tempfile.TemporaryDirectory() as tmp:
        write_files(tmp, files)
        cwd = os.getcwd()
        os.chdir(tmp)
        try:
            return K.run(args)
        finally:
            os.chdir(cwd)


def shelx_text(head, atoms, cell='CELL 0.71 10 10 10 90 90 90\nZERR 1 0.001 0.001 0.001 0 0 0'):
    return 'TITL  abc in P2(1)/c\n' + cell + '\n' + head + '\n' + atoms + '\nHKLF 4\nEND\n'


class ShelxTest(unittest.TestCase):
    def test_decode_free_variables(self):
        fv = [0.5, 0.7]
        cases = [(21.0, 0.7), (-21.0, 0.3), (20.5, 0.35), (31.0, 1.0), (-10.5, -0.5),
                 (15.0, -3.5), (11.0, 1.0), (0.25, 0.25), (-5.0, -5.0)]
        for coded, value in cases:
            with self.subTest(coded=coded):
                self.assertAlmostEqual(K.decode_shelx_value(coded, fv), value, places=12)
        self.assertEqual(K.decode_shelx_occ(-0.5, fv), 0.0)

    def test_wrap_and_same_operator(self):
        for t, w in ((-0.25, 0.75), (1.0, 0.0), (1 - 1e-10, 0.0), (2.5, 0.5), (-1.0, 0.0)):
            self.assertAlmostEqual(K.wrap01(t), w, places=12)
        a = K.parse_symop('-x,y,z')
        b = K.parse_symop('-x,y,z+0.9999999')
        c = K.parse_symop('-x,y,z+0.5')
        self.assertTrue(K.same_symop(a, b))   # the translations differ by a whole cell
        self.assertFalse(K.same_symop(a, c))

    def test_operator_lists(self):
        cases = [
            ('LATT 1\nSYMM -X, 1/2+Y, 1/2-Z', [('-x', 'y', '-z')], 4,
             [[0, 0, 0], [0, 0.5, 0.5], [0, 0, 0], [0, 0.5, 0.5]]),
            ('LATT -7', [], 2, [[0, 0, 0], [0.5, 0.5, 0]]),
            ('LATT 4', [], 8, None),
            ('LATT 1e12', [], 2, None),     # out of range: keeps the default 1
            ('LATT -3', [], 3, [[0, 0, 0], [2 / 3, 1 / 3, 1 / 3], [1 / 3, 2 / 3, 2 / 3]]),
        ]
        for head, _, count, trans in cases:
            with self.subTest(head=head):
                with tempfile.TemporaryDirectory() as tmp:
                    write_files(tmp, {'t.res': shelx_text('SFAC C\n' + head, 'C1 1 0 0 0')})
                    ops = K.read_shelx_file(os.path.join(tmp, 't.res')).symops
                self.assertEqual(len(ops), count)
                if trans is not None:
                    for op, t in zip(ops, trans):
                        for got, expected in zip(op.trans, t):
                            self.assertAlmostEqual(got, expected, places=12)
                    self.assertEqual([op.code for op in ops], ['%d_555' % (k + 1)
                                                               for k in range(count)])

    def test_atom_lines(self):
        head = 'SFAC C H N O\nFVAR 1.0 0.7'
        atoms = ('C1 1 0.1 0.2 =\n   0.3 11.0 0.05\nN1 3 0.4 0.3 0.2 21.0\nX0 0 0.1 0.1 0.1\n'
                 'X5 5 0.1 0.1 0.1\nQ3 1 0.2 0.2 0.2\nO1 4 0.7 0.7\nTITLE 1 0.1 0.1 0.1')
        with tempfile.TemporaryDirectory() as tmp:
            write_files(tmp, {'t.res': shelx_text(head, atoms) + 'C9 1 0.9 0.9 0.9\n'})
            data = K.read_shelx_file(os.path.join(tmp, 't.res'))
        self.assertEqual(data.title, 'abc in P2(1)/c')
        self.assertEqual([(a.label, a.element) for a in data.atoms],
                         [('C1', 'C'), ('N1', 'N'), ('TITLE', 'C')])
        self.assertEqual(data.atoms[0].frac, (0.1, 0.2, 0.3))
        self.assertAlmostEqual(data.atoms[1].occ, 0.7, places=12)
        self.assertEqual(data.cell[6:9], [0.001, 0.001, 0.001])

    def test_sfac_forms(self):
        for head, elements in (('SFAC CL 1 2 3 4 5 6 7 8 9\nSFAC fe', ['Cl', 'Fe']),
                               ('SFAC C H 2N', ['C', 'H', ''])):
            atoms = '\n'.join('A%d %d 0.1 0.1 0.1' % (i + 1, i + 1) for i in range(3))
            with tempfile.TemporaryDirectory() as tmp:
                write_files(tmp, {'t.res': shelx_text(head, atoms)})
                data = K.read_shelx_file(os.path.join(tmp, 't.res'))
            self.assertEqual([a.element for a in data.atoms], elements)

    def test_site_occupancy(self):
        # P-1: an atom on the inversion centre lies on a site of order 2
        # a factor written to five decimals is off by at most 0.000005 per operator
        cases = [('0 0 0', '10.5', 1.0), ('0 0 0', '10.499996', 1.0),
                 ('0 0 0', '10.49999', 0.99998),
                 ('0.1 0.2 0.3', '10.5', 0.5), ('0.5 0 1', '10.25', 0.5)]
        for xyz, sof, occ in cases:
            with self.subTest(xyz=xyz, sof=sof):
                with tempfile.TemporaryDirectory() as tmp:
                    write_files(tmp, {'t.res': shelx_text('LATT 1\nSYMM -X,-Y,-Z\nSFAC C',
                                                          'C1 1 %s %s' % (xyz, sof))})
                    data = K.read_shelx_file(os.path.join(tmp, 't.res'))
                self.assertAlmostEqual(data.atoms[0].occ, occ, places=12)

    def test_reader_failures(self):
        many = '\n'.join('SYMM x,y,z+%d/193' % k for k in range(193))
        cases = [
            ('TITL x\nSFAC C\nC1 1 0 0 0\n', 'no CELL card found in t.res.'),
            ('CELL 0.7 10 10\nSFAC C\nC1 1 0 0 0\n', 'no CELL card found in t.res.'),
            (shelx_text('SFAC C', 'C1 1 0 0 0', 'CELL 0.7 10 10 10 90 180 90'),
             'cell parameters in t.res are unusable.'),
            (shelx_text('SFAC C', 'C1 1 0 0 0', 'CELL 0.7 10 10 10 120 120 120'),
             'cell parameters in t.res are unusable.'),
            (shelx_text('SFAC C', 'Q1 1 0 0 0'), 'no atoms found in t.res.'),
            (shelx_text('SFAC C\n' + many, 'C1 1 0 0 0'),
             'too many SYMM cards in t.res (a space group has at most 192 operators).'),
        ]
        for text, message in cases:
            with self.subTest(message=message):
                lines, status = run_in({'t.res': text}, ['t.res', 'C1'])
                self.assertEqual((lines[-1], status), ('Error: ' + message, 2))

    def test_real_files(self):
        lines, status = K.run([os.path.join(DATA, 'NaCl.res'), 'NA1', '--brief'])
        self.assertEqual(status, 0)   # 0.02083 x 48 counts as a full site
        self.assertTrue(lines[0].startswith('NA1: CN 6, sum of 15 angles = 1620.00 deg'))
        self.assertTrue(lines[0].endswith('(no su - from RES)'))
        lines, status = K.run([os.path.join(DATA, '2240189.res'), 'Fe1', '--brief'])
        self.assertTrue(lines[0].startswith('FE1: CN 6, sum of 15 angles = 1620.00 deg'))


def mat_text(n, params, corr, title='Parameters refined in final cycle'):
    lines = ['', ' t.res in P1', '', '%6d %s' % (n, title), '',
             '     N      value        esd    shift/esd  parameter', '']
    for k, (value, esd, kind, label) in enumerate(params):
        lines.append('%6d %11.5f %11.5f %9.3f    %s  %s' % (k + 1, value, esd, 0.0, kind, label))
    lines += ['', '%9d Correlation matrix elements follow' % len(corr), '']
    row = ''
    for value in corr:
        row += value if isinstance(value, str) else '%8.5f' % value
        if len(row) >= 80:
            lines.append(row)
            row = ''
    if row:
        lines.append(row)
    return '\n'.join(lines) + '\n'


# B1 with three F in a plane (P-1, the inversion images far away): B1 and F1 refined,
# F2 and F3 without coordinate parameters (riding)
PLANAR_RES = shelx_text('SFAC B F', 'B1 1 0.25 0.25 0.25\nF1 2 0.38 0.25 0.25\n'
                        'F2 2 0.185 0.3626 0.25\nF3 2 0.185 0.1374 0.25')
PLANAR_PARAMS = [(0.25, 0.0002, 'x', 'B1'), (0.25, 0.0002, 'y', 'B1'), (0.25, 0.0002, 'z', 'B1'),
                 (0.38, 0.0003, 'x', 'F1^a'), (0.25, 0.0003, 'y', 'F1'),
                 (0.25, 0.0003, 'z', 'F1'), (1.0, 0.01, 'OSF', '')]


def planar_corr(off=0.1):
    n = len(PLANAR_PARAMS)
    return [1.0 if i == j else off for i in range(n) for j in range(i, n)]


class MatFileTest(unittest.TestCase):
    def test_paired_run(self):
        files = {'t.res': PLANAR_RES, 't.mat': mat_text(7, PLANAR_PARAMS, planar_corr())}
        lines, status = run_in(files, ['t.cif', 'B1'])
        self.assertEqual(status, 0)
        self.assertIn('SHELX file   : t.res', lines)
        self.assertIn('Matrix file  : t.mat  (7 refined parameters)', lines)
        self.assertNotIn('*** WARNING - no standard uncertainties ***', lines)
        self.assertIn('      The full variance-covariance matrix of t.mat was used,', lines)
        self.assertIn('      6 of the coordinates involved are not free', lines)
        self.assertIn('  Classification: planar within 3 su', lines)

    def test_covariance(self):
        with tempfile.TemporaryDirectory() as tmp:
            write_files(tmp, {'t.mat': mat_text(7, PLANAR_PARAMS, planar_corr(0.25))})
            mat = K.MatFile()
            mat.load(os.path.join(tmp, 't.mat'))
        self.assertEqual(mat.coord_label, ['B1', 'B1', 'B1', 'F1', 'F1', 'F1'])
        self.assertAlmostEqual(mat.covariance(0, 3), 0.25 * 0.0002 * 0.0003, places=15)
        self.assertEqual(mat.covariance(3, 0), mat.covariance(0, 3))
        self.assertEqual(mat.covariance(0, 7), 0.0)
        self.assertEqual(mat.match_structure(['b1', 'C9'], [(0.25, 0.25, 0.25), (0, 0, 0)]), '')
        self.assertEqual(mat.atom_param, [[0, 1, 2], [-1, -1, -1]])
        self.assertEqual((mat.param_index(0, 3), mat.param_index(-1, 0)), (-1, -1))

    def test_failures(self):
        corr = planar_corr()
        bad_field = list(corr)
        bad_field[3] = ' 1.00x  '
        cases = [
            (mat_text(7, PLANAR_PARAMS, bad_field),
             'malformed correlation value "1.00x" in t.mat.'),
            (mat_text(7, PLANAR_PARAMS, corr[:-1]),
             't.mat: expected 28 correlation elements, found 27.'),
            (mat_text(0, [], []), 'cannot read the parameter count from t.mat.'),
            (mat_text(3000000000, [], []), 'cannot read the parameter count from t.mat.'),
            (mat_text(500, PLANAR_PARAMS, corr), 'cannot read the parameter count from t.mat.'),
            (mat_text(7, PLANAR_PARAMS, corr, 'parameters'), 't.mat contains no parameter list.'),
            (mat_text(7, PLANAR_PARAMS, []).replace('Correlation matrix', 'Correlation'),
             't.mat contains no correlation matrix.'),
        ]
        for text, message in cases:
            with self.subTest(message=message):
                lines, status = run_in({'t.res': PLANAR_RES, 't.mat': text}, ['t.res', 'B1'])
                self.assertEqual((lines[-1], status), ('Error: ' + message, 2))

    def test_pairing(self):
        moved = list(PLANAR_PARAMS)
        moved[3] = (0.3812, 0.0003, 'x', 'F1')
        moved[0] = (0.25011, 0.0, 'x', 'B1')
        no_esd = list(PLANAR_PARAMS)
        no_esd[1] = (0.2512, 0.0, 'y', 'B1')
        general = (' Both files must come from the same refinement run; remove the .mat to get'
                   ' the result without su.')
        cases = [
            ('t.res', moved, 't.mat does not belong to t.res - 2 coordinate(s) differ from the'
             ' matrix file; the largest is F1.x by 0.00120, i.e. 4 esd.' + general),
            ('t.res', no_esd, 't.mat does not belong to t.res - 1 coordinate(s) differ from the'
             ' matrix file; the largest is B1.y by 0.00120.' + general),
            ('t.INS', [(0.1, 0.001, 'x', 'Zz1')], 't.mat does not belong to t.INS - no atom of'
             ' the structure appears in the matrix file. An .ins is the input of a refinement,'
             ' while the .mat is written by it; the two only match if the .ins is a copy of'
             " that run's .res. Use the .res, or remove the .mat to get the result without su."),
        ]
        for name, params, message in cases:
            with self.subTest(message=message):
                n = len(params)
                corr = [1.0 if i == j else 0.0 for i in range(n) for j in range(i, n)]
                lines, status = run_in({name: PLANAR_RES, 't.mat': mat_text(n, params, corr)},
                                       [name, 'B1'])
                self.assertEqual((lines[-1], status), ('Error: ' + message, 2))

    def test_without_matrix_file(self):
        lines, status = run_in({'t.ins': PLANAR_RES}, ['t', 'B1'])
        self.assertEqual(status, 0)
        self.assertIn('The geometry was taken from a SHELX INS file. Such files store', lines)
        self.assertIn('SHELXL matrix file t.mat beside this one - it holds the full', lines)
        self.assertNotIn('  Classification: planar within 3 su', lines)
        self.assertEqual(lines[-2:], ['Note: all angles were computed from cell parameters and'
                                      ' coordinates.', '      No standard uncertainties are'
                                      ' given - see the warning above.'])


class XyzTest(unittest.TestCase):
    def read(self, text, naming=K.XN_OLEX):
        with tempfile.TemporaryDirectory() as tmp:
            write_files(tmp, {'m.xyz': text})
            return K.read_xyz_file(os.path.join(tmp, 'm.xyz'), naming)

    def test_naming_schemes(self):
        text = '\n4\n\nC 0 0 0\nH 1.0D+00 0 0\n\nC,0,1.5,0\n6 0 0 1.5\n'
        cases = [(K.XN_OLEX, ['C3', 'H4', 'C6', 'C7']), (K.XN_POSITION, ['C1', 'H2', 'C3', 'C4']),
                 (K.XN_ELEMENT, ['C1', 'H1', 'C2', 'C3'])]
        for naming, labels in cases:
            with self.subTest(naming=naming):
                data = self.read(text, naming)
                self.assertEqual([a.label for a in data.atoms], labels)
                self.assertEqual(data.atoms[1].cart, (1.0, 0.0, 0.0))
                self.assertFalse(data.has_labels)

    def test_labels_in_the_file(self):
        data = self.read('5\ncomment \nFe1 0 0 0\nN1 1 0 0\nC 0 1 0\nc 0 2 0\nO 0 0 1\n3\nx\n'
                         'Fe1 0 0 0\n5\n')
        self.assertEqual([a.label for a in data.atoms], ['Fe1', 'N1', 'C4', 'C5', 'O'])
        self.assertEqual((data.comment, data.structure_count, data.has_labels),
                         ('comment', 2, True))
        self.assertEqual([K.xyz_element(f) for f in ('CL', '92', 'Xx1', 'Ca12', '97', 'D')],
                         [('Cl', False), ('U', False), ('Xx', True), ('Ca', True), ('', False),
                          ('', False)])

    def test_failures(self):
        cases = [
            (' \n\n', 'm.xyz is empty.'),
            ('two\nx\n', 'm.xyz: the first line must contain the number of atoms.'),
            ('0\nx\n', 'm.xyz: the first line must contain the number of atoms.'),
            ('99999999999999999999\nx\n',
             'm.xyz: the first line must contain the number of atoms.'),
            ('2\nx\nC 0 0 0\n\nC 0 0\n', 'm.xyz, line 5: expected "element x y z", found "C 0 0".'),
            ('1\nx\nD 0 0 0\n', 'm.xyz, line 3: unknown element "D".'),
            ('3\nx\nC 0 0 0\nC 1 0 0\n', 'm.xyz: 3 atoms announced, only 2 found.'),
            ('9000000000\nx\nC 0 0 0\n', 'm.xyz: 9000000000 atoms announced, only 1 found.'),
        ]
        for text, message in cases:
            with self.subTest(message=message):
                lines, status = run_in({'m.xyz': text}, ['m.cif', 'C2'])
                self.assertEqual((lines[-1], status), ('Error: ' + message, 2))

    def test_run_and_hint(self):
        water = '3\nwater\nO 0 0 0\nH 0.9572 0 0\nH -0.2400 0.9300 0\n'
        lines, status = run_in({'w.xyz': water}, ['w.xyz', 'O2', '--brief'])
        self.assertEqual(status, 0)
        self.assertTrue(lines[0].startswith('O2: CN 2, sum of 1 angle = 104.47 deg  [H3 H4]'))
        self.assertTrue(lines[0].endswith('  (no su - from XYZ)'))
        lines, status = run_in({'w.xyz': water}, ['w.xyz', 'O1', '--xyznames=position'])
        self.assertEqual(status, 0)
        self.assertIn('Atom names   : element + position in the atom list (first atom = 1)', lines)
        lines, status = run_in({'w.xyz': water}, ['w.xyz', 'O1'])
        self.assertEqual(lines[-4:], [
            'Error: central atom "O1" not found in w.xyz.',
            '       XYZ atom names: element + line in the file counted from 0, as in Olex2'
            ' (first atom = line 2).',
            '       Other schemes: xyznames=olex (as Olex2), xyznames=position',
            '       (first atom = 1), xyznames=element (C1, H1, H2, ...).'])


if __name__ == '__main__':
    unittest.main()
