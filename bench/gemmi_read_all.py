#!/usr/bin/env python3
"""Reads every CIF below a folder with gemmi's CIF parser, in one process:
the reference for the survey benchmark (what merely reading the files costs
a well-optimised CIF library).

    gemmi_read_all.py FOLDER
"""
import os
import sys

import gemmi


def main():
    count = 0
    for root, _, files in os.walk(sys.argv[1]):
        for name in sorted(files):
            if name.lower().endswith(".cif"):
                gemmi.cif.read_file(os.path.join(root, name))
                count += 1
    print(count)


if __name__ == "__main__":
    main()
