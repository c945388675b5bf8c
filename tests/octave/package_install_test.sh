#!/usr/bin/env bash
# Installs the package archive with Octave's pkg into a scratch folder, with
# a scratch HOME so that the user's package list stays untouched, loads it and
# calls one function from it.
#   package_install_test.sh OCTAVE ARCHIVE SCRATCH
set -euo pipefail
octave=$1 archive=$2 scratch=$3

rm -rf "$scratch"
mkdir -p "$scratch/home" "$scratch/packages"
export HOME="$scratch/home"

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
  pkg list;
"
# pkg wrote its list into the scratch folder only.
test -f "$scratch/packages/octave_packages"
test ! -e "$scratch/home/.octave_packages"
echo "package installed, loaded and called"
