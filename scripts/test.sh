#!/usr/bin/env bash
# Builds the MEX files and the tests, and runs every test: the unit suite,
# then the sanitizer, valgrind and fuzz runs of scripts/robustness.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DZEL_BUILD_TESTS=ON
cmake --build build -j"$(nproc)"
ctest --test-dir build --output-on-failure -j"$(nproc)"
bash scripts/robustness.sh
