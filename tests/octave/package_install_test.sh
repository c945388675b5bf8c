#!/usr/bin/env bash
# Installs the package archive with Octave's pkg into a scratch folder, with
# a scratch HOME so that the user's package list stays untouched, loads it,
# calls its functions (a MEX function, and ZELgetFeatureMaps, whose maps must
# be the bits the build's own files give: BUILD_OCTAVE, build/octave), runs
# the package's own tests (the %!test blocks of its help files), which must
# all pass, and one function's demo, which must show its map.
#   package_install_test.sh OCTAVE ARCHIVE SCRATCH BUILD_OCTAVE
set -euo pipefail
tests_dir=$(cd "$(dirname "$0")" && pwd)  # assert_same_bits.m
octave=$1 archive=$2 scratch=$3 build_octave=$4

rm -rf "$scratch"
mkdir -p "$scratch/home" "$scratch/packages" "$scratch/work"
export HOME="$scratch/home"
# pkg test writes its log (fntests.log) into the working folder.
cd "$scratch/work"

where_to="pkg prefix '$scratch/packages' '$scratch/packages'; pkg local_list '$scratch/packages/octave_packages';"

# The installation compiles the kernels quietly: no compiler warning or note.
"$octave" --no-gui --no-history --no-init-file --quiet --eval "$where_to pkg install -local '$archive';" \
  >"$scratch/install.log" 2>&1
cat "$scratch/install.log"
if grep -Eq 'warning|note:|error' "$scratch/install.log"; then
  echo "pkg install printed a compiler warning or note" >&2
  exit 1
fi

# The build's maps of a small image, to compare with the package's.
"$octave" --no-gui --no-history --no-init-file --quiet --path "$build_octave" --eval "
  maps = ZELgetFeatureMaps (ZELdemoImage (48));
  save ('-binary', '$scratch/expected.bin', 'maps');
"

"$octave" --no-gui --no-history --no-init-file --quiet --eval "
  $where_to
  pkg load zelmaps;
  description = pkg ('describe', 'zelmaps');
  assert (description{1}.name, 'zelmaps');
  assert (! isempty (strfind (evalc ('pkg describe zelmaps'), 'Depends')));
  where = which ('ZELgetEdgeMap');
  printf ('ZELgetEdgeMap from %s\n', where);
  assert (where(end-3:end), '.mex');
  assert (strncmp (where, '$scratch/packages', numel ('$scratch/packages')));
  assert (! isempty (strfind (help ('ZELgetEdgeMap'), 'ZELgetEdgeMap  Edge map')));
  E = ZELgetEdgeMap (reshape ([2, -1, 4], 1, 1, 1, 3), reshape ([0.5, 0, 0.25], 1, 1, 1, 3), ...
                     uint16 (1), uint16 (3), 0.1, -2);
  assert (typecast (E, 'uint64'), typecast (0.30416666666666664, 'uint64'));
  for name = {'ZELgetFeatureMaps', 'ZELgetScaleTable', 'ZELgetProfileTable', 'ZELmapInTiles', 'ZELdemo', 'ZELdemoImage'}
    assert (strncmp (which (name{1}), '$scratch/packages', numel ('$scratch/packages')), name{1});
  end
  maps = ZELgetFeatureMaps (ZELdemoImage (48));
  expected = load ('$scratch/expected.bin').maps;
  assert (fieldnames (maps), fieldnames (expected));
  addpath ('$tests_dir');
  for name = fieldnames (maps)'
    assert_same_bits (maps.(name{1}), expected.(name{1}));
  end
  printf ('ZELgetFeatureMaps from %s: the build''s bits\n', which ('ZELgetFeatureMaps'));
  pkg list;
  verbose = evalc ('pkg describe -verbose zelmaps');
  for name = {'ZELgetBlobMap', 'ZELgetRidgeMap', 'ZELgetEdgeMap', 'ZELgetHeightAndWidthMap', 'ZELgetOrientationMap', 'ZELgetCurvatureMap'}
    assert (! isempty (strfind (verbose, name{1})), 'pkg describe -verbose does not list %s', name{1});
  end
  tests = evalc ('pkg test zelmaps');
  printf ('%s', tests);
  passed = str2double (regexp (tests, 'PASS\s+(\d+)', 'tokens', 'once'));
  failed = str2double (regexp (tests, 'FAIL\s+(\d+)', 'tokens', 'once'));
  assert (failed == 0 && passed >= 6 * 4, 'pkg test zelmaps: %d passed, %d failed', passed, failed);
  untested = str2double (regexp (tests, '(\d+) \(of \d+\) \.m files have no tests', 'tokens', 'once'));
  assert (untested == 0, '%d functions of the package have no tests', untested);
  shown = evalc ('demo ZELgetEdgeMap');
  printf ('%s', shown);
  assert (isempty (strfind (shown, 'no demo available')), 'demo ZELgetEdgeMap shows nothing');
  assert (! isempty (strfind (shown, 'edge score of every other pixel')), 'demo ZELgetEdgeMap shows no map');
"
# pkg wrote its list into the scratch folder only.
test -f "$scratch/packages/octave_packages"
test ! -e "$scratch/home/.octave_packages"
echo "package installed, loaded, called, tested and demonstrated"
