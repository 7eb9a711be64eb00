#!/usr/bin/env python3
"""Checks that no source folder includes a folder above it.

    check_layers.py SOURCE_DIR LAYER...

The layers are given bottom first (as KORAVEL_LAYERS in CMakeLists.txt); a
file in a layer may include headers of its own layer and of those before it.
"""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^/"]+)/')


def main():
    root, layers = sys.argv[1], sys.argv[2:]
    rank = {name: i for i, name in enumerate(layers)}
    problems = []
    for layer in layers:
        folder = os.path.join(root, layer)
        for name in sorted(os.listdir(folder)):
            path = os.path.join(folder, name)
            with open(path, encoding="utf-8") as f:
                for number, line in enumerate(f, 1):
                    m = INCLUDE.match(line)
                    if m and m.group(1) in rank and rank[m.group(1)] > rank[layer]:
                        problems.append(f"{layer}/{name}:{number}: includes {m.group(1)}/, a layer above")
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
