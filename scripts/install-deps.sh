#!/usr/bin/env bash
# Installs, through apt-get, whatever the build and the tests need and the
# machine lacks. Needs root (or sudo) only when something is missing.
set -euo pipefail

packages=(cmake make g++ binutils libgtest-dev googletest libbenchmark-dev valgrind
          clang libclang-rt-14-dev octave liboctave-dev octave-parallel
          g++-mingw-w64-x86-64 wine wine64)  # the Windows build and its tests under Wine

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq "${missing[@]}"
