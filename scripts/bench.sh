#!/usr/bin/env bash
# Builds the MEX files (Release), their row-outer copies and the benchmark
# suite (CMake preset bench, folder build-bench/), then runs it twice, once
# per output mode, and prints each summary table: outputs recycled (freed
# memory kept in the heap, as a host that reuses its memory) and fresh
# (their page faults paid in every call, as a host that allocates afresh).
# Arguments go to the benchmark binary and override the defaults below, for
# example
#   bash scripts/bench.sh --sizes=256,512 --benchmark_min_time=0.1
#   bash scripts/bench.sh --benchmark_filter=EdgeMap
# ZEL_BENCH_MODES=recycled (or fresh) runs one mode only.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh bench
cmake --preset bench
cmake --build build-bench -j2 --target zel_bench zel_filter_bench
for mode in ${ZEL_BENCH_MODES:-recycled fresh}; do
  echo; echo "=== outputs $mode ==="
  flag=()
  [ "$mode" = fresh ] && flag=(--fresh-outputs)
  build-bench/bench/zel_bench --benchmark_repetitions=3 --benchmark_min_time=0.3 "${flag[@]}" "$@"
done
# The filter bank and the index maps: 512^2 to 2048^2 unless --sizes says
# otherwise (the maps' sizes from 256 are too small to time a filter bank).
for mode in ${ZEL_BENCH_MODES:-recycled fresh}; do
  echo; echo "=== filter bank and index maps, outputs $mode ==="
  flag=()
  [ "$mode" = fresh ] && flag=(--fresh-outputs)
  build-bench/bench/zel_filter_bench --benchmark_repetitions=3 --benchmark_min_time=0.3 "${flag[@]}" "$@"
done
