#!/usr/bin/env bash
# Installs, through apt-get, what one command of this project needs and the
# machine lacks:
#   install-deps.sh main    the main job (scripts/main.sh): compiler, CMake,
#                           Octave with mkoctfile
#   install-deps.sh test    the test command (scripts/test.sh): the main job's
#                           and the rest: GoogleTest (with its sources, for
#                           the cross builds), Google Benchmark, valgrind,
#                           Python 3, MinGW-w64 and Wine (the Windows build),
#                           the aarch64 cross compiler and qemu-user (the
#                           64-bit ARM Linux build), and a clang that links
#                           libFuzzer targets (and builds the Octave package
#                           in a test)
#   install-deps.sh bench   the benchmarks (scripts/bench.sh): the main job's
#                           and Google Benchmark
# Needs root (or sudo) only when something is missing. When apt-get cannot
# supply a package, it stops with a message that names it.
set -euo pipefail
cd "$(dirname "$0")/.."

# One package per line.
main_packages=(
  cmake
  make
  g++
  binutils
  octave
  liboctave-dev     # mkoctfile
)
test_packages=(
  libgtest-dev
  googletest
  libbenchmark-dev  # the benchmarks build with the tests
  valgrind
  octave-parallel       # parcellfun, for the tiled and parallel tests
  python3               # the check of the M files' syntax
  g++-mingw-w64-x86-64  # the Windows build
  wine                  # and its tests
  wine64
  g++-aarch64-linux-gnu # the 64-bit ARM Linux build
  libc6-dev-arm64-cross
  qemu-user             # and its tests
)
bench_packages=(
  libbenchmark-dev
)
# The test command also needs clang with its sanitizer and libFuzzer runtimes
# (see clang_packages below); whichever clang is installed will do.

fail() {
  echo "install-deps: $*" >&2
  exit 1
}

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

# Whether the configured apt sources offer the package.
has_candidate() {
  local candidate
  candidate="$(apt-cache policy "$1" 2>/dev/null | sed -n 's/^ *Candidate: *//p')"
  [ -n "$candidate" ] && [ "$candidate" != "(none)" ]
}

# The distribution's default clang and its runtimes: libclang-rt-dev where the
# release has it, else libclang-rt-N-dev for the version N that the clang
# package depends on (Debian 12 before its updates); releases older than the
# split ship the runtimes with clang itself.
clang_packages() {
  echo clang
  if has_candidate libclang-rt-dev; then
    echo libclang-rt-dev
    return
  fi
  local version
  version="$(apt-cache depends clang 2>/dev/null | sed -n 's/^ *Depends: clang-\([0-9][0-9]*\)$/\1/p' | head -n 1)"
  if [ -n "$version" ] && has_candidate "libclang-rt-$version-dev"; then
    echo "libclang-rt-$version-dev"
  fi
}

command="${1:-}"
case "$command" in
  main) wanted=("${main_packages[@]}") ;;
  test) wanted=("${main_packages[@]}" "${test_packages[@]}") ;;
  bench) wanted=("${main_packages[@]}" "${bench_packages[@]}") ;;
  *) echo "usage: install-deps.sh main|test|bench" >&2; exit 2 ;;
esac

# qemu-user-static, where installed, runs the ARM programs as well.
present() { installed "$1" || { [ "$1" = qemu-user ] && installed qemu-user-static; }; }

missing=()
for package in "${wanted[@]}"; do
  present "$package" || missing+=("$package")
done
need_clang=false
if [ "$command" = test ] && ! bash scripts/fuzz-compiler.sh >/dev/null; then
  need_clang=true
fi
[ ${#missing[@]} -eq 0 ] && ! $need_clang && exit 0

what="${missing[*]}"
$need_clang && what="$what${what:+ }clang with its sanitizer and libFuzzer runtimes"
command -v apt-get >/dev/null && command -v dpkg-query >/dev/null ||
  fail "this machine has no apt-get; install by hand: $what"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || fail "installing $what needs root, and sudo is not installed"
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
echo "install-deps: installing $what"
$sudo apt-get update -qq || fail "apt-get update failed; the package lists are needed to install $what"

if $need_clang; then
  mapfile -t clang_list < <(clang_packages)
  for package in "${clang_list[@]}"; do
    installed "$package" || missing+=("$package")
  done
fi
unavailable=()
for package in "${missing[@]}"; do
  has_candidate "$package" || unavailable+=("$package")
done
[ ${#unavailable[@]} -eq 0 ] ||
  fail "the apt sources of this machine offer no package ${unavailable[*]}; add a source that has it, or install its equivalent by hand"

if [ ${#missing[@]} -gt 0 ]; then
  $sudo apt-get install -y -qq "${missing[@]}" || fail "apt-get could not install ${missing[*]}"
fi
if $need_clang && ! bash scripts/fuzz-compiler.sh >/dev/null; then
  fail "no clang here links a libFuzzer target with the sanitizers; install the runtimes of the installed clang (libclang-rt-dev or libclang-rt-N-dev, N its version)"
fi
