#!/usr/bin/env bash
# Builds the MEX files and the tests, and runs every test: the unit suite,
# the unit and cross-host suites again with the kernels built for this
# processor, the Windows suite (the same sources cross-built with MinGW-w64,
# run under Wine and compared with the Linux build), then the sanitizer,
# valgrind and fuzz runs of scripts/robustness.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh test
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DZEL_BUILD_TESTS=ON
cmake --build build -j"$(nproc)"
ctest --test-dir build --output-on-failure -j"$(nproc)"

# With -march=native the compiler may use this processor's fused
# multiply-add wherever contraction is allowed: here the comparisons with the
# references and between the hosts show that the kernel flags keep it out.
echo; echo "=== kernels built for this processor (-DZEL_NATIVE=ON) ==="
cmake -S . -B build-native -DCMAKE_BUILD_TYPE=Release -DZEL_NATIVE=ON -DZEL_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build-native -j"$(nproc)" --target unit_tests cross_host_writer octave_mex
ctest --test-dir build-native --output-on-failure -j"$(nproc)" -L 'unit|cross_host'

echo; echo "=== the Windows build under Wine ==="
cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-win64 -j"$(nproc)"
ctest --test-dir build-win64 --output-on-failure -j"$(nproc)"

bash scripts/robustness.sh
