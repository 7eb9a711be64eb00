#!/usr/bin/env python3
"""Checks every #include of the program's folders against the table of the
edges allowed between them.

    check_layers.py SOURCE_DIR FOLDER...

FOLDER... are the program's folders as CMakeLists.txt lists them; they must be
the folders of the table. A file may include the standard library (<...>), the
headers of its own folder, and those the table allows its folder: a whole
folder, or single headers of one ("io/source.h": the report names a model's
source, but reads no file). Project headers are included as "folder/file.h";
an include without its folder, with "..", or in <> is reported too, since it
would slip past the table.
"""
import os
import re
import sys

# Folder -> what its files may include besides their own folder. io and su
# know nothing of each other; ligands, geometry and report take the structure
# model and know no file.
ALLOWED = {
    "base": [],
    "crystal": ["base"],
    "io": ["base", "crystal"],
    "su": ["base", "crystal"],
    "ligands": ["base", "crystal"],
    "geometry": ["base", "crystal", "su", "ligands"],
    "report": ["base", "crystal", "su", "ligands", "geometry", "io/source.h"],
    "app": ["base", "crystal", "io", "su", "ligands", "geometry", "report"],
}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def allows(folder, target):
    """Whether a file of `folder` may include the project header `target`."""
    head = target.split("/", 1)[0]
    return head == folder or head in ALLOWED[folder] or target in ALLOWED[folder]


def problems_of(root, folder, name):
    path = os.path.join(root, folder, name)
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            m = INCLUDE.match(line)
            if not m:
                continue
            quoted, target = m.group(1) == '"', m.group(2)
            where = f"{folder}/{name}:{number}"
            head = target.split("/", 1)[0]
            if not quoted:
                if head in ALLOWED:
                    yield f"{where}: includes the project header <{target}>; write \"{target}\""
                continue
            if "/" not in target or ".." in target.split("/") or head not in ALLOWED:
                yield f"{where}: includes \"{target}\", not \"folder/file.h\" of the program"
            elif not allows(folder, target):
                yield f"{where}: includes {target}, which {folder}/ may not use"


def main():
    root, folders = sys.argv[1], sys.argv[2:]
    problems = []
    if sorted(folders) != sorted(ALLOWED):
        problems.append(f"the build's folders {sorted(folders)} are not those of the table {sorted(ALLOWED)}")
    for folder in ALLOWED:
        for name in sorted(os.listdir(os.path.join(root, folder))):
            if name.endswith((".h", ".cpp")):
                problems.extend(problems_of(root, folder, name))
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
