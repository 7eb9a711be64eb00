#!/usr/bin/env python3
"""Writes an end-to-end case whose expected output comes from the independent
reference calculation (koravel_reference.py), not from the program itself.

    make_e2e_case.py NAME "comment" -- ARGS...

ARGS are the program's arguments as the case runs them, with the structure
file under data/ (the test data directory). The case file is written to
tests/e2e/cases/NAME.case; review it before committing.
"""
import os
import shlex
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
TESTS = os.path.dirname(HERE)


def main():
    if len(sys.argv) < 4 or sys.argv[3] != "--":
        raise SystemExit(__doc__)
    name, comment, args = sys.argv[1], sys.argv[2], sys.argv[4:]
    result = subprocess.run([sys.executable, os.path.join(HERE, "koravel_reference.py")] + args,
                            cwd=TESTS, capture_output=True)
    if result.returncode not in (0, 1, 2):
        raise SystemExit(f"the reference cannot work out this case:\n{result.stderr.decode()}")
    lines = [f"# {line}" for line in comment.replace("\\n", "\n").split("\n")]
    lines.append("args: " + " ".join(shlex.quote(a) for a in args))
    lines.append(f"status: {result.returncode}")
    lines.append("--- stdout")
    text = "\n".join(lines) + "\n" + result.stdout.decode("utf-8")
    path = os.path.join(TESTS, "e2e", "cases", name + ".case")
    with open(path, "w", encoding="utf-8", newline="") as f:
        f.write(text)
    print(path)


if __name__ == "__main__":
    main()
