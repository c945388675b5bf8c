function varargout = ZELgetBlobMap(varargin)
%ZELgetBlobMap  Blob map: a score per pixel from the weakest oriented response at every scale.
%   B = ZELgetBlobMap(R, Q, orientationIndex, unused, c, P, g, A, T, amplitude)
%
%   For every pixel and every scale s the weakest polarity-corrected
%   response over all orientations, less the strongest penalty magnitude
%   over all orientations and the weighted magnitude of a profile sample, is
%   added up over the scales. The sum, floored at zero, is divided by the sum
%   over the scales of max(|R(p,o*,s)|, |amplitude(p)*Ps|):
%
%     B = max(0, sum_s [min_o sign(b)*R(p,o,s) - max_o |Q(p,o,s)| - |Ps|*c])
%         / sum_s max(|R(p,o*,s)|, |b*Ps|)
%
%   where o* is the pixel's selected orientation, b = amplitude(p), and Ps is
%   the profile table sampled at x = max(min(((A(p)/T(o*,s))*g)/(2n), 1), 0),
%   that is P(fix(x*(n-1)) + 1) for n = numel(P) (P(1) when x is NaN).
%   sign(b) is -1 for a NaN amplitude. NaNs and infinities are not errors:
%   they flow through the arithmetic (a zero normaliser gives Inf or NaN).
%
%   For a meaningful map: o* is the orientation of the peak of |R| at the
%   pixel (o from [o, s] = ZELgetIndexMaps(R), not max of the signed R); A
%   and T are in the same unit (pixels, say: A the structure's width,
%   from ZELgetHeightAndWidthMap, T(o,s) the width scale s responds to most);
%   the amplitude's sign is the polarity sought (+1 bright, -1 dark).
%   Sizes, scale table entries and g that are not negative keep x at 0 or
%   above; a negative x is raised to 0 (the table's first element) so that
%   nothing outside P is read, the only limit applied without an error. The
%   map is a dimensionless score: 0 where nothing is found, and at most 1
%   when c and the penalty stack are not negative.
%
%   Inputs, by position:
%     1  R                 double, rows x cols x nO x nS  response stack (nS = 1
%                          for a 3-D array)
%     2  Q                 double, size(R)                penalty stack
%     3  orientationIndex  uint16, rows x cols, 1..nO     selected orientation o*
%     4  unused            any                            accepted and not read; it
%                          stands where ZELgetEdgeMap takes its scale index map
%     5  c                 double scalar                  penalty weight
%     6  P                 double, 1 to 65535 elements    profile table, read as a
%                          vector whatever its shape
%     7  g                 double scalar                  sampling gain
%     8  A                 double, rows x cols            size map
%     9  T                 double, nO x nS                scale table
%    10  amplitude         double, rows x cols            amplitude map; its sign
%                          is the polarity of the responses sought
%   Classes: every input given as double above may also be single, and the
%   index maps may also be double arrays of whole numbers (as [~, o] = max(...)
%   gives them). Inputs are read in place and widened as they are read, so
%   the result is, bit for bit, that of the call with double(...) of the
%   single inputs and uint16(...) of the maps. The output is always double.
%   Sizes are at most 65534 in every dimension and R holds at most 2^31
%   elements.
%
%   Output:
%     B                    double, rows x cols            blob map
%
%   Errors (identifier: cause):
%     ZELgetBlobMap:invalidClass        an input of the wrong class, complex or sparse
%                                       (uint16 or whole doubles for input 3, real double
%                                       or single for the others but input 4)
%     ZELgetBlobMap:emptyInput          c or g has no element
%     ZELgetBlobMap:invalidTableLength  P holds no element or more than 65535
%     ZELgetBlobMap:tooFewElements      input 3, 8 or 10 has fewer than rows*cols
%                                       elements, or T fewer than nO*nS (an image
%                                       with no pixel needs no table), or R is
%                                       emptied by a zero size past its fourth
%     ZELgetBlobMap:tooManyOutputs      more than one output requested
%     ZELgetBlobMap:sizeMismatch        Q is not the size of R
%     ZELgetBlobMap:indexOutOfRange     an orientation index outside 1..nO
%     ZELgetBlobMap:tooLarge            a size of R above 65534, or more than 2^31
%                                       elements
%   A call with other than ten inputs fails with the message
%   "Ten input arguments required." (no identifier).
%   Warning ZELgetBlobMap:suspiciousShape: a map that is not rows x cols (or a
%   vector of rows*cols elements), a T that is not nO x nS (or a vector), or
%   an R of more than four dimensions is read all the same, in column order,
%   but is most likely transposed or carries another array's sizes; silence it
%   with warning('off', 'ZELgetBlobMap:suspiciousShape').
%
%
%   Example:
%     R = rand(32, 32, 8, 4);  Q = 0.1 * rand(size(R));
%     [o, s] = ZELgetIndexMaps(R);         % the peak of |R| at every pixel
%     T = repmat([2 3 4.5 6.75], 8, 1);
%     B = ZELgetBlobMap(R, Q, o, [], 0.05, linspace(0, 1, 33), 16, ...
%                       3 * ones(32), T, ones(32));
%
%   See also ZELgetRidgeMap, ZELgetHeightAndWidthMap.

% This file holds the help text. A call goes to the MEX file of the same name
% beside it (.mexa64 in MATLAB, .mex in Octave), which takes precedence
% over this file; a call comes here only when that file is missing.
error('ZELgetBlobMap:notBuilt', ['ZELgetBlobMap has no MEX file on the path. ' ...
      'In MATLAB, unzip a release (zelmaps-<version>-glnxa64.zip) and addpath its folder, ' ...
      'or run build_zel_mex in the repository''s matlab folder. ' ...
      'In Octave, pkg install the package (zelmaps-<version>.tar.gz), ' ...
      'or run bash scripts/main.sh and addpath the repository''s build/octave folder.']);
end
