#!/usr/bin/env bash
# The main job: builds what the demo and a user need (the MEX files for
# MATLAB and Octave, the MATLAB release and the Octave package; no tests, no
# benchmarks; CMake preset main, folder build/) and runs the demo, which
# writes its pictures into docs/.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh main
cmake --preset main
cmake --build build -j"$(nproc)"
octave-cli --no-gui --no-history --no-init-file --quiet \
  --path build/octave --eval "ZELdemo('docs');"
