#!/usr/bin/env bash
# Times Koravel side by side with reference commands on the same files
# (hyperfine, one invocation per comparison, runs interleaved), measures its
# peak memory, runs the micro-benchmarks when they are built, prints each
# ratio next to its goal and writes the table, with the commit and the date,
# into bench/README.md between its "measured" markers: no figure there is
# typed by hand.
#
#   bench/run_benchmarks.sh [BUILD_DIR] [DATA_DIR]
#
# BUILD_DIR  a Release build of koravel (default: build); when it was
#            configured with -DKORAVEL_BENCH=ON the micro-benchmarks run too.
# DATA_DIR   where the generated inputs are kept (default: BUILD_DIR/bench-data);
#            they are made when missing: bench/make_bench_files.py writes the
#            large CIFs, and the survey folder holds copies of the CIFs of
#            tests/data, about 1000 files.
#
# Prerequisites (Debian packages; this script installs nothing):
#   hyperfine, gemmi, python3-gemmi, time (for /usr/bin/time), python3, coreutils
# Environment: REAL_CIF and REAL_ATOMS choose the real CIF and the central
# atom with its ligands for the explicit-ligand comparison; RUNS sets
# hyperfine's minimum number of runs (default 10); CORPUS is a folder of real
# CIFs surveyed in ten copies, as the standing speed check does (default
# ../shared/realdata/corpus beside the repository, skipped when absent);
# DATABASE_FILES (default 100000, 0 to skip) the size of the simulated
# database survey; SHAPE_CHECK (default 10000, 0 to skip) the polyhedra per
# size that the shape search check compares with the plain minimum.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
build=$(cd "${1:-$repo/build}" && pwd)
data=${2:-$build/bench-data}
koravel=$build/koravel
real_cif=${REAL_CIF:-$data/fc_DK_Zucker2_0m.cif}
real_atoms=${REAL_ATOMS:-C1 O1 O2 C2}
small_cif=$repo/tests/data/cod_4063260-wrong-formula-sum.cif  # B1: three ligands
# A small cubic cell crowded with the atoms of another structure: every one of
# its 28 sites has a thousand or more neighbours within the bond limit.
crowded=$repo/tests/data/fuzz_slow_cubic.res
runs=${RUNS:-10}
corpus=${CORPUS:-$repo/../shared/realdata/corpus}
database_files=${DATABASE_FILES:-100000}
shape_check=${SHAPE_CHECK:-10000}
# One run of each size of sphere, automatic ligands, su from the CIF: CN 4
# (a ZnCl4 tetrahedron), CN 8 (pyrope's Mg) and CN 12 (the Sr of tausonite,
# a cuboctahedron): every shape of the size, with su where the file gives it.
cn4="$repo/tests/data/cod_1100974-wr-factor.cif Zn"
cn8="$repo/tests/data/hand_pyrope.cif Mg1"
cn12="$repo/tests/data/avo_tausonite.cif SrA"

for tool in hyperfine gemmi wc python3 /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing prerequisite: $tool" >&2; exit 1; }
done
# The Python that has gemmi (a python3 earlier on PATH, e.g. pyenv's, may not).
python=python3
$python -c "import gemmi" 2>/dev/null || python=/usr/bin/python3
$python -c "import gemmi" 2>/dev/null || { echo "missing prerequisite: python3-gemmi" >&2; exit 1; }
[ -x "$koravel" ] || { echo "no koravel in $build (build it first)" >&2; exit 1; }
mkdir -p "$data"
# The default real CIF ships compressed (bench/data/SOURCES.md).
[ -n "${REAL_CIF:-}" ] || [ -f "$real_cif" ] || gzip -dc "$here/data/fc_DK_Zucker2_0m.cif.gz" >"$real_cif"
[ -f "$real_cif" ] || { echo "real CIF not found: $real_cif (set REAL_CIF)" >&2; exit 1; }

if [ ! -f "$data/big_hkl.cif" ] || [ ! -f "$data/dense_cubic.cif" ]; then
  echo "Generating the benchmark inputs in $data ..."
  python3 "$here/make_bench_files.py" "$data"
fi
big=$data/big_hkl.cif
dense=$data/dense_cubic.cif
survey=$data/survey
if [ ! -d "$survey" ]; then
  mkdir -p "$survey"
  cifs=("$repo"/tests/data/*.cif)
  copies=$(((1000 + ${#cifs[@]} - 1) / ${#cifs[@]}))
  for ((k = 1; k <= copies; k++)); do
    for f in "${cifs[@]}"; do cp "$f" "$survey/$(printf 'c%02d' "$k")_$(basename "$f")"; done
  done
fi
# 5,000 files for the survey's peak memory.
survey5k=$data/survey5000
if [ ! -d "$survey5k" ]; then
  mkdir -p "$survey5k"
  cifs=("$repo"/tests/data/*.cif)
  for ((k = 0; k < 5000; k++)); do
    f=${cifs[$((k % ${#cifs[@]}))]}
    cp "$f" "$survey5k/$(printf '%04d' "$k")_$(basename "$f")"
  done
fi
# Ten copies of the real corpus, as ../shared/perf/speed_check.py makes them.
corpus_copies=$data/corpus10
if [ -d "$corpus" ] && [ ! -d "$corpus_copies" ]; then
  mkdir -p "$corpus_copies"
  for ((k = 0; k < 10; k++)); do
    for f in "$corpus"/*.cif; do cp "$f" "$corpus_copies/$k-$(basename "$f")"; done
  done
fi
survey_files=$(find "$survey" -type f | wc -l)
survey_list=$data/survey_files0
find "$survey" -type f -print0 | sort -z >"$survey_list"
largest=$(find "$survey" -type f -printf '%s\n' | sort -n | tail -n 1)

json=$(mktemp -d)
trap 'rm -rf "$json"' EXIT

# compare NAME LABEL COMMAND [LABEL COMMAND ...]: one side-by-side hyperfine
# comparison, results in NAME.json under the given labels. A survey with a
# file that fails exits with 3, which is no failure of the benchmark.
compare() {
  local name=$1
  shift
  local args=()
  while [ $# -gt 0 ]; do
    args+=(--command-name "$1" "$2")
    shift 2
  done
  hyperfine --shell=none --ignore-failure --warmup 3 --min-runs "$runs" --style basic \
    --export-json "$json/$name.json" "${args[@]}" >"$json/$name.log" 2>&1 ||
    { cat "$json/$name.log" >&2; exit 1; }
}

real_name=$(basename "$real_cif")
small_name=$(basename "$small_cif")
echo "Timing (hyperfine, $runs runs at least) ..."
compare big "koravel big_hkl.cif Cu1" "$koravel $big Cu1" \
  "wc -l big_hkl.cif" "wc -l $big" \
  "gemmi validate -f big_hkl.cif" "gemmi validate -f $big"
compare dense "koravel dense_cubic.cif Fe1" "$koravel $dense Fe1" \
  "wc -l dense_cubic.cif" "wc -l $dense" \
  "gemmi validate -f dense_cubic.cif" "gemmi validate -f $dense"
compare real "koravel $real_name $real_atoms --max=40" "$koravel $real_cif $real_atoms --max=40" \
  "koravel $real_name $real_atoms" "$koravel $real_cif $real_atoms" \
  "koravel $real_name ${real_atoms%% *}" "$koravel $real_cif ${real_atoms%% *}" \
  "wc -l $real_name" "wc -l $real_cif" \
  "gemmi validate -f $real_name" "gemmi validate -f $real_cif"
compare small "koravel $small_name B1" "$koravel $small_cif B1" \
  "wc -l $small_name" "wc -l $small_cif" \
  "cat $small_name" "cat $small_cif"
compare crowded "koravel --survey fuzz_slow_cubic.res --centres=all (28 sites, 1 thread)" \
  "$koravel --survey $crowded --centres=all --threads=1" \
  "koravel $small_name B1" "$koravel $small_cif B1"
compare mc "koravel $small_name B1 --mc=100000 (one core)" "taskset -c 0 $koravel $small_cif B1 --mc=100000" \
  "koravel $small_name B1 (one core)" "taskset -c 0 $koravel $small_cif B1"
compare spheres "koravel CN 4" "$koravel $cn4" "koravel CN 8" "$koravel $cn8" "koravel CN 12" "$koravel $cn12"
corpus_files=0
if [ -d "$corpus_copies" ]; then
  corpus_files=$(find "$corpus_copies" -type f | wc -l)
  find "$corpus_copies" -type f -print0 | sort -z >"$data/corpus_files0"
  compare corpus "koravel --survey ($corpus_files real CIFs, 2 threads)" \
    "$koravel --survey $corpus_copies --format=csv --threads=2" \
    "wc -l (the same files)" "wc -l --files0-from=$data/corpus_files0"
fi
compare survey "koravel --survey ($survey_files files, 1 thread)" "$koravel --survey $survey --threads=1" \
  "koravel --survey ($survey_files files, 2 threads)" "$koravel --survey $survey --threads=2" \
  "wc -l (the same files)" "wc -l --files0-from=$survey_list" \
  "gemmi's Python reader (the same files)" "$python $here/gemmi_read_all.py $survey"

# Peak resident memory of each Koravel run (kB), from GNU time.
peak() { /usr/bin/time -f "%M" "$@" 2>&1 >/dev/null | tail -n 1; }
peak_big=$(peak "$koravel" "$big" Cu1)
peak_real=$(peak "$koravel" "$real_cif" $real_atoms --max=40)
peak_survey=$(peak "$koravel" --survey "$survey" --threads=2 || true)
peak_crowded=$(peak "$koravel" --survey "$crowded" --centres=all || true)
peak_5k=$(peak "$koravel" --survey "$survey5k" --threads=2 || true)

# A database-sized survey: DATABASE_FILES hard links to the CIFs of
# tests/data (the same bytes under as many names: the program's work, not
# the disk's), surveyed on 2 threads.
database_rate=""
peak_database=""
if [ "$database_files" -gt 0 ]; then
  database=$data/database
  if [ "$(find "$database" -type f 2>/dev/null | wc -l)" -ne "$database_files" ]; then
    echo "Making $database_files files for the database survey ..."
    rm -rf "$database"
    mkdir -p "$database"
    cifs=("$repo"/tests/data/*.cif)
    for ((k = 0; k < database_files; k++)); do
      [ $((k % 1000)) -eq 0 ] && mkdir -p "$database/$((k / 1000))"
      f=${cifs[$((k % ${#cifs[@]}))]}
      ln "$f" "$database/$((k / 1000))/$k.cif" 2>/dev/null || cp "$f" "$database/$((k / 1000))/$k.cif"
    done
  fi
  echo "Surveying $database_files files ..."
  start=$(date +%s.%N)
  peak_database=$(peak "$koravel" --survey "$database" --format=json --threads=2 || true)
  end=$(date +%s.%N)
  database_rate=$(python3 -c "print($database_files / ($end - $start))")
fi

shape_check_out=""
if [ "$shape_check" -gt 0 ] && [ -x "$build/bench/koravel_shape_search_check" ]; then
  echo "Comparing the shape search with the plain minimum ($shape_check polyhedra per size) ..."
  shape_check_out=$("$build/bench/koravel_shape_search_check" "$shape_check" || true)
fi

bench_out=""
if [ -x "$build/bench/koravel_su_bench" ]; then
  echo "Running the micro-benchmarks ..."
  bench_out=$("$build/bench/koravel_su_bench" --benchmark_format=json 2>/dev/null)
fi
shape_out=""
if [ -x "$build/bench/koravel_shape_bench" ]; then
  shape_out=$("$build/bench/koravel_shape_bench" --benchmark_format=json 2>/dev/null)
fi

commit=$(git -C "$repo" rev-parse --short HEAD 2>/dev/null || echo unknown)
dirty=$(git -C "$repo" status --porcelain --untracked-files=no 2>/dev/null | head -n 1)
[ -n "$dirty" ] && commit="$commit with uncommitted changes"
python3 - "$json" "$big" "$real_cif" "$largest" "$peak_big" "$peak_real" "$peak_survey" "$bench_out" \
  "$shape_out" "$crowded" "$peak_crowded" "$peak_5k" "$database_files" "$database_rate" "$peak_database" \
  "$shape_check_out" "$commit" "$here/README.md" "$survey_files" "$corpus_files" <<'EOF'
import datetime, json, os, re, sys

(folder, big, real, largest, peak_big, peak_real, peak_survey, bench, shapes, crowded, peak_crowded, peak_5k,
 database_files, database_rate, peak_database, shape_check, commit, readme, survey_files,
 corpus_files) = sys.argv[1:21]
table = []  # rows of the README: case, Koravel, compared with, ratio, goal, met


def cell_time(seconds):
    return f"{seconds * 1000:.3g} ms" if seconds < 1 else f"{seconds:.3g} s"


def add(case, a, b=None, ref="", goal=None, digits=2, ratio_of=None):
    """A README row; a and b hyperfine results (b the reference) or plain text."""
    ko = cell_time(a["mean"]) if isinstance(a, dict) else a
    if isinstance(b, dict):
        r = a["mean"] / b["mean"]
        shown = f"{r:.{digits}f} ×"
        met = None if goal is None else r <= goal
        ref = f"{ref}: {cell_time(b['mean'])}"
    else:
        shown, met = (ratio_of if ratio_of else ""), None
    table.append((case, ko, ref, shown, "" if goal is None else f"≤ {goal} ×", met))

def load(name):
    with open(os.path.join(folder, name + ".json")) as f:
        return json.load(f)["results"]

def row(label, value, unit, goal, ok):
    mark = "" if ok is None else ("ok" if ok else "MISSED")
    print(f"  {label:<56} {value:>9} {unit:<4} {goal:<18} {mark}")

def ratio(label, a, b, goal=None, digits=2):
    r = a["mean"] / b["mean"]
    row(label, f"{r:.{digits}f}", "x", f"<= {goal}" if goal else "(no goal)",
        None if goal is None else r <= goal)

print()
for name in ["big", "dense", "real", "small", "crowded", "mc", "survey"]:
    for r in load(name):
        print(f"  {r['command'][:66]:<66} mean {r['mean'] * 1000:9.2f} ms  "
              f"median {r['median'] * 1000:9.2f} ms  ± {r['stddev'] * 1000:.2f}")
print()
print("Goals (ratios of means measured side by side in one hyperfine run):")
k, wc, gemmi = load("big")
ratio("50 MB CIF: Koravel / wc -l", k, wc, 1.2)
ratio("50 MB CIF: Koravel / gemmi validate -f", k, gemmi, 0.1, 3)
add("50 MB CIF with an embedded reflection file, automatic ligands", k, wc, "`wc -l`", 1.2)
add("the same file", k, gemmi, "`gemmi validate -f`", 0.1, 3)
k, wc, gemmi = load("dense")
ratio("dense Fm-3m CIF: Koravel / wc -l", k, wc)
ratio("dense Fm-3m CIF: Koravel / gemmi validate -f", k, gemmi, None, 3)
with_max, without, auto, wc, gemmi = load("real")
ratio(f"{os.path.basename(real)}: explicit --max=40 / without", with_max, without, 2)
add(f"largest real CIF, explicit ligands, `--max=40`", with_max, without, "the same run without `--max=`", 2)
ratio(f"{os.path.basename(real)}: automatic / gemmi validate -f", auto, gemmi, None, 3)
k, wc, cat = load("small")
row("small CIF: median of one run", f"{k['median'] * 1000:.2f}", "ms", "(see README)", None)
ratio("small CIF: Koravel / wc -l", k, wc)
ratio("small CIF: Koravel / cat", k, cat, 2.5)
add("small CIF (`cod_4063260`, B1), one run", k, cat, "`cat` of the file", 2.5)
cn4, cn8, cn12 = load("spheres")
ratio("CN 8 run / CN 4 run", cn8, cn4, 1.5)
ratio("CN 12 run / CN 4 run", cn12, cn4, 5)
add("CN 8 (pyrope, Mg1), every shape of 8 with su", cn8, cn4, "CN 4 (`cod_1100974`, Zn)", 1.5)
add("CN 12 (tausonite, SrA), every shape of 12", cn12, cn4, "CN 4 (`cod_1100974`, Zn)", 5)
every, one = load("crowded")
ratio("crowded cubic cell, all 28 sites / one small run", every, one, 100, 1)
add("crowded cubic cell, survey of all 28 sites, 1 thread", every, one, "one small run", 100, 1)
mc, plain = load("mc")
row("--mc=100000, three ligands, one core", f"{mc['mean']:.2f}", "s", "<= 2 s", mc["mean"] <= 2)
table.append(("`--mc=100000`, three ligands, one core", cell_time(mc["mean"]), "", "", "≤ 2 s", mc["mean"] <= 2))
if int(corpus_files):
    k, wc = load("corpus")
    ratio("survey of the real corpus, 2 threads / wc -l", k, wc, 10, 1)
    add(f"survey of {int(corpus_files):,} real CIFs (ten copies of the shared corpus), 2 threads", k, wc,
        "`wc -l`", 10, 1)
one, two, wc, gemmi = load("survey")
ratio("survey, 2 threads / wc -l", two, wc, 10, 1)
ratio("survey, 2 threads / gemmi's Python reader", two, gemmi, 0.2, 3)
ratio("survey, 1 thread / 2 threads", one, two)
add(f"survey of {int(survey_files):,} CIFs (copies of those in `tests/data`), 2 threads", two, wc, "`wc -l`", 10, 1)
add("the same survey", two, gemmi, "gemmi's Python reader", 0.2, 3)
add("the same survey, 1 thread", one, two, "2 threads")
limits = (("50 MB CIF", os.path.getsize(big), peak_big),
          ("real CIF, --max=40", os.path.getsize(real), peak_real),
          ("survey, 2 threads (largest file)", int(largest), peak_survey),
          ("crowded cubic cell, all sites", os.path.getsize(crowded), peak_crowded))
for label, size, kb in limits:
    limit = size / 1024 + 16 * 1024
    row(f"peak memory, {label} (limit {limit / 1024:.0f} MiB)", f"{int(kb) / 1024:.1f}", "MiB",
        "<= file + 16 MiB", int(kb) <= limit)
    table.append((f"peak memory, {label}", f"{int(kb) / 1024:.1f} MiB", f"file + 16 MiB = {limit / 1024:.0f} MiB",
                  "", "≤", int(kb) <= limit))
if peak_5k:
    row("peak memory, survey of 5,000 files, 2 threads", f"{int(peak_5k) / 1024:.1f}", "MiB", "<= 64 MiB",
        int(peak_5k) <= 64 * 1024)
    table.append(("peak memory, survey of 5,000 files, 2 threads", f"{int(peak_5k) / 1024:.1f} MiB", "", "",
                  "≤ 64 MiB", int(peak_5k) <= 64 * 1024))
if database_rate:
    rate = float(database_rate)
    cod = 530000 / rate
    row(f"database survey, {int(database_files):,} files, 2 threads", f"{rate:.0f}", "/s", ">= 300 files/s",
        rate >= 300)
    table.append((f"survey of {int(database_files):,} files (links to the CIFs of `tests/data`), 2 threads",
                  f"{rate:.0f} files/s", "", "", "≥ 300 files/s", rate >= 300))
    table.append(("the same: peak memory", f"{int(peak_database) / 1024:.1f} MiB", "", "", "≤ 64 MiB",
                  int(peak_database) <= 64 * 1024))
    table.append(("the same rate, extrapolated to the 530,000 CIFs of the COD", f"{cod / 60:.0f} min", "", "",
                  "≤ 30 min", cod <= 1800))
if bench:
    goals = {"BM_AngleSumTwelveSixAtomCentroids": ("12 six-atom centroids: su of the angle sum", 39),
             "BM_AnalysisOfAnOctahedron": ("analysis of an octahedron (angles, sum, descriptors) with su", 1)}
    cpu_of = {}
    for b in json.loads(bench)["benchmarks"]:
        scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1000.0}[b["time_unit"]]
        cpu = b["cpu_time"] * scale
        cpu_of[b["name"]] = cpu
        label, goal = goals.get(b["name"], (b["name"][3:], None))
        row(f"{label} (CPU)", f"{cpu:.3f}", "ms", f"<= {goal} ms" if goal else "(no goal)",
            None if goal is None else cpu <= goal)
        table.append((f"{label} (CPU)", f"{cpu:.3g} ms", "", "", f"≤ {goal} ms" if goal else "",
                      None if goal is None else cpu <= goal))
    if "BM_AnalysisAcrossStraightAngles" in cpu_of and "BM_AnalysisOfAnOctahedron" in cpu_of:
        mc = cpu_of["BM_AnalysisAcrossStraightAngles"] - cpu_of["BM_AnalysisOfAnOctahedron"]
        row("the Monte Carlo across straight angles, one centre (CPU)", f"{mc:.3f}", "ms", "<= 2 ms", mc <= 2)
        table.append(("the Monte Carlo across straight angles, one six-coordinate centre (CPU)", f"{mc:.3g} ms",
                      "", "", "≤ 2 ms", mc <= 2))
else:
    print("  (micro-benchmarks not built: configure with -DKORAVEL_BENCH=ON)")
if shapes:
    # Every shape of n vertices for one centre: n <= 6 under 1 ms, 8 under 20 ms, 12 under 500 ms.
    for b in json.loads(shapes)["benchmarks"]:
        n = int(b["name"].split("n:")[1].split("/")[0])
        near = b["name"].endswith("near:1")
        cpu = b["cpu_time"] * {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1000.0}[b["time_unit"]]
        goal = 1 if n <= 6 else 20 if n <= 8 else 500 if n == 12 else None
        row(f"all shapes of {n} vertices, {'near a shape' if near else 'scattered points'} (CPU)",
            f"{cpu:.3f}", "ms", f"<= {goal} ms" if goal else "(no goal)", None if goal is None else cpu <= goal)
        table.append((f"every shape of {n} vertices, {'near a shape' if near else 'scattered points'}, the search "
                      "alone (CPU)", f"{cpu:.3g} ms", "", "", f"≤ {goal} ms" if goal else "",
                      None if goal is None else cpu <= goal))

# The table, between the markers of bench/README.md.
lines = ["Measured by `bench/run_benchmarks.sh` on " + datetime.date.today().isoformat() + ", commit " + commit +
         " (means of at least the runs hyperfine was asked for; every ratio compares runs timed side by side in "
         "one hyperfine invocation).", "",
         "| case | Koravel | compared with | ratio | goal | |", "| --- | --- | --- | --- | --- | --- |"]
for case, ko, ref, shown, goal, met in table:
    mark = "" if met is None else ("met" if met else "**missed**")
    lines.append(f"| {case} | {ko} | {ref} | {shown} | {goal} | {mark} |")
if shape_check:
    lines += ["", "The exact shape search against the plain minimum over all n! assignments "
              "(`koravel_shape_search_check`), random distorted polyhedra measured against a random reference "
              "shape of the same size:", "", "```", shape_check.rstrip(), "```"]
begin, end = "<!-- measured: begin -->", "<!-- measured: end -->"
with open(readme, encoding="utf-8") as f:
    text = f.read()
if begin in text and end in text:
    head, rest = text.split(begin, 1)
    text = head + begin + "\n" + "\n".join(lines) + "\n" + end + rest.split(end, 1)[1]
    with open(readme, "w", encoding="utf-8") as f:
        f.write(text)
    print(f"\nWrote the table into {readme}.")
EOF
