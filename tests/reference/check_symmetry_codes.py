#!/usr/bin/env python3
"""Checks every "Symmetry codes:" line of the end-to-end cases against gemmi.

For a case whose input is a CIF with an operator loop that gemmi reads, each entry
"n_klm = operator" must be the loop's n-th operator, as gemmi reads it, with
the translation (k-5, l-5, m-5) added. Exit status 77 (skipped) without gemmi.
"""
import glob
import os
import re
import sys

try:
    import gemmi
except ImportError:
    print("gemmi is missing: skipped")
    sys.exit(77)

TESTS = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
LOOPS = ("_space_group_symop_operation_xyz", "_symmetry_equiv_pos_as_xyz",
         "_space_group_symop.operation_xyz", "_symmetry_equiv.pos_as_xyz")


def entries(lines):
    """The "code = operator" entries of the case's Symmetry codes lines."""
    text, inside = "", False
    for line in lines:
        if line.startswith("Symmetry codes: "):
            text, inside = line[16:], True
        elif inside and line.startswith(" " * 16):
            text += " " + line.strip()
        else:
            inside = False
    return [tuple(e.split(" = ")) for e in text.split("; ")] if text else []


def operators(cif, block_name):
    doc = gemmi.cif.read(cif)
    block = doc.find_block(block_name) if block_name else doc.sole_block()
    for tag in LOOPS:
        values = list(block.find_values(tag))
        if values:
            try:
                ops = [gemmi.Op(gemmi.cif.as_string(v).replace(" ", "")) for v in values]
            except RuntimeError:   # a deliberately damaged loop (a null row): not for this check
                return None
            # a loop without the identity gets x, y, z as its next operator (the
            # program says so in a header note)
            if not any(op.rot == gemmi.Op("x,y,z").rot and all(t % gemmi.Op.DEN == 0 for t in op.tran)
                       for op in ops):
                ops.append(gemmi.Op("x,y,z"))
            return ops
    return None


def main():
    checked = failed = 0
    for path in sorted(glob.glob(os.path.join(TESTS, "e2e", "cases", "*.case"))):
        with open(path, encoding="utf-8") as f:
            lines = f.read().splitlines()
        found = entries(lines)
        file_line = next((l for l in lines if l.startswith("CIF file     : ")), None)
        if not found or not file_line:
            continue
        block = next((l[15:].split()[0] for l in lines if l.startswith("Data block   : ")), None)
        ops = operators(os.path.join(TESTS, file_line[15:]), block)
        if ops is None:
            continue
        for code, text in found:
            m = re.fullmatch(r"(\d+)_(\d)(\d)(\d)|(\d+)_(\d+)_(\d+)_(\d+)", code)
            n, *klm = [int(g) for g in m.groups() if g is not None]
            want = ops[n - 1].translated([gemmi.Op.DEN * (t - 5) for t in klm])
            got = gemmi.Op(text.replace(" ", ""))
            checked += 1
            if got != want:
                failed += 1
                print(f"{os.path.basename(path)}: {code} = {text}, but the file's operator {n} "
                      f"with that translation is {want.triplet()}")
    print(f"{checked} symmetry code(s) checked, {failed} wrong")
    return 1 if failed or not checked else 0


if __name__ == "__main__":
    sys.exit(main())
