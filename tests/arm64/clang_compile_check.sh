#!/usr/bin/env bash
# Compiles every kernel for 64-bit ARM with clang, as a Mac with an Apple
# processor or an ARM Linux machine whose mkoctfile runs clang compiles the
# Octave package: the portable paths (two lanes, no x86 built-ins) with
# clang's vector extensions, and no warning with -Wall -Wextra. Object code
# only: nothing is linked or run.
#   clang_compile_check.sh CLANG SYSROOT SOURCE_DIR FLAGS NAME...
set -euo pipefail
clang=$1 sysroot=$2 source=$3 flags=$4
shift 4
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
status=0
for name in "$@"; do
  # shellcheck disable=SC2086  # the flags are words
  if ! "$clang" --target=aarch64-linux-gnu --sysroot="$sysroot" $flags -Wall -Wextra \
       -I"$source/common" -I"$source/host/include" -fPIC -c "$source/kernels/$name.cpp" \
       -o "$scratch/$name.o" >"$scratch/$name.log" 2>&1 || [ -s "$scratch/$name.log" ]; then
    echo "$name: clang for aarch64 failed or warned:"
    cat "$scratch/$name.log"
    status=1
  else
    echo "$name: compiled for aarch64 by clang, no warning"
  fi
done
exit $status
