#!/usr/bin/env bash
# Robustness checks beyond the unit suite, each with the CMake preset of its
# name, in a build directory of its own:
#   asan      the whole suite built with AddressSanitizer and UBSan   (build-asan/)
#   tsan      the concurrency test built with ThreadSanitizer         (build-tsan/)
#   memcheck  the whole suite of a Release build under valgrind       (build-memcheck/)
#   fuzz      the seed corpus and the deep-stack calls replayed, then a
#             bounded libFuzzer run per kernel                        (build-fuzz/)
# Usage: robustness.sh [asan|tsan|memcheck|fuzz]...   (all four by default)
# ZEL_FUZZ_SECONDS bounds each kernel's fuzz run (default 60).
# ZEL_MEMCHECK_FILTER, a GoogleTest filter, restricts the valgrind run to
# some tests (default: all).
set -euo pipefail
cd "$(dirname "$0")/.."

# The kernels of the kernel list.
mapfile -t kernels < <(tr -d '\r' <kernels/kernels.txt | grep -E '^[A-Za-z]')
jobs="$(nproc)"
fuzz_seconds="${ZEL_FUZZ_SECONDS:-60}"

step() { echo; echo "=== robustness: $* ==="; }

skip_unbuilt() {  # prints a line for every kernel the build directory $1 lacks
  for kernel in "${kernels[@]}"; do
    [ -f "$1/mex/$kernel.mexa64" ] || echo "robustness: skipping $kernel: $1/mex/$kernel.mexa64 is not built"
  done
}

run_asan() {
  step "AddressSanitizer + UndefinedBehaviorSanitizer, whole suite"
  cmake --preset asan >/dev/null
  cmake --build build-asan -j"$jobs"
  skip_unbuilt build-asan
  ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan --output-on-failure -j"$jobs"
}

run_tsan() {
  step "ThreadSanitizer, concurrent calls"
  cmake --preset tsan >/dev/null
  cmake --build build-tsan -j"$jobs"
  skip_unbuilt build-tsan
  TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    build-tsan/tests/unit_tests --gtest_filter='ConcurrentCalls.*'
}

run_memcheck() {
  local filter="${ZEL_MEMCHECK_FILTER:-*}"
  step "valgrind memcheck, $([ "$filter" = '*' ] && echo "whole suite" || echo "tests $filter") (Release build)"
  cmake --preset memcheck >/dev/null
  cmake --build build-memcheck -j"$jobs" --target unit_tests
  skip_unbuilt build-memcheck
  # valgrind knows no AVX-512 (and not every AVX2 form): the suite runs on
  # the copies of the MEX files that compute in two lanes, as any x86-64 does.
  ZEL_MEX_DIR="$PWD/build-memcheck/mex-lanes2" \
  valgrind -q --error-exitcode=1 --leak-check=full \
    --show-leak-kinds=definite,indirect,possible --errors-for-leak-kinds=definite,indirect,possible \
    build-memcheck/tests/unit_tests --gtest_brief=1 --gtest_filter="$filter"
}

run_fuzz() {
  step "libFuzzer, ${fuzz_seconds} s per kernel"
  local cxx
  cxx="$(bash scripts/fuzz-compiler.sh)" ||
    { echo "robustness: the fuzz target needs clang with its runtimes (scripts/install-deps.sh test installs them)" >&2; exit 1; }
  CC="${cxx/++/}" CXX="$cxx" cmake --preset fuzz >/dev/null
  cmake --build build-fuzz -j"$jobs"
  mkdir -p build-fuzz/logs build-fuzz/artifacts
  local summary=()
  for kernel in "${kernels[@]}"; do
    if [ ! -f "build-fuzz/mex/$kernel.mexa64" ]; then
      echo "robustness: skipping $kernel: build-fuzz/mex/$kernel.mexa64 is not built"
      summary+=("$kernel: not built, skipped")
      continue
    fi
    local seeds="fuzz/seeds/$kernel" corpus="build-fuzz/corpus/$kernel" log="build-fuzz/logs/$kernel.log"
    mkdir -p "$corpus"
    # The committed seeds and deep-stack calls keep the contract: each must
    # return its outputs. The deep ones are replayed only (see make_seeds.cpp).
    local replayed=("$seeds"/*)
    [ -d "fuzz/deep-seeds/$kernel" ] && replayed+=("fuzz/deep-seeds/$kernel"/*)
    if ! ZEL_FUZZ_KERNEL="$kernel" ZEL_FUZZ_EXPECT_SUCCESS=1 \
        build-fuzz/fuzz/kernel_fuzzer "${replayed[@]}" >"build-fuzz/logs/$kernel.seeds.log" 2>&1; then
      tail -40 "build-fuzz/logs/$kernel.seeds.log"
      echo "robustness: a seed of $kernel did not return outputs"
      exit 1
    fi
    if ! ZEL_FUZZ_KERNEL="$kernel" build-fuzz/fuzz/kernel_fuzzer "$corpus" "$seeds" \
        -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="build-fuzz/artifacts/$kernel-" >"$log" 2>&1; then
      tail -60 "$log"
      echo "robustness: fuzzing $kernel found a fault; the input is in build-fuzz/artifacts/"
      exit 1
    fi
    local runs cov counters
    runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
    cov="$(grep -o 'cov: [0-9]* ft: [0-9]* corp: [0-9]*' "$log" | tail -1)"
    counters="$(sed -n 's/.*(\([0-9]*\) inline 8-bit counters).*/\1/p' "$log" | head -1)"
    summary+=("$kernel: $runs executions, $cov (of $counters instrumented edges)")
  done
  step "fuzz summary"
  printf '%s\n' "${summary[@]}"
}

steps=("$@")
[ ${#steps[@]} -gt 0 ] || steps=(asan tsan memcheck fuzz)
for s in "${steps[@]}"; do
  case "$s" in
    asan) run_asan ;;
    tsan) run_tsan ;;
    memcheck) run_memcheck ;;
    fuzz) run_fuzz ;;
    *) echo "robustness: unknown step '$s' (asan, tsan, memcheck, fuzz)" >&2; exit 2 ;;
  esac
done
