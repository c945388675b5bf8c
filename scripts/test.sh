#!/usr/bin/env bash
# Builds the MEX files and the tests, and runs every test: the unit suite,
# then the Windows suite (the same sources cross-built with MinGW-w64, run
# under Wine and compared with the Linux build), then the sanitizer, valgrind
# and fuzz runs of scripts/robustness.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DZEL_BUILD_TESTS=ON
cmake --build build -j"$(nproc)"
ctest --test-dir build --output-on-failure -j"$(nproc)"
cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release
cmake --build build-win64 -j"$(nproc)"
ctest --test-dir build-win64 --output-on-failure -j"$(nproc)"
bash scripts/robustness.sh
