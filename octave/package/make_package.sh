#!/usr/bin/env bash
# Stages the Octave package and packs it into a gzipped tar archive that is
# the same to the byte wherever and whenever it is built from the same
# sources: files in name order, every time the release date, owner and group
# root, modes from a fixed rule rather than the umask, no name or time in
# the gzip header.
#   make_package.sh STAGE ARCHIVE SOURCE_DIR GENERATED_DIR DATE NAME...
# GENERATED_DIR holds DESCRIPTION, INDEX and package-src.mk (the src/Makefile)
# as configured by CMake; DATE is YYYY-MM-DD. Each NAME is a function: its
# matlab/NAME.m goes to inst/, and its kernels/NAME.cpp, when it is a MEX
# function, to src/.
set -euo pipefail
stage=$1 archive=$2 source=$3 generated=$4 date=$5
shift 5
name=zelmaps
package="$stage/$name"

rm -rf "$stage"
mkdir -p "$package/inst" "$package/src/common/platform"
cp "$generated/DESCRIPTION" "$generated/INDEX" "$package/"
cp "$source/LICENSE" "$package/COPYING"
cp "$generated/package-src.mk" "$package/src/Makefile"
cp "$source"/common/*.h "$source/common/cpp_mexapi_version.cpp" "$package/src/common/"
cp "$source"/common/platform/* "$package/src/common/platform/"
for unit in "$@"; do
  cp "$source/matlab/$unit.m" "$package/inst/"
  if [ -f "$source/kernels/$unit.cpp" ]; then
    cp "$source/kernels/$unit.cpp" "$package/src/"
  fi
done

tar --create --format=gnu --sort=name --mtime="$date 00:00:00 +0000" \
    --owner=0 --group=0 --numeric-owner --mode='u=rwX,go=rX' \
    --directory "$stage" "$name" | gzip -9 --no-name >"$archive.partial"
mv "$archive.partial" "$archive"
