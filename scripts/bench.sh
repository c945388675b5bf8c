#!/usr/bin/env bash
# Builds the MEX files (Release), their row-outer copies and the benchmark
# suite, then runs it and prints the summary table. Arguments go to the
# benchmark binary and override the defaults below, for example
#   bash scripts/bench.sh --sizes=256,512 --benchmark_min_time=0.1
#   bash scripts/bench.sh --benchmark_filter=EdgeMap
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh bench
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DZEL_BUILD_BENCHMARKS=ON
cmake --build build -j2 --target zel_bench
exec build/bench/zel_bench --benchmark_repetitions=3 --benchmark_min_time=0.3 "$@"
