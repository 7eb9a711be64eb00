#!/usr/bin/env python3
"""Renders Koravel's pages in a real browser (Debian's headless Chromium) and
checks what a reader would see.

Usage: check_pages.py KORAVEL DATA_DIR [--keep DIR]

For single runs of three to eight ligands, a structure without su and a
failed run, the page is rendered twice: its DOM (--dump-dom, after the
browser has built it) must hold the console report word for word outside
its drawings, and its screenshot must not be blank. A survey of DATA_DIR as a
page must show the wide CSV's values in its records table, sort that table
by a click on a column, stay under 2 MB for 1,000 centres and render. Fails
when Chromium is missing: the README's test command installs it.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import zlib

import numpy as np

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
import page_text  # noqa: E402

RUNS = [  # (name, arguments after the file)
    ("cn3_boron", ["cod_4063260-wrong-formula-sum.cif", "B1"]),
    ("cn4_zinc", ["cod_1100974-wr-factor.cif", "Zn", "--calc"]),
    ("cn5_tin", ["cod_2204368.cif", "Sn1"]),
    ("cn6_cobalt", ["cod_7051132.cif", "Co1"]),
    ("cn8_strontium", ["cod_1000002-test-hm.cif", "Sr", "--tol=0.3"]),
    ("xyz_no_su", ["octahedra_fe_bpp2_hs.xyz", "Fe1", "--tol=0.6"]),
    ("centroids", ["hand_ferrocene.cif", "Fe1", "[C1 C2 C3 C4 C5]", "[C6 C7 C8 C9 C10]"]),
    ("error", ["missing.cif", "Fe1"]),
]


def chromium():
    for name in ("chromium", "chromium-browser", "google-chrome"):
        path = shutil.which(name)
        if path:
            return path
    sys.exit("Chromium is not installed (apt-get install chromium): the pages cannot be checked")


def browse(browser, profile, *args):
    command = [browser, "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
               "--no-first-run", f"--user-data-dir={profile}", *args]
    result = subprocess.run(command, capture_output=True, timeout=120)
    if result.returncode != 0:
        raise SystemExit(f"{' '.join(command)} failed: {result.stderr.decode(errors='replace')[-500:]}")
    return result.stdout.decode("utf-8")


def png_pixels(path):
    """The RGB(A) pixels of an 8-bit, non-interlaced PNG (what Chromium writes)."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG")
    pos, idat = 8, b""
    while pos < len(data):
        length = int.from_bytes(data[pos:pos + 4], "big")
        kind, body = data[pos + 4:pos + 8], data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height = int.from_bytes(body[0:4], "big"), int.from_bytes(body[4:8], "big")
            depth, colour, interlace = body[8], body[9], body[12]
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    if depth != 8 or colour not in (2, 6) or interlace:
        raise ValueError(f"unexpected PNG format: depth {depth}, colour type {colour}")
    bpp = 3 if colour == 2 else 4
    raw = np.frombuffer(zlib.decompress(idat), dtype=np.uint8).reshape(height, 1 + width * bpp)
    out = np.zeros((height, width * bpp), dtype=np.uint8)
    previous = np.zeros(width * bpp, dtype=np.int32)
    for y in range(height):
        kind, row = raw[y, 0], raw[y, 1:].astype(np.int32)
        if kind == 0:
            line = row
        elif kind == 2:
            line = (row + previous) % 256
        elif kind == 1:  # each byte adds the one bpp before it: a running sum per channel
            line = (np.cumsum(row.reshape(width, bpp), axis=0) % 256).reshape(-1)
        else:
            line = np.zeros_like(row)
            for x in range(width * bpp):
                a = line[x - bpp] if x >= bpp else 0
                b = previous[x]
                if kind == 3:
                    line[x] = (row[x] + (a + b) // 2) % 256
                else:
                    c = previous[x - bpp] if x >= bpp else 0
                    p = a + b - c
                    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                    line[x] = (row[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) % 256
        out[y] = line
        previous = line.astype(np.int32)
    return out.reshape(height, width, bpp)[:, :, :3]


def blank_problem(path):
    """"" when the picture shows something: dark text and enough non-white."""
    pixels = png_pixels(path).astype(int)
    ink = (pixels.sum(axis=2) < 3 * 250).mean()
    dark = (pixels.sum(axis=2) < 3 * 80).mean()
    if ink < 0.001 or dark < 0.0005:
        return f"{os.path.basename(path)} looks blank ({ink:.2%} ink, {dark:.3%} dark)"
    return ""


def check_runs(koravel, data, browser, work, keep):
    failures = []
    for name, args in RUNS:
        page = os.path.join(work, name + ".html")
        run = subprocess.run([koravel, os.path.join(data, args[0]), *args[1:], f"--html={page}"],
                             capture_output=True, timeout=120)
        console = run.stdout.decode("utf-8").replace(os.path.join(data, ""), "")
        dom = browse(browser, os.path.join(work, "profile"), "--dump-dom", "file://" + page)
        problem = page_text.compare(dom.replace(os.path.join(data, ""), ""), console, False)
        if problem:
            failures.append(f"{name}: {problem}")
        picture = os.path.join(keep or work, name + ".png")
        browse(browser, os.path.join(work, "profile"), "--window-size=900,1200", f"--screenshot={picture}",
               "file://" + page)
        problem = blank_problem(picture)
        if problem:
            failures.append(f"{name}: {problem}")
        if name != "error" and "<svg" not in dom:
            failures.append(f"{name}: the page has no drawing")
    return failures


def table_rows(dom):
    """The records table's rows as lists of cell texts, in page order."""
    from html.parser import HTMLParser

    class Rows(HTMLParser):
        def __init__(self):
            super().__init__()
            self.rows, self.inside, self.cell = [], False, None

        def handle_starttag(self, tag, attrs):
            if tag == "tbody":
                self.inside = True
            elif self.inside and tag == "tr":
                self.rows.append([])
            elif self.inside and tag == "td":
                self.cell = ""

        def handle_endtag(self, tag):
            if tag == "tbody":
                self.inside = False
            elif tag == "td" and self.cell is not None:
                self.rows[-1].append(self.cell)
                self.cell = None

        def handle_data(self, d):
            if self.cell is not None:
                self.cell += d

    parser = Rows()
    parser.feed(dom)
    return parser.rows


def check_survey(koravel, data, browser, work, keep):
    import csv
    import io
    failures = []
    page = os.path.join(work, "survey.html")
    with open(page, "wb") as f:
        subprocess.run([koravel, "--survey", data, "--format=html"], stdout=f, timeout=600)
    wide = subprocess.run([koravel, "--survey", data, "--format=csv-wide"], capture_output=True,
                          timeout=600).stdout.decode("utf-8")
    records = list(csv.DictReader(io.StringIO(wide)))
    dom = browse(browser, os.path.join(work, "profile"), "--dump-dom", "file://" + page)
    rows = table_rows(dom)
    if len(rows) != len(records):
        failures.append(f"survey: {len(rows)} table rows for {len(records)} records")
    for row, record in zip(rows, records):
        # file, block, centre, element, CN, ligands, sum: as the CSV has them
        want = [record["file"], record["block"], record["centre"], record["element"], record["cn"],
                record["ligands"], record["sum_text"]]
        if row[:7] != want:
            failures.append(f"survey: row {row[:7]} against the CSV's {want}")
            break
    # A click on the sum column's heading sorts the rows by the sum.
    with open(page, encoding="utf-8") as f:
        html = f.read()
    clicked = os.path.join(work, "survey_sorted.html")
    with open(clicked, "w", encoding="utf-8") as f:
        f.write(html.replace("</body>", "<script>document.querySelectorAll('table.records th')[6].click();"
                                        "</script></body>"))
    sorted_rows = table_rows(browse(browser, os.path.join(work, "profile"), "--dump-dom", "file://" + clicked))
    sums = [float(r[6].split("(")[0]) for r in sorted_rows if r[6]]
    if sums != sorted(sums) or len(sums) != sum(1 for r in records if r["sum"]):
        failures.append("survey: a click on the sum column does not sort the rows by the sum")
    picture = os.path.join(keep or work, "survey.png")
    browse(browser, os.path.join(work, "profile"), "--window-size=1200,1400", f"--screenshot={picture}",
           "file://" + page)
    problem = blank_problem(picture)
    if problem:
        failures.append(f"survey: {problem}")
    for what in ("S(T-4) against S(SP-4)", "S(TPR-6) against S(OC-6)", "three-coordinate", "<lambda>:"):
        if what not in dom.replace("&lt;", "<").replace("&gt;", ">"):
            failures.append(f"survey: the page lacks {what!r}")
    # About 1,000 centres: the folder surveyed seven times over.
    big = subprocess.run([koravel, "--survey", *([data] * 7), "--format=html"], capture_output=True,
                         timeout=900).stdout
    centres = big.count(b"<tr><td>")
    if centres < 1000 or len(big) >= 2_000_000:
        failures.append(f"survey: {centres} records give a page of {len(big)} bytes (at most 2 MB for 1,000)")
    return failures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("koravel")
    parser.add_argument("data")
    parser.add_argument("--keep", help="leave the screenshots in this folder")
    options = parser.parse_args()
    browser = chromium()
    work = tempfile.mkdtemp(prefix="koravel_pages_")
    try:
        failures = check_runs(options.koravel, options.data, browser, work, options.keep)
        failures += check_survey(options.koravel, options.data, browser, work, options.keep)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    for failure in failures:
        print("FAIL", failure)
    if not failures:
        print(f"{len(RUNS)} run pages and a survey page render and match the console")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
