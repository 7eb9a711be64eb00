#!/usr/bin/env python3
"""Writes the bad-input corpus tests/data/bad/: hand-edited, truncated and odd
versions of a small water structure (CIF, SHELX .res with a matching .mat,
XYZ) as crystallographers produce them by accident. The end-to-end cases
tests/e2e/cases/bad_*.case run the program on them; the fuzzers take them as
seeds. Run again after changing this script and review the differences.
"""
import pathlib
import random

OUT = pathlib.Path(__file__).resolve().parent.parent / "data" / "bad"

# A water molecule (O-H 0.96 A, H-O-H 104.5 deg) and a lone Xe atom.
CELL = """_cell_length_a 20.0
_cell_length_b 20.0
_cell_length_c 20.0
_cell_angle_alpha 90
_cell_angle_beta 90
_cell_angle_gamma 90
"""
SYMOPS = """loop_
_space_group_symop_operation_xyz
'x,y,z'
"""
ATOM_HEADER = """loop_
_atom_site_label
_atom_site_type_symbol
_atom_site_fract_x
_atom_site_fract_y
_atom_site_fract_z
_atom_site_occupancy
"""
ROWS = [
    "O1 O 0.50000(2) 0.50000(2) 0.50000(2) 1",
    "H1 H 0.54800(2) 0.50000(10) 0.50000(2) 1",
    "H2 H 0.48798(10) 0.54647(10) 0.50000(2) 1",
    "Xe1 Xe 0.80000(2) 0.80000(2) 0.80000(2) 1",
]


def water(cell=CELL, rows=ROWS, head="data_water\n", tail=""):
    return head + cell + SYMOPS + ATOM_HEADER + "\n".join(rows) + "\n" + tail


def cell_with(**values):
    text = CELL
    for tag, value in values.items():
        old = next(line for line in CELL.splitlines() if line.startswith("_cell_" + tag + " "))
        text = text.replace(old, "_cell_" + tag + " " + value)
    return text


RES = """TITL water in a box
CELL 0.71073 20.0 20.0 20.0 90 90 90
ZERR 1 0.001 0.001 0.001 0 0 0
LATT -1
SFAC H O XE
FVAR 1.00000
O1 2 0.50000 0.50000 0.50000 11.00000 0.02
H1 1 0.54800 0.50000 0.50000 11.00000 -1.2
H2 1 0.48798 0.54647 0.50000 11.00000 -1.2
XE1 3 0.80000 0.80000 0.80000 11.00000 0.02
HKLF 4
END
"""


def mat(params, correlations=None, count=None):
    n = len(params)
    lines = ["  Hand-made SHELXL matrix file",
             f"  {count if count is not None else n:8d} Parameters refined in final cycle"]
    for i, (value, esd, kind, atom) in enumerate(params, 1):
        lines.append(f"{i:6d}{value:12.5f}{esd:12.5f}{0:9.3f}     {kind}  {atom}".rstrip())
    lines.append(f"  {n * (n + 1) // 2:5d} Correlation matrix elements follow")
    if correlations is None:
        correlations = [1.0 if i == j else 0.0 for i in range(n) for j in range(i, n)]
    fields = [f"{v:8.5f}" for v in correlations]
    for k in range(0, len(fields), 10):
        lines.append("".join(fields[k:k + 10]))
    return "\n".join(lines) + "\n"


MAT_PARAMS = [(1.0, 0.01, "OSF", "")] + [
    (v, esd, axis, atom)
    for atom, xyz, esd in [("O1", (0.5, 0.5, 0.5), 0.00002), ("H1", (0.548, 0.5, 0.5), 0.0001),
                           ("H2", (0.48798, 0.54647, 0.5), 0.0001)]
    for axis, v in zip("xyz", xyz)]

XYZ = """4
water and xenon
O 10.0 10.0 10.0
H 10.96 10.0 10.0
H 9.7596 10.9294 10.0
Xe 16.0 16.0 16.0
"""


def files():
    full = water()
    yield "empty.cif", b""
    yield "empty.res", b""
    yield "empty.xyz", b""
    yield "empty_mat.res", RES.encode()
    yield "empty_mat.mat", b""
    rng = random.Random(20261207)
    garbage = bytes(rng.randrange(256) for _ in range(4096))
    for ext in ("cif", "res", "xyz"):
        yield f"garbage.{ext}", garbage
    yield "garbage_mat.res", RES.encode()
    yield "garbage_mat.mat", garbage

    # A CIF cut off in every section.
    yield "only_data.cif", b"data_"
    yield "trunc_after_data.cif", b"data_water\n"
    yield "trunc_in_cell.cif", ("data_water\n" + CELL[:CELL.index("_cell_length_c")]).encode()
    yield "trunc_in_symops.cif", ("data_water\n" + CELL + "loop_\n_space_group_symop_operation_xyz\n'x,y").encode()
    yield "trunc_in_atom_header.cif", water(rows=[])[:water(rows=[]).index("_atom_site_fract_y")].encode()
    yield "trunc_after_atom_header.cif", water(rows=[]).rstrip("\n").encode()
    yield "trunc_in_atom_row.cif", full[:full.index("0.54647")].encode()
    yield "unterminated_text_field.cif", ("data_water\n_publ_section_title\n;\nWater, cut off\n" +
                                          full[len("data_water\n"):]).encode()
    yield "unterminated_text_field_at_end.cif", (full + "_publ_section_comment\n;\nstill open").encode()
    yield "unterminated_quote.cif", water(cell=cell_with(length_a="'20.0")).encode()
    yield "unterminated_quote_label.cif", water(rows=["'O1 O 0.50000(2) 0.50000(2) 0.50000(2) 1"] + ROWS[1:]).encode()

    # Numbers no refinement program writes.
    for name, value in [("1e400", "1e400"), ("nan", "nan"), ("inf", "inf"), ("hex", "0x1p3")]:
        yield f"cell_a_{name}.cif", water(cell=cell_with(length_a=value)).encode()
    yield "coordinate_inf.cif", water(rows=ROWS[:3] + ["Xe1 Xe inf 0.80000(2) 0.80000(2) 1"]).encode()
    yield "coordinate_1e400.cif", water(rows=ROWS[:3] + ["Xe1 Xe 1e400 0.80000(2) 0.80000(2) 1"]).encode()
    yield "occupancy_nan.cif", water(rows=ROWS[:2] + ["H2 H 0.48798(10) 0.54647(10) 0.50000(2) nan"] + ROWS[3:]).encode()
    # The water lies in the plane z = 1/2: the su of c and of Xe1 reach no
    # distance or angle, however large they are.
    yield "huge_su_cell.cif", water(cell=cell_with(length_c="20.0(99999999999999999999)")).encode()
    yield "huge_su_coordinate.cif", water(rows=ROWS[:3] + ["Xe1 Xe 0.8(99999999999999999999) 0.8(1e300) 0.8(9) 1"]).encode()

    # Cells that cannot be.
    yield "cell_zero.cif", water(cell=cell_with(length_b="0")).encode()
    yield "cell_negative.cif", water(cell=cell_with(length_c="-20.0(1)")).encode()
    yield "cell_angles_flat.cif", water(cell=cell_with(angle_alpha="120", angle_beta="120", angle_gamma="120")).encode()
    yield "cell_angle_over_180.cif", water(cell=cell_with(angle_beta="200")).encode()
    yield "cell_negative.res", RES.replace("CELL 0.71073 20.0 20.0 20.0", "CELL 0.71073 20.0 -20.0 20.0").encode()
    yield "cell_angles_flat.res", RES.replace("90 90 90", "120 120 120").encode()
    yield "cell_angle_zero.res", RES.replace("90 90 90", "0 90 90").encode()

    # Duplicate labels: both hydrogen atoms called H1.
    yield "duplicate_labels.cif", water(rows=[ROWS[0], ROWS[1], ROWS[2].replace("H2 H", "H1 H"), ROWS[3]]).encode()
    yield "duplicate_blocks.cif", (full + "\n" + full.replace("O1 O", "O9 O")).encode()

    # Line endings and encodings.
    yield "cr_only.cif", full.replace("\n", "\r").encode()
    yield "crlf.cif", full.replace("\n", "\r\n").encode()
    yield "utf16le_bom.cif", b"\xff\xfe" + full.encode("utf-16-le")
    yield "utf16be_bom.cif", b"\xfe\xff" + full.encode("utf-16-be")
    yield "utf8_bom.cif", b"\xef\xbb\xbf" + full.encode()
    yield "cr_only.res", RES.replace("\n", "\r").encode()
    yield "utf16le_bom.res", b"\xff\xfe" + RES.encode("utf-16-le")
    yield "crlf.xyz", XYZ.replace("\n", "\r\n").encode()
    yield "utf16le_bom.xyz", b"\xff\xfe" + XYZ.encode("utf-16-le")

    # SHELX cut off in every section.
    yield "trunc_after_titl.res", RES[:RES.index("CELL")].encode()
    yield "trunc_in_cell.res", RES[:RES.index(" 90 90")].encode()
    yield "trunc_before_atoms.res", RES[:RES.index("O1 ")].encode()
    yield "trunc_in_continuation.res", (RES[:RES.index("H2 ")] + "H2 1 0.48798 0.54647 =\n").encode()

    # Matrix files that announce more than they hold.
    yield "mat_billion.res", RES.encode()
    yield "mat_billion.mat", mat(MAT_PARAMS, count=10**9).encode()
    full_mat = mat(MAT_PARAMS)
    yield "mat_truncated.res", RES.encode()
    yield "mat_truncated.mat", full_mat[:full_mat.index("Correlation") + 60].encode()
    yield "mat_cut_in_params.res", RES.encode()
    yield "mat_cut_in_params.mat", full_mat[:full_mat.index("     x  H1")].encode()
    yield "mat_crlf.res", RES.encode()
    yield "mat_crlf.mat", full_mat.replace("\n", "\r\n").encode()

    # XYZ files that announce more atoms than they hold.
    yield "xyz_trillion.xyz", XYZ.replace("4\n", "1000000000000\n", 1).encode()
    yield "xyz_billion.xyz", XYZ.replace("4\n", "1000000000\n", 1).encode()
    yield "xyz_count_only.xyz", b"3\n"
    yield "xyz_cut_in_atom_line.xyz", XYZ[:XYZ.index(" 10.0\nH 9.7596")].encode()
    yield "xyz_cr_only.xyz", XYZ.replace("\n", "\r").encode()


def main():
    OUT.mkdir(parents=True, exist_ok=True)
    for name, data in files():
        (OUT / name).write_bytes(data)


if __name__ == "__main__":
    main()
