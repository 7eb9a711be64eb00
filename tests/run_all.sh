#!/usr/bin/env bash
# Builds Koravel for Linux and for Windows and runs both test suites: the unit
# and end-to-end tests of the Linux build, then the end-to-end and raw
# command-line tests of koravel.exe under wine.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake -S . -B build
cmake --build build -j2
ctest --test-dir build --output-on-failure -j2

cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
cmake --build build-win -j2
ctest --test-dir build-win --output-on-failure -j2
