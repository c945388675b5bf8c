#!/usr/bin/env bash
# Prints the clang++ that builds the fuzz target: the first of clang++ and the
# versioned clang++-N on the PATH (newest first) that links a libFuzzer target
# with AddressSanitizer and UndefinedBehaviorSanitizer, which needs clang's
# runtime libraries besides the compiler. Prints nothing and exits 1 when no
# clang can.
set -euo pipefail

probe="$(mktemp -d)"
trap 'rm -rf "$probe"' EXIT
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' >"$probe/target.cpp"

candidates=(clang++)
IFS=: read -r -a path_dirs <<<"$PATH"
versioned=()
for dir in "${path_dirs[@]}"; do
  for cxx in "$dir"/clang++-[0-9]*; do
    [[ "$(basename "$cxx")" =~ ^clang\+\+-[0-9]+$ ]] && versioned+=("$(basename "$cxx")")
  done
done
if [ ${#versioned[@]} -gt 0 ]; then
  mapfile -t versioned < <(printf '%s\n' "${versioned[@]}" | sort -t- -k2,2nr -u)
  candidates+=("${versioned[@]}")
fi

for cxx in "${candidates[@]}"; do
  command -v "$cxx" >/dev/null || continue
  if "$cxx" -fsanitize=fuzzer,address,undefined "$probe/target.cpp" -o "$probe/target" >/dev/null 2>&1; then
    echo "$cxx"
    exit 0
  fi
done
exit 1
