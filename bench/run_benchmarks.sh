#!/usr/bin/env bash
# Times Koravel side by side with `wc -l` and `gemmi validate -f` on the same
# files (hyperfine, one run per comparison), measures its peak memory and runs
# the su-propagation micro-benchmark, then prints the ratios against the goals.
# With the bench programs built it also times what reading the 50 MB file
# costs at least (bench/read_floor.cpp) beside Koravel and `wc -l`.
#
#   bench/run_benchmarks.sh [BUILD_DIR] [DATA_DIR]
#
# BUILD_DIR  a Release build of koravel (default: build); when it was
#            configured with -DKORAVEL_BENCH=ON the micro-benchmark and the
#            reading floor run too.
# DATA_DIR   where the generated inputs are kept (default: BUILD_DIR/bench-data);
#            they are made by bench/make_bench_files.py when missing.
#
# Prerequisites (Debian packages; this script installs nothing):
#   hyperfine, gemmi, time (for /usr/bin/time), python3, coreutils (wc)
# Environment: REAL_CIF and REAL_ATOMS choose the real CIF and the central
# atom with its ligands for the explicit-ligand comparison; RUNS sets
# hyperfine's minimum number of runs (default 10).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
build=$(cd "${1:-$repo/build}" && pwd)
data=${2:-$build/bench-data}
koravel=$build/koravel
real_cif=${REAL_CIF:-$repo/../shared/realdata/big/fc_DK_Zucker2_0m.cif}
real_atoms=${REAL_ATOMS:-C1 O1 O2 C2}
small_cif=$repo/tests/data/cod_4063260-wrong-formula-sum.cif
runs=${RUNS:-10}

for tool in hyperfine gemmi wc python3 /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing prerequisite: $tool" >&2; exit 1; }
done
[ -x "$koravel" ] || { echo "no koravel in $build (build it first)" >&2; exit 1; }
[ -f "$real_cif" ] || { echo "real CIF not found: $real_cif (set REAL_CIF)" >&2; exit 1; }

mkdir -p "$data"
if [ ! -f "$data/big_hkl.cif" ] || [ ! -f "$data/dense_cubic.cif" ]; then
  echo "Generating the benchmark inputs in $data ..."
  python3 "$here/make_bench_files.py" "$data"
fi
big=$data/big_hkl.cif
dense=$data/dense_cubic.cif
json=$(mktemp -d)
trap 'rm -rf "$json"' EXIT

# compare NAME LABEL COMMAND [LABEL COMMAND ...]: one side-by-side hyperfine
# comparison, results in NAME.json under the given labels.
compare() {
  local name=$1
  shift
  local args=()
  while [ $# -gt 0 ]; do
    args+=(--command-name "$1" "$2")
    shift 2
  done
  hyperfine --shell=none --warmup 3 --min-runs "$runs" --style basic \
    --export-json "$json/$name.json" "${args[@]}" >"$json/$name.log" 2>&1 ||
    { cat "$json/$name.log" >&2; exit 1; }
}

real_name=$(basename "$real_cif")
echo "Timing (hyperfine, $runs runs at least) ..."
compare big "koravel big_hkl.cif Cu1" "$koravel $big Cu1" \
  "wc -l big_hkl.cif" "wc -l $big" \
  "gemmi validate -f big_hkl.cif" "gemmi validate -f $big"
compare dense "koravel dense_cubic.cif Fe1" "$koravel $dense Fe1" \
  "wc -l dense_cubic.cif" "wc -l $dense" \
  "gemmi validate -f dense_cubic.cif" "gemmi validate -f $dense"
compare dense_max "koravel dense_cubic.cif Fe1 O1 O2 O3 --max=40" "$koravel $dense Fe1 O1 O2 O3 --max=40" \
  "koravel dense_cubic.cif Fe1 O1 O2 O3" "$koravel $dense Fe1 O1 O2 O3"
compare real "koravel $real_name $real_atoms --max=40" "$koravel $real_cif $real_atoms --max=40" \
  "koravel $real_name $real_atoms" "$koravel $real_cif $real_atoms" \
  "koravel $real_name ${real_atoms%% *}" "$koravel $real_cif ${real_atoms%% *}" \
  "wc -l $real_name" "wc -l $real_cif" \
  "gemmi validate -f $real_name" "gemmi validate -f $real_cif"
compare small "koravel $(basename "$small_cif") B1" "$koravel $small_cif B1"
floor=$build/bench/koravel_read_floor
if [ -x "$floor" ]; then
  compare floor "koravel big_hkl.cif Cu1" "$koravel $big Cu1" \
    "wc -l big_hkl.cif" "wc -l $big" \
    "read_floor read big_hkl.cif" "$floor read $big" \
    "read_floor lines big_hkl.cif" "$floor lines $big" \
    "read_floor append big_hkl.cif" "$floor append $big" \
    "read_floor crlf big_hkl.cif" "$floor crlf $big"
fi

# Peak resident memory of each Koravel run (kB), from GNU time.
peak() { /usr/bin/time -f "%M" "$@" 2>&1 >/dev/null | tail -n 1; }
peak_big=$(peak "$koravel" "$big" Cu1)
peak_real=$(peak "$koravel" "$real_cif" $real_atoms --max=40)

bench_out=""
if [ -x "$build/bench/koravel_su_bench" ]; then
  echo "Running the su-propagation micro-benchmark ..."
  bench_out=$("$build/bench/koravel_su_bench" --benchmark_format=json 2>/dev/null)
fi

python3 - "$json" "$big" "$real_cif" "$peak_big" "$peak_real" "$bench_out" <<'EOF'
import json, os, sys

folder, big, real, peak_big, peak_real, bench = sys.argv[1:7]

def load(name):
    with open(os.path.join(folder, name + ".json")) as f:
        return json.load(f)["results"]

def row(label, value, unit, goal, ok):
    mark = "" if ok is None else ("ok" if ok else "MISSED")
    print(f"  {label:<52} {value:>9} {unit:<4} {goal:<18} {mark}")

def ms(r):
    return r["mean"] * 1000

print()
names = ["big", "dense", "dense_max", "real", "small"]
has_floor = os.path.exists(os.path.join(folder, "floor.json"))
if has_floor:
    names.append("floor")
for name in names:
    for r in load(name):
        print(f"  {r['command'][:62]:<62} mean {ms(r):9.2f} ms  "
              f"median {r['median'] * 1000:9.2f} ms  ± {r['stddev'] * 1000:.2f}")
print()
print("Goals (ratios of means measured side by side in one hyperfine run):")
k, wc, gemmi = load("big")
row("50 MB CIF: Koravel / wc -l", f"{k['mean'] / wc['mean']:.2f}", "x", "<= 4", k["mean"] <= 4 * wc["mean"])
row("50 MB CIF: Koravel / gemmi validate -f", f"{k['mean'] / gemmi['mean']:.3f}", "x", "<= 0.1",
    k["mean"] <= 0.1 * gemmi["mean"])
k, wc, gemmi = load("dense")
row("dense Fm-3m CIF: Koravel / wc -l", f"{k['mean'] / wc['mean']:.2f}", "x", "(no goal)", None)
row("dense Fm-3m CIF: Koravel / gemmi validate -f", f"{k['mean'] / gemmi['mean']:.3f}", "x",
    "(no goal)", None)
with_max, without = load("dense_max")
row("dense Fm-3m CIF: explicit --max=40 / without", f"{with_max['mean'] / without['mean']:.2f}",
    "x", "(no goal)", None)
with_max, without, auto, wc, gemmi = load("real")
row(f"{os.path.basename(real)}: explicit --max=40 / without",
    f"{with_max['mean'] / without['mean']:.2f}", "x", "<= 2", with_max["mean"] <= 2 * without["mean"])
row(f"{os.path.basename(real)}: automatic / wc -l", f"{auto['mean'] / wc['mean']:.2f}", "x",
    "(no goal)", None)
row(f"{os.path.basename(real)}: automatic / gemmi -f", f"{auto['mean'] / gemmi['mean']:.3f}", "x",
    "(no goal)", None)
small = load("small")[0]
row("small CIF: median of one run", f"{small['median'] * 1000:.2f}", "ms", "< 3 ms",
    small["median"] < 0.003)
for label, path, kb in (("50 MB CIF", big, peak_big), ("real CIF, --max=40", real, peak_real)):
    limit = 2 * os.path.getsize(path) / 1024 + 16 * 1024
    row(f"peak memory, {label} (limit {limit / 1024:.0f} MiB)", f"{int(kb) / 1024:.1f}", "MiB",
        "<= 2 x input + 16", int(kb) <= limit)
if has_floor:
    k, wc, *floors = load("floor")
    for r in [k] + floors:
        row(f"floor: {r['command'][:42]} / wc -l", f"{r['mean'] / wc['mean']:.2f}", "x",
            "(no goal)", None)
if bench:
    for b in json.loads(bench)["benchmarks"]:
        unit = b["time_unit"]
        scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1000.0}[unit]
        cpu = b["cpu_time"] * scale
        if "Twelve" in b["name"]:
            row("12 six-atom centroids: su of the angle sum (CPU)", f"{cpu:.1f}", "ms", "< 50 ms",
                cpu < 50)
        else:
            row(f"{b['name'][3:]} (CPU)", f"{cpu:.3f}", "ms", "(no goal)", None)
else:
    print("  (micro-benchmark not built: configure with -DKORAVEL_BENCH=ON)")
EOF
