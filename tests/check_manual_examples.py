#!/usr/bin/env python3
"""The manual's examples are real runs: each is marked by a comment

    <!-- example: ARGS -->    the indented block that follows is "koravel ARGS",
                              a blank line and the complete console output
    <!-- excerpt: ARGS -->    the block's lines stand, in a row, in the output

of the program run in tests/data with ARGS (split like a shell). Checks them,
or with --update rewrites the complete examples from new runs.

    check_manual_examples.py KORAVEL REPOSITORY [--update]
"""
import os
import re
import shlex
import subprocess
import sys

MARK = re.compile(r"^( *)<!-- (example|excerpt): (.*) -->$")


def run(koravel, data, args):
    result = subprocess.run([koravel, *shlex.split(args)], cwd=data, capture_output=True, text=True)
    return result.stdout.rstrip("\n").split("\n")


def block_at(lines, i, indent):
    """The block after line i, indented by 4 more than `indent` (a marker in a
    list item stands indented with the item): (first, end) line numbers, end
    exclusive."""
    first = i + 1
    while first < len(lines) and not lines[first].strip():
        first += 1
    end = first
    while end < len(lines) and (lines[end].startswith(indent) or
                                (not lines[end].strip() and end + 1 < len(lines) and lines[end + 1].startswith(indent))):
        end += 1
    return first, end


def main():
    koravel, repo = os.path.abspath(sys.argv[1]), sys.argv[2]
    update = "--update" in sys.argv[3:]
    path = os.path.join(repo, "MANUAL.md")
    data = os.path.join(repo, "tests", "data")
    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    failures, checked, i = [], 0, 0
    while i < len(lines):
        m = MARK.match(lines[i])
        if not m:
            i += 1
            continue
        margin, kind, args = m.groups()
        indent = margin + "    "
        first, end = block_at(lines, i, indent)
        shown = [l[len(indent):] if l.strip() else "" for l in lines[first:end]]
        output = run(koravel, data, args)
        checked += 1
        if kind == "example":
            want = ["koravel " + args, ""] + output
            if shown != want:
                if update:
                    lines[first:end] = [(indent + l) if l else "" for l in want]
                else:
                    k = next((k for k, (a, b) in enumerate(zip(shown, want)) if a != b), min(len(shown), len(want)))
                    failures.append(f"line {first + k + 1}: the manual shows {shown[k:k + 1]}, "
                                    f"the program prints {want[k:k + 1]} (koravel {args})")
        elif not any(output[k:k + len(shown)] == shown for k in range(len(output))):
            failures.append(f"line {first + 1}: the excerpt is not in the output of koravel {args}")
        i = first + 1
    if update:
        with open(path, "w", encoding="utf-8") as f:
            f.write("\n".join(lines))
    for failure in failures:
        print("MANUAL.md", failure)
    print(f"{checked} example(s) checked, {len(failures)} differ")
    return 1 if failures or checked == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
