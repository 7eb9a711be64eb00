#!/usr/bin/env python3
"""Checks a survey of the test data against single runs of the program.

    survey_check.py PROGRAM DATA_DIR

* The survey of DATA_DIR in JSON Lines is UTF-8 and parses with json.loads
  (NaN and Infinity refused) into the
  documented fields, one object per record; in CSV (long and wide) it parses
  with the csv module into the documented columns.
* The survey gives the same bytes with 1 and with 2 threads.
* Every record names its centre uniquely (label@k where sites share a
  label), and has the values of a single run for that centre: its coordination number, its ligands, the
  atoms the chemical sphere left out, the text of the sum and of every geometry index, its distances and
  angles, exactly as the report prints them.
* With --sphere=radii the records keep the layout of schema 2, without left_out.
* A survey into a file killed at any moment (SIGINT, SIGTERM, SIGKILL), then
  continued with --resume, ends with the records of an uninterrupted one.
"""
import csv
import io
import json
import os
import re
import signal
import subprocess
import sys
import tempfile
import time

FIELDS = {"schema", "file", "block", "centre", "element", "status", "message"}
SITE_FIELDS = {"site", "fract"}   # a record of a centre, ok or not
OK_FIELDS = FIELDS | SITE_FIELDS | {"cn", "ligands", "left_out", "classification", "fixed", "tied",
                                    "quantities", "distances", "angles"}
COLUMNS = ["file", "block", "centre", "element", "cn", "ligands", "left_out", "classification", "fixed",
           "tied", "status", "message"]


def survey(program, data, *options):
    result = subprocess.run([program, "--survey", data, *options], capture_output=True)
    if result.returncode not in (0, 3):
        raise SystemExit(f"survey {' '.join(options)} ended with {result.returncode}: "
                         f"{result.stdout.decode(errors='replace')}")
    return result.stdout


def single_run(program, record):
    args = [program, record["file"], record["centre"]]
    if record["block"]:
        args.append("--block=" + record["block"])
    return subprocess.run(args, capture_output=True, text=True).stdout


def shown_name(label, code, named):
    """A ligand as the angle table names it: the atom of the file itself (whatever
    its operator's number) without a code."""
    if code == "centroid":
        return label
    coded = f"{label}#{code}"
    return label if label in named and coded not in named else coded


def report_tables(text):
    """The distances {ligand: text} and angles {(ligand, ligand): text} of a report."""
    angles = {}
    for a, b, v in re.findall(r"^  (.+?)\s+- .+?\s+- (.+?)\s+(\S+)\s+\((?:CIF|calculated)\)$", text, re.M):
        angles[(a, b)] = v
    named = set(n for pair in angles for n in pair)
    distances = {}
    for label, code, d in re.findall(r"^\s+\d+\s+(.+?)\s+(\S+)\s+(\S+)$", text.split("\nBond angles")[0], re.M):
        distances[shown_name(label, code, named)] = d
    return distances, angles


def left_out(text):
    """The atoms the report's note says the chemical sphere left out, as one line."""
    m = re.search(r"^Note         : left out: (.*(?:\n {15}\S.*)*)\.$", text, re.M)
    return re.sub(r"\n {15}", " ", m.group(1)) if m else ""


def report_values(text):
    """CN, ligand names, the sum's text and {index: text} of a report."""
    cn = int(re.search(r"^Coordination number: (\d+)", text, re.M).group(1))
    ligands = []
    table = text[text.find("\nLigands ("):].split("\n\n")[0] if "\nLigands (" in text else ""
    for line in table.split("\n"):
        m = re.match(r"^\s+\d+\s+(.+?)\s+(\S+)\s+\S+$", line)  # labels may hold a blank
        if m:
            ligands.append(m.groups())
    named = set(n for pair in report_tables(text)[1] for n in pair)
    ligands = [shown_name(label, code, named) for label, code in ligands]
    total = re.search(r"Sum\(L-M-L\) = (\S+) deg", text).group(1)
    value = r"^  (\S+)\s+= (not defined \([^)]*\)|\S+)"
    text, _, valences = text.partition("Bond valence (")
    body, _, shapes = text.partition("Shape measures (CShM")
    indices = dict(re.findall(value, body.split("Geometry indices:")[1], re.M)) \
        if "Geometry indices:" in body else {}
    indices.pop("|h|/su", None)
    for name, v in re.findall(value, shapes.split("\n\n")[0], re.M):
        indices[name if name.startswith(("path(", "phi(")) else f"S({name})"] = v
    indices.update(re.findall(value, valences.split("\n\n")[0], re.M))
    return cn, ligands, total, indices


def resumed_equals_whole(program, data, form, whole, kill, after):
    """Kills a survey into a file after `after` seconds, resumes it; whether
    the sorted lines then equal those of the whole survey."""
    with tempfile.TemporaryDirectory() as scratch:
        out = os.path.join(scratch, "table")
        command = [program, "--survey", data, "--format=" + form, "--out=" + out]
        started = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(after)
        started.send_signal(kill)
        started.wait()
        subprocess.run(command + ["--resume"], capture_output=True)
        with open(out, "rb") as f:
            return sorted(f.read().splitlines()) == sorted(whole.splitlines())


def main():
    program, data = sys.argv[1:3]
    failures = []
    one = survey(program, data, "--format=json", "--threads=1")
    two = survey(program, data, "--format=json", "--threads=2")
    if one != two:
        failures.append("JSON output differs between 1 and 2 threads")
    def no_constant(name):   # NaN and Infinity are no JSON
        raise ValueError(f"{name} in the JSON output")
    records = [json.loads(line, parse_constant=no_constant) for line in one.decode("utf-8").splitlines()]
    for r in records:
        want = OK_FIELDS if r["status"] == "ok" else FIELDS | SITE_FIELDS if r["centre"] else FIELDS
        if set(r) != want:
            failures.append(f"{r['file']} {r['centre']}: fields {sorted(set(r) ^ want)}")
    for form in ("csv", "csv-wide"):
        text = survey(program, data, "--format=" + form, "--threads=2").decode()
        if text != survey(program, data, "--format=" + form, "--threads=1").decode():
            failures.append(f"{form} output differs between 1 and 2 threads")
        rows = list(csv.DictReader(io.StringIO(text, newline="")))
        if rows and list(rows[0])[:len(COLUMNS)] != COLUMNS:
            failures.append(f"{form}: columns {list(rows[0])[:len(COLUMNS)]}")
        if form == "csv-wide" and len(rows) != len(records):
            failures.append(f"csv-wide: {len(rows)} rows for {len(records)} records")

    for form, kill, after in (("json", signal.SIGKILL, 0.3), ("csv", signal.SIGINT, 0.6),
                              ("csv-wide", signal.SIGTERM, 0.9), ("csv", signal.SIGKILL, 0.05)):
        whole = one if form == "json" else survey(program, data, "--format=" + form)
        if not resumed_equals_whole(program, data, form, whole, kill, after):
            failures.append(f"{form}: killed by {kill.name} after {after} s and resumed, the records differ")

    radii = survey(program, data, "--format=json", "--sphere=radii")
    for r in (json.loads(line) for line in radii.decode("utf-8").splitlines()):
        if r["schema"] != 2 or "left_out" in r:
            failures.append(f"--sphere=radii: {r['file']} {r['centre']}: schema {r['schema']}, left_out {'left_out' in r}")

    keys = [(r["file"], r["block"], r["centre"].lower()) for r in records if r["centre"]]
    if len(keys) != len(set(keys)):
        failures.append("records of one file and block with the same centre name")
    compared = 0
    for r in records:
        if r["status"] != "ok":
            continue
        text = single_run(program, r)
        cn, ligands, total, indices = report_values(text)
        distances, angles = report_tables(text)
        if {d["ligands"][0]: d["text"] for d in r["distances"]} != distances or \
                {tuple(a["ligands"]): a["text"] for a in r["angles"]} != angles:
            failures.append(f"{r['file']} {r['block']} {r['centre']}: distances or angles differ from the single run")
        mine = {name: q["text"] for name, q in r["quantities"].items() if name != "sum"}
        where = f"{r['file']} {r['block']} {r['centre']}"
        if left_out(text) != r["left_out"]:
            failures.append(f"{where}: left out '{left_out(text)}' in the single run, '{r['left_out']}' in the survey")
        if cn != r["cn"] or ligands != r["ligands"]:
            failures.append(f"{where}: CN/ligands {cn} {ligands} in the single run, "
                            f"{r['cn']} {r['ligands']} in the survey")
        if total != r["quantities"]["sum"]["text"]:
            failures.append(f"{where}: sum {total} in the single run, {r['quantities']['sum']['text']}")
        if indices != mine:
            failures.append(f"{where}: indices {indices} in the single run, {mine} in the survey")
        compared += 1
    for f in failures:
        print(f)
    print(f"{len(records)} records, {compared} compared with single runs, {len(failures)} failure(s)")
    return 1 if failures or compared == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
