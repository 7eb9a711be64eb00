#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each for a short while (default 30 s)
# from a fresh copy of the seed corpus, after replaying the inputs of earlier
# findings kept in fuzz/regressions/<target>/. Any crash, sanitizer report,
# time-out or memory blow-up fails the script; the input that caused it is
# left in build-fuzz/artifacts/. The time-out, 20 s per input, is twice the
# slowest sound run of one centre under the sanitizers: twelve ligands
# measured against the thirteen twelve-vertex shapes take up to half a
# second optimised and twenty times that here.
#
#   fuzz/run_short.sh [seconds per target] [target ...]
#
# Longer runs by hand, e.g. ten minutes of the CIF reader:
#   fuzz/run_short.sh 600 fuzz_cif
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-30}"
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(fuzz_cif fuzz_shelx fuzz_mat fuzz_xyz fuzz_command_line fuzz_ligand_args fuzz_run fuzz_symbols)
fi

export DEBIAN_FRONTEND=noninteractive
missing=()
for package in clang libclang-rt-14-dev cmake make python3; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

build=build-fuzz
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKORAVEL_FUZZ=ON -DKORAVEL_TESTS=OFF >/dev/null
# The build's lines only when it fails.
cmake --build "$build" -j2 --target "${targets[@]}" >"$build/build.log" 2>&1 || { cat "$build/build.log"; exit 1; }

work="$build/corpus"
rm -rf "$work" "$build/artifacts"
mkdir -p "$build/artifacts"
python3 fuzz/make_seeds.py "$work"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:allocator_may_return_null=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
passed=0
failed=0
for target in "${targets[@]}"; do
  binary="$build/fuzz/$target"
  log="$build/artifacts/$target.log"
  mkdir -p "$work/$target"
  status=0
  if [ -d "fuzz/regressions/$target" ] && [ -n "$(ls -A "fuzz/regressions/$target")" ]; then
    "$binary" -timeout=20 -rss_limit_mb=2048 "fuzz/regressions/$target"/* >"$log" 2>&1 || status=$?
  fi
  if [ "$status" -eq 0 ]; then
    "$binary" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -max_len=70000 \
      -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" \
      "$work/$target" >>"$log" 2>&1 || status=$?
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  if [ "$status" -eq 0 ]; then
    passed=$((passed + 1))
    echo "$target: ok, ${runs:-?} executions, coverage ${cov:-?} edges"
  else
    failed=$((failed + 1))
    echo "$target: FAILED (status $status), see $log"
    grep -E 'ERROR|runtime error|Test unit written' "$log" | head -5 || true
  fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
