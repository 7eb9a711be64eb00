#!/usr/bin/env bash
# Installs what the build needs, builds Koravel (build/) and runs it on an
# example shipped with the repository: a planar three-coordinate boron centre.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install_missing.sh g++ cmake make zlib1g-dev help2man
cmake -S . -B build -DKORAVEL_TESTS=OFF
cmake --build build -j2
./build/koravel tests/data/cod_4063260-wrong-formula-sum.cif B1
