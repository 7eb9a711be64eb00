#!/usr/bin/env bash
# Installs what the tests need (when missing), builds Koravel and runs every
# test suite:
#  1. the unit and end-to-end tests of the Linux build (build/), its pages
#     rendered in headless Chromium;
#  2. the end-to-end and raw command-line tests of koravel.exe under wine
#     (build-win/);
#  3. the whole Linux suite again with AddressSanitizer and
#     UndefinedBehaviorSanitizer (build-asan/);
#  4. a short libFuzzer pass over every reader and parser (build-fuzz/).
set -euo pipefail
cd "$(dirname "$0")/.."

# g++-mingw-w64-x86-64-posix alone, not the g++-mingw-w64-x86-64 meta-package
# (which would switch the default compiler to the win32 thread model); wine64
# runs the 64-bit koravel.exe without the 32-bit i386 architecture; Debian's
# Chromium renders the HTML pages headless.
bash scripts/install_missing.sh g++ cmake make zlib1g-dev help2man libgtest-dev python3 python3-numpy python3-gemmi \
  g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine wine64 clang libclang-rt-14-dev chromium fonts-liberation

# Each phase under a heading; builds write to a log that is shown only when
# they fail; the tests' counts add up to the closing line.
logs=$(mktemp -d)
passed=0
failed=0
phase() { printf '\n=== %s ===\n' "$1"; }
build() {  # folder, cmake configure arguments...
  local folder=$1
  shift
  if ! { cmake -S . -B "$folder" "$@" && cmake --build "$folder" -j2; } >"$logs/$folder.log" 2>&1; then
    cat "$logs/$folder.log"
    echo "building $folder failed"
    exit 1
  fi
  echo "built $folder"
}
count() {  # the log of a test run: ctest's or the fuzz pass's counts
  local line
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+|^fuzz: [0-9]+ passed, [0-9]+ failed$' "$1" | tail -1)
  if [[ $line =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
    failed=$((failed + BASH_REMATCH[1]))
    passed=$((passed + BASH_REMATCH[2] - BASH_REMATCH[1]))
  elif [[ $line =~ ^fuzz:\ ([0-9]+)\ passed,\ ([0-9]+)\ failed ]]; then
    passed=$((passed + BASH_REMATCH[1]))
    failed=$((failed + BASH_REMATCH[2]))
  fi
}
run() {  # name, command...: a test phase, counted even when it fails
  local name=$1 status=0
  shift
  "$@" 2>&1 | tee "$logs/$name.log" || status=$?
  count "$logs/$name.log"
  return "$status"
}
trap 'printf "\n=== Summary ===\n%d passed, %d failed\n" "$passed" "$failed"; rm -rf "$logs"' EXIT

phase "Linux build: unit and end-to-end tests, pages in headless Chromium"
# Debian's own python3, which has the numpy and gemmi just installed (a python3
# earlier on PATH, such as pyenv's, may not: the reference checks would skip).
build build -DKORAVEL_TESTS=ON -DPython3_EXECUTABLE=/usr/bin/python3
run linux ctest --test-dir build --output-on-failure -j2

phase "Windows build under wine: end-to-end and raw command-line tests"
build build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
run windows ctest --test-dir build-win --output-on-failure -j2

phase "AddressSanitizer and UndefinedBehaviorSanitizer: the Linux suite again"
run sanitizers bash tests/run_sanitizers.sh

phase "libFuzzer: 30 seconds per reader and parser"
run fuzz bash fuzz/run_short.sh 30
