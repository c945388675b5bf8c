#!/usr/bin/env bash
# Builds the package archive a second time, a second later, in another folder
# and under another umask, and requires the very bytes of the build's archive.
#   package_reproducible_test.sh ARCHIVE SCRATCH MAKE_PACKAGE ARGUMENTS...
# MAKE_PACKAGE (octave/package/make_package.sh) built ARCHIVE from ARGUMENTS,
# which follow its stage folder and archive.
set -euo pipefail
archive=$1 scratch=$2 make_package=$3
shift 3

rm -rf "$scratch"
mkdir -p "$scratch"
sleep 1
(umask 0077 && bash "$make_package" "$scratch/stage" "$scratch/again.tar.gz" "$@")
if ! cmp "$archive" "$scratch/again.tar.gz"; then
  diff <(tar -tvzf "$archive") <(tar -tvzf "$scratch/again.tar.gz") || true
  echo "the package archive built again differs"
  exit 1
fi
echo "the package archive built again is the same to the byte"
