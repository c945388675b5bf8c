#!/usr/bin/env bash
# Builds the MEX files and the tests, and runs every test: the unit suite,
# the unit and cross-host suites again with the kernels built for this
# processor, the Windows suite (the same sources cross-built with MinGW-w64,
# run under Wine and compared with the Linux build), the 64-bit ARM Linux
# suite (cross-built with Debian's aarch64 GCC, run under qemu and compared
# with the Linux build), the scripts one after
# the other, then the sanitizer, valgrind and fuzz runs of
# scripts/robustness.sh. Each build is a CMake preset (CMakePresets.json)
# in a folder of its own.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh test
cmake --preset test
cmake --build build-test -j"$(nproc)"
ctest --test-dir build-test --output-on-failure -j"$(nproc)"

# With -march=native the compiler may use this processor's fused
# multiply-add wherever contraction is allowed: here the comparisons with the
# references and between the hosts show that the kernel flags keep it out.
echo; echo "=== kernels built for this processor (preset native) ==="
cmake --preset native >/dev/null
cmake --build build-native -j"$(nproc)" --target unit_tests cross_host_writer octave_mex
ctest --test-dir build-native --output-on-failure -j"$(nproc)" -L 'unit|cross_host'

echo; echo "=== the Windows build under Wine (preset windows) ==="
cmake --preset windows >/dev/null
cmake --build build-win64 -j"$(nproc)"
ctest --test-dir build-win64 --output-on-failure -j"$(nproc)"

# The same sources cross-built for 64-bit ARM Linux, run under qemu: the
# unit suite, a copy built with contraction allowed that must fail its
# comparison, and the random calls compared with the x86-64 build's.
echo; echo "=== the 64-bit ARM Linux build under qemu (preset arm64) ==="
cmake --preset arm64 >/dev/null
cmake --build build-arm64 -j"$(nproc)"
ctest --test-dir build-arm64 --output-on-failure -j"$(nproc)"

# The scripts keep out of each other's builds: the main job, then the
# valgrind part of the robustness checks, which once failed after it. The
# valgrind run here is one small test (the whole suite runs under valgrind
# below, in the same build).
echo; echo "=== the scripts one after the other: main.sh, then robustness.sh memcheck ==="
bash scripts/main.sh
ZEL_MEMCHECK_FILTER='*.WorkedExample*' bash scripts/robustness.sh memcheck

bash scripts/robustness.sh
