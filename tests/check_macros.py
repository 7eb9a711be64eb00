#!/usr/bin/env python3
"""Checks that MANUAL.md shows the Olex2 macros word for word as
olex2/koravel.xld ships them (each macro as a block indented by four blanks).

    check_macros.py REPOSITORY
"""
import os
import sys


def indented(text):
    return "\n".join("    " + line if line else "" for line in text.rstrip("\n").split("\n"))


def main():
    root = sys.argv[1]
    with open(os.path.join(root, "olex2", "koravel.xld"), encoding="utf-8") as f:
        shipped = f.read()
    with open(os.path.join(root, "MANUAL.md"), encoding="utf-8") as f:
        manual = f.read()
    koravel, korvex = shipped.split("\n<korvex", 1)
    problems = [f"MANUAL.md does not show the {name} macro of olex2/koravel.xld"
                for name, macro in (("koravel", koravel), ("korvex", "<korvex" + korvex))
                if indented(macro) not in manual]
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
