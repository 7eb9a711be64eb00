#!/usr/bin/env python3
"""Prints the settings table of crystal/space_group_table.cpp and the group
orders held by tests/unit/crystal_hall_symbol_test.cpp, both from gemmi's
space-group table (its first 530 entries: the settings of International
Tables A, Table 4.3.2.1, with the Hall symbols of International Tables B,
ch. 1.4). Each group order is checked against International Tables' point-group
order times the multiplicity of the centring before it is printed.

    /usr/bin/python3 tests/tools/make_space_group_table.py table|orders
"""
import sys

import gemmi

ITA_SETTINGS = 530  # gemmi's later entries are CCP4 and non-standard cells

POINT_GROUP_ORDER = {
    "1": 1, "-1": 2, "2": 2, "m": 2, "2/m": 4, "222": 4, "mm2": 4, "mmm": 8,
    "4": 4, "-4": 4, "4/m": 8, "422": 8, "4mm": 8, "-42m": 8, "4/mmm": 16,
    "3": 3, "-3": 6, "32": 6, "3m": 6, "-3m": 12, "6": 6, "-6": 6, "6/m": 12,
    "622": 12, "6mm": 12, "-62m": 12, "6/mmm": 24, "23": 12, "m-3": 24,
    "432": 24, "-43m": 24, "m-3m": 48,
}
CENTRING_MULTIPLICITY = {"P": 1, "A": 2, "B": 2, "C": 2, "I": 2, "R": 3, "F": 4}


def settings():
    everything = list(gemmi.spacegroup_table())
    table = everything[:ITA_SETTINGS]
    assert table[-1].number == 230 and everything[ITA_SETTINGS].number < 230
    seen = set()
    for s in table:
        ext = s.ext.replace("\x00", "")
        key = (s.hm.replace(" ", "").lower(), ext.lower())
        assert key not in seen, key
        seen.add(key)
        yield s, ext


def main():
    what = sys.argv[1] if len(sys.argv) > 1 else "table"
    if what == "table":
        for s, ext in settings():
            hall = s.hall.replace('"', '\\"')
            print(f'    {{{s.number}, "{s.hm}", "{ext}", "{hall}"}},')
        return
    orders = {}
    for s, ext in settings():
        n = len(s.operations())
        lattice = s.hm[0] if not (s.hm[0] == "R" and ext == "R") else "P"
        expected = POINT_GROUP_ORDER[s.point_group_hm().replace(" ", "")] * CENTRING_MULTIPLICITY[lattice]
        assert n == expected, (s.number, s.hm, ext, n, expected)
        # One order per group on hexagonal axes; rhombohedral axes drop the
        # centring, a third of it.
        assert orders.setdefault(s.number, n) == (3 * n if ext == "R" else n)
    print(", ".join(str(orders[k]) for k in range(1, 231)))


if __name__ == "__main__":
    main()
