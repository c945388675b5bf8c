#!/usr/bin/env bash
# Builds the package archive's sources with clang, as pkg install does on a
# machine whose mkoctfile runs clang (macOS, some BSDs): the package's own
# src/Makefile run by make with CXX=clang++, which mkoctfile takes from the
# environment. Every compile line must be clang's with the flags that keep
# the numerics exact (-ffp-contract=off, which clang takes as GCC does), the
# build must print no warning, and the maps of a small image through the
# files clang made must be the bits of the build's own files (BUILD_OCTAVE,
# build/octave).
#   package_clang_test.sh OCTAVE ARCHIVE SCRATCH BUILD_OCTAVE
set -euo pipefail
tests_dir=$(cd "$(dirname "$0")" && pwd)  # assert_same_bits.m
octave=$1 archive=$2 scratch=$3 build_octave=$4

if ! command -v clang++ >/dev/null; then
  echo "clang++ is not installed" >&2
  exit 1
fi
rm -rf "$scratch"
mkdir -p "$scratch/home"
export HOME="$scratch/home"
tar -xzf "$archive" -C "$scratch"
package="$scratch/zelmaps"

# mkoctfile -v shows each command it runs.
CXX=clang++ make -C "$package/src" MKOCTFILE="mkoctfile -v" >"$scratch/build.log" 2>&1 || {
  cat "$scratch/build.log"
  exit 1
}
cat "$scratch/build.log"
compiles=$(grep -E '^clang\+\+ (.* )?-c ' "$scratch/build.log" | grep -- '-std=c++17' | grep -c -- '-ffp-contract=off' || true)
sources=$(ls "$package"/src/ZEL*.cpp | wc -l)
lane_sources=$(grep -l compute_with_widest_lanes "$package"/src/ZEL*.cpp | wc -l)
# Each kernel and its copy of cpp_mexapi_version.cpp, in C++17, and each
# kernel that computes in lanes once more per lane width: 2, 4 and 8 on
# this x86-64 ELF machine.
expected=$((2 * sources + 3 * lane_sources))
if [ "$compiles" -ne "$expected" ]; then
  echo "$compiles compile lines of clang++ with -std=c++17 and -ffp-contract=off; expected $expected" >&2
  exit 1
fi
for width in 2 4 8; do
  objects=$(grep -E '^clang\+\+ (.* )?-c ' "$scratch/build.log" | grep -c -- "-DZEL_LANE_WIDTH=$width " || true)
  if [ "$objects" -ne "$lane_sources" ]; then
    echo "$objects $width-lane objects compiled; expected $lane_sources" >&2
    exit 1
  fi
done
if grep -E '^(g\+\+|c\+\+|gcc) ' "$scratch/build.log"; then
  echo "a command above ran another compiler than clang" >&2
  exit 1
fi
if grep -Eiq 'warning|note:' "$scratch/build.log"; then
  echo "the clang build printed a warning or note" >&2
  exit 1
fi
# This machine is ELF with a GNU linker: the links carry the version script.
links=$(grep -E '^clang\+\+ .*-o \.\./inst/ZEL[A-Za-z]*\.mex ' "$scratch/build.log" |
  grep -- '-Wl,--version-script=common/platform/mex_exports.map' | grep -c -- '-Wl,--as-needed' || true)
if [ "$links" -ne "$sources" ]; then
  echo "$links links by clang++ with the version script and --as-needed; expected $sources" >&2
  exit 1
fi
for source in "$package"/src/ZEL*.cpp; do
  name=$(basename "$source" .cpp)
  test -f "$package/inst/$name.mex" || { echo "no $name.mex was built" >&2; exit 1; }
  # grep reads the whole list: with -q it would stop early and fail the pipe.
  strings "$package/inst/$name.mex" | grep -F 'clang version' >/dev/null ||
    { echo "$name.mex does not record clang as its compiler" >&2; exit 1; }
done

"$octave" --no-gui --no-history --no-init-file --quiet --path "$build_octave" --eval "
  maps = ZELgetFeatureMaps (ZELdemoImage (48));
  save ('-binary', '$scratch/expected.bin', 'maps');
"
"$octave" --no-gui --no-history --no-init-file --quiet --path "$package/inst" --eval "
  where = which ('ZELgetBlobMap');
  assert (strncmp (where, '$package/inst', numel ('$package/inst')), where);
  maps = ZELgetFeatureMaps (ZELdemoImage (48));
  expected = load ('$scratch/expected.bin').maps;
  assert (fieldnames (maps), fieldnames (expected));
  addpath ('$tests_dir');
  for name = fieldnames (maps)'
    assert_same_bits (maps.(name{1}), expected.(name{1}));
  end
  printf ('%d maps through the files clang built: the bits of the build''s own files\n', numel (fieldnames (maps)));
"
