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


if __name__ == '__main__':
    unittest.main()
