#!/usr/bin/env bash
# Builds Koravel and runs every test suite:
#  1. the unit and end-to-end tests of the Linux build (build/);
#  2. the end-to-end and raw command-line tests of koravel.exe under wine
#     (build-win/);
#  3. the whole Linux suite again with AddressSanitizer and
#     UndefinedBehaviorSanitizer (build-asan/);
#  4. a short libFuzzer pass over every reader and parser (build-fuzz/).
set -euo pipefail
cd "$(dirname "$0")/.."

cmake -S . -B build
cmake --build build -j2
ctest --test-dir build --output-on-failure -j2

cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
cmake --build build-win -j2
ctest --test-dir build-win --output-on-failure -j2

bash tests/run_sanitizers.sh
bash fuzz/run_short.sh 30
