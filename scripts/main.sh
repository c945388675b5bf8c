#!/usr/bin/env bash
# The main job: builds the MEX files (stand-in host and Octave) and runs the
# demo, which writes its pictures into docs/.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh main
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)"
octave-cli --no-gui --no-history --no-init-file --quiet \
  --path build/octave --path demo --eval "zel_demo('docs')"
