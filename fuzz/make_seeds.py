#!/usr/bin/env python3
"""Assembles the seed corpus of every fuzz target into OUTDIR/<target>/.

The seeds are the test data (tests/data), the arguments of the end-to-end
cases, the hand-made files in fuzz/seeds/ and, for the symbol readers, every
Hall and Hermann-Mauguin symbol of the space-group table. Files larger than MAX_SEED
bytes are left out: they slow every execution and add no grammar.
"""
import hashlib
import pathlib
import re
import shlex
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
DATA = ROOT / "tests" / "data"
CASES = ROOT / "tests" / "e2e" / "cases"
SEEDS = ROOT / "fuzz" / "seeds"
TABLE = ROOT / "crystal" / "space_group_table.cpp"
MAX_SEED = 70_000
KIND = {".cif": b"c", ".txt": b"c", ".res": b"r", ".ins": b"i", ".xyz": b"x"}


def data_files(*extensions):
    for path in sorted(DATA.rglob("*")):
        if path.is_file() and path.suffix.lower() in extensions and path.stat().st_size <= MAX_SEED:
            yield path


def case_args():
    for case in sorted(CASES.glob("*.case")):
        for line in case.read_text(encoding="utf-8").splitlines():
            if line.startswith("args:"):
                try:
                    yield shlex.split(line[5:])
                except ValueError:
                    pass
                break


def quoted(args):
    # As a Windows command line would carry them: blanks inside need quotes.
    return " ".join('"' + a + '"' if (" " in a or not a) else a for a in args)


def main():
    out = pathlib.Path(sys.argv[1])
    seeds = {name: [] for name in
             ("fuzz_cif", "fuzz_shelx", "fuzz_mat", "fuzz_xyz",
              "fuzz_command_line", "fuzz_ligand_args", "fuzz_run", "fuzz_symbols")}
    seeds["fuzz_cif"] += [p.read_bytes() for p in data_files(".cif")]
    seeds["fuzz_shelx"] += [p.read_bytes() for p in data_files(".res", ".ins")]
    seeds["fuzz_xyz"] += [p.read_bytes() for p in data_files(".xyz")]
    # {number, "H-M", "extension", "Hall"} rows of the table.
    for hm, ext, hall in re.findall(r'\{\d+, "([^"]*)", "([^"]*)", "((?:[^"\\]|\\.)*)"\}',
                                    TABLE.read_text(encoding="utf-8")):
        seeds["fuzz_symbols"].append(hall.replace('\\"', '"').encode())
        seeds["fuzz_symbols"].append((hm + (":" + ext if ext else "")).encode())
    for target in seeds:
        hand = SEEDS / target.removeprefix("fuzz_")
        if hand.is_dir():
            seeds[target] += [p.read_bytes() for p in sorted(hand.iterdir()) if p.is_file()]
    for args in case_args():
        seeds["fuzz_command_line"].append(("koravel.exe " + quoted(args)).encode())
        if len(args) >= 2:
            seeds["fuzz_ligand_args"].append("\n".join(args[1:]).encode())
            seeds["fuzz_ligand_args"].append(" ".join(args[1:]).encode())
        if args and args[0].startswith("data/"):
            path = DATA / args[0][5:]
            if path.is_file() and path.stat().st_size <= MAX_SEED and path.suffix.lower() in KIND:
                seeds["fuzz_run"].append(KIND[path.suffix.lower()] + quoted(args[1:]).encode() +
                                         b"\n" + path.read_bytes())
    for path in data_files(".res", ".ins", ".xyz"):
        seeds["fuzz_run"].append(KIND[path.suffix.lower()] + b"X1\n" + path.read_bytes())
    # Surveys of small files in every format, the page among them.
    for name in ("cod_1100974-wr-factor.cif", "hand_paired.res", "Co110.xyz"):
        path = DATA / name
        for form in ("json", "html", "csv-wide"):
            seeds["fuzz_run"].append(KIND[path.suffix.lower()] + b"--survey --centres=all --format=" +
                                     form.encode() + b"\n" + path.read_bytes())
    for target, blobs in seeds.items():
        directory = out / target
        directory.mkdir(parents=True, exist_ok=True)
        for blob in blobs:
            (directory / hashlib.sha1(blob).hexdigest()).write_bytes(blob)


if __name__ == "__main__":
    main()
