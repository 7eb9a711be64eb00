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
bash scripts/install_missing.sh g++ cmake make zlib1g-dev libgtest-dev python3 python3-numpy python3-gemmi \
  g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine wine64 clang libclang-rt-14-dev chromium fonts-liberation

# Debian's own python3, which has the numpy and gemmi just installed (a python3
# earlier on PATH, such as pyenv's, may not: the reference checks would skip).
cmake -S . -B build -DKORAVEL_TESTS=ON -DPython3_EXECUTABLE=/usr/bin/python3
cmake --build build -j2
ctest --test-dir build --output-on-failure -j2

cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
cmake --build build-win -j2
ctest --test-dir build-win --output-on-failure -j2

bash tests/run_sanitizers.sh
bash fuzz/run_short.sh 30
