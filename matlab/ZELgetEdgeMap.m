function varargout = ZELgetEdgeMap(varargin)
%ZELgetEdgeMap  Edge map: a score per pixel from the response summed over the scales.
%   E = ZELgetEdgeMap(R, Q, orientationIndex, scaleIndex, c, b)
%
%   For every pixel the response at its selected orientation o* is summed
%   over all scales; from the magnitude of that sum the penalty at o* and a
%   fixed penalty |b|*c are subtracted for every scale, and the result,
%   floored at zero, is divided by the sum over the scales of the larger of
%   |R(p,o*,s)| and the magnitude of the reference response R(p,o*,s*):
%
%     E = max(0, |sum_s R(p,o*,s)| - sum_s (Q(p,o*,s) + |b|*c))
%         / sum_s max(|R(p,o*,s)|, |R(p,o*,s*)|)
%
%   The selected scale s* enters only through the reference response, that
%   is only the normaliser. NaNs and infinities are not errors: they flow
%   through the arithmetic (a zero normaliser gives Inf or NaN, and a stack
%   with no scale gives NaN everywhere).
%
%   For a meaningful map, o* and s* are the orientation and the scale of the
%   peak of |R| at the pixel (as in the example), and Q, c and |b| are not
%   negative. The map is then a dimensionless score in [0, 1]: the share of
%   the response magnitudes that is left after the penalties.
%
%   Inputs, by position:
%     1  R                 double, rows x cols x nO x nS  response stack (nS = 1
%                          for a 3-D array)
%     2  Q                 double, size(R)                penalty stack
%     3  orientationIndex  uint16, rows x cols, 1..nO     selected orientation o*
%     4  scaleIndex        uint16, rows x cols, 1..nS     selected scale s*
%     5  c                 double scalar                  penalty weight, used with
%                          its sign
%     6  b                 double scalar                  penalty factor; only |b|
%                          is used
%   Classes: every input given as double above may also be single, and the
%   index maps may also be double arrays of whole numbers (as [~, o] = max(...)
%   gives them). Inputs are read in place and widened as they are read, so
%   the result is, bit for bit, that of the call with double(...) of the
%   single inputs and uint16(...) of the maps. The output is always double.
%   Sizes are at most 65534 in every dimension and R holds at most 2^31
%   elements.
%
%   Output:
%     E                    double, rows x cols            edge map
%
%   Errors (identifier: cause):
%     ZELgetEdgeMap:invalidClass     an input of the wrong class, complex or sparse
%                                    (uint16 or whole doubles for inputs 3 and 4,
%                                    real double or single for the others)
%     ZELgetEdgeMap:emptyInput       c or b has no element
%     ZELgetEdgeMap:tooFewElements   input 3 or 4 has fewer than rows*cols elements,
%                                    or R is emptied by a zero size past its fourth
%     ZELgetEdgeMap:tooManyOutputs   more than one output requested
%     ZELgetEdgeMap:sizeMismatch     Q is not the size of R
%     ZELgetEdgeMap:indexOutOfRange  an orientation index outside 1..nO, or a scale
%                                    index outside 1..nS
%     ZELgetEdgeMap:tooLarge         a size of R above 65534, or more than 2^31
%                                    elements
%   A call with other than six inputs fails with the message
%   "Six input arguments required." (no identifier).
%   Warning ZELgetEdgeMap:suspiciousShape: an index map that is not rows x
%   cols (or a vector of rows*cols elements), or an R of more than four
%   dimensions, is read all the same, in column order, but is most likely
%   transposed or carries another array's sizes; silence it with
%   warning('off', 'ZELgetEdgeMap:suspiciousShape').
%
%   Example:
%     R = randn(32, 32, 8, 4);  Q = 0.1 * abs(randn(size(R)));
%     [o, s] = ZELgetIndexMaps(R);         % the peak of |R| at every pixel
%     E = ZELgetEdgeMap(R, Q, o, s, 0.05, 1);
%
%   See also ZELgetRidgeMap, ZELgetOrientationMap.

% This file holds the help text. A call goes to the MEX file of the same name
% beside it (.mexa64 in MATLAB, .mex in Octave), which takes precedence
% over this file; a call comes here only when that file is missing.
error('ZELgetEdgeMap:notBuilt', ['ZELgetEdgeMap has no MEX file on the path. ' ...
      'In MATLAB, unzip a release (zelmaps-<version>-glnxa64.zip) and addpath its folder, ' ...
      'or run build_zel_mex in the repository''s matlab folder. ' ...
      'In Octave, pkg install the package (zelmaps-<version>.tar.gz), ' ...
      'or run bash scripts/main.sh and addpath the repository''s build/octave folder.']);
end
