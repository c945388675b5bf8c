#!/usr/bin/env bash
# Times ZELgetFeatureMaps in Octave, image to all seven maps, against the six
# map calls alone on the same image's inputs in the same process, with
# single and with double stacks: 3 runs of each (ZEL_BENCH_REPS), the best
# and the spread, the peak resident memory each call adds beside the image
# and the maps, and where the time of one call goes (Octave's profiler).
#   bash scripts/bench-octave.sh                  # 2048 x 2048, 8 orientations, 4 scales
#   ZEL_BENCH_SIZE=1024 bash scripts/bench-octave.sh
#   ZEL_BENCH_TILES="128 256 512 Inf" bash scripts/bench-octave.sh   # ZELgetFeatureMaps alone per tile size
# Each precision (and each tile size) runs in an Octave process of its own.
# Every further argument goes to Octave's environment unchanged, for example
#   bash scripts/bench-octave.sh GLIBC_TUNABLES=glibc.malloc.hugetlb=1
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh main
cmake --preset main >/dev/null
cmake --build build -j2 --target octave_mex

size=${ZEL_BENCH_SIZE:-2048}
reps=${ZEL_BENCH_REPS:-3}
run() {  # with precision, tile and parts set; arguments: environment settings
  env "$@" octave-cli --no-gui --no-history --no-init-file --quiet --path build/octave --path bench \
    --eval "zel_bench_feature_maps($size, '$precision', $tile, $reps, $parts)"
}
for precision in single double; do
  if [ -n "${ZEL_BENCH_TILES:-}" ]; then
    for tile in $ZEL_BENCH_TILES; do
      parts=false
      echo; echo "=== $precision stacks, ${size}^2, tiles of $tile ==="
      run "$@"
    done
  else
    tile=0 parts=true  # ZELgetFeatureMaps' own TileSize
    echo; echo "=== $precision stacks, ${size}^2 ==="
    run "$@"
  fi
done
