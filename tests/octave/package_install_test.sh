#!/usr/bin/env bash
# Installs the package archive with Octave's pkg into a scratch folder, with
# a scratch HOME so that the user's package list stays untouched, loads it and
# calls its functions: a MEX function, and ZELgetFeatureMaps, whose maps must
# be the bits the build's own files give (BUILD_OCTAVE, build/octave).
#   package_install_test.sh OCTAVE ARCHIVE SCRATCH BUILD_OCTAVE
set -euo pipefail
octave=$1 archive=$2 scratch=$3 build_octave=$4

rm -rf "$scratch"
mkdir -p "$scratch/home" "$scratch/packages"
export HOME="$scratch/home"

# The build's maps of a small image, to compare with the package's.
"$octave" --no-gui --no-history --no-init-file --quiet --path "$build_octave" --eval "
  maps = ZELgetFeatureMaps (ZELdemoImage (48));
  save ('-binary', '$scratch/expected.bin', 'maps');
"

"$octave" --no-gui --no-history --no-init-file --quiet --eval "
  pkg prefix '$scratch/packages' '$scratch/packages';
  pkg local_list '$scratch/packages/octave_packages';
  pkg install -local '$archive';
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
  for name = fieldnames (maps)'
    assert (isequal (typecast (maps.(name{1})(:), 'uint64'), typecast (expected.(name{1})(:), 'uint64')), name{1});
  end
  printf ('ZELgetFeatureMaps from %s: the build''s bits\n', which ('ZELgetFeatureMaps'));
  pkg list;
"
# pkg wrote its list into the scratch folder only.
test -f "$scratch/packages/octave_packages"
test ! -e "$scratch/home/.octave_packages"
echo "package installed, loaded and called"
