#!/usr/bin/env python3
"""Writes tests/data/real_space_groups.cif: for every data block of the real
CIFs in ../shared/realdata (cif/, big/, corpus/; not mat/, which has no
licence) that gives a space-group symbol and an operator loop, a block with
just those items, copied as the file writes them. Files already in tests/data
are left out. The space-group test compares each symbol with its loop.

Run by hand from the repository root when the shared data change:
    python3 tests/tools/extract_space_groups.py ../shared/realdata
"""
import glob
import os
import sys

import gemmi

SYMBOLS = ["_space_group_name_Hall", "_symmetry_space_group_name_Hall",
           "_space_group_name_H-M_alt", "_symmetry_space_group_name_H-M"]
LOOPS = ["_space_group_symop_operation_xyz", "_symmetry_equiv_pos_as_xyz"]


def main():
    shared = sys.argv[1]
    have = set(os.listdir("tests/data"))
    out = ["# Space-group symbols and operator loops of real CIFs, copied unchanged",
           "# by tests/tools/extract_space_groups.py; each block names its source",
           "# (tests/data/SOURCES.md gives the repositories and licences).", ""]
    count = 0
    for folder in ("cif", "big", "corpus"):
        for path in sorted(glob.glob(os.path.join(shared, folder, "*.cif"))):
            name = os.path.basename(path)
            if name in have or name.replace("cod_", "", 1) in have:
                continue
            try:
                doc = gemmi.cif.read(path)
            except Exception:
                continue
            for block in doc:
                symbols = [(tag, block.find_value(tag)) for tag in SYMBOLS if block.find_value(tag) is not None]
                loop = next((tag for tag in LOOPS if block.find_values(tag)), None)
                if not symbols or loop is None:
                    continue
                count += 1
                out.append(f"data_sg{count}")
                out.append(f"# {folder}/{name}, block {block.name}")
                out += [f"{tag} {value}" for tag, value in symbols]
                out += ["loop_", loop] + [v for v in block.find_values(loop)]
                out.append("")
    with open("tests/data/real_space_groups.cif", "w", encoding="utf-8") as f:
        f.write("\n".join(out))
    print(f"{count} blocks")


if __name__ == "__main__":
    main()
