function varargout = ZELgetBlobMap(varargin)
%ZELgetBlobMap  Blob map: a score per pixel from the weakest oriented response at every scale.
%   B = ZELgetBlobMap(R, Q, orientationIndex, unused, c, P, g, A, T, amplitude)
%
%   For every pixel and every scale s the weakest polarity-corrected
%   response over all orientations, less the strongest penalty magnitude
%   over all orientations and the weighted magnitude of a profile sample, is
%   added up over the scales. The sum, floored at zero, is divided by the sum
%   over the scales of the larger of abs(R(p,o*,s)) and abs(b*Ps). Exactly,
%   at every pixel p, from r = 0 and sigma = 0, for s = 1, 2, ..., nS in turn:
%
%     w     = fsign(b)*R(p,1,s), then for o = 2..nO: fsign(b)*R(p,o,s) where
%             it is smaller than w (a NaN never replaces w, nor is replaced)
%     q     = 0, then for o = 1..nO: q = fmax(abs(Q(p,o,s)), q)
%     r     = ((w - q) + r) - (abs(Ps) * c)
%     sigma = fmax(abs(R(p,o*,s)), abs(b * Ps)) + sigma
%
%   and B = fmax(0, r) / sigma, where o* is the pixel's selected orientation,
%   b = amplitude(p), and Ps = P(k + 1) with k = fix(x*(n - 1)) (k = 0 when
%   x*(n - 1) is NaN), n = numel(P) and
%
%     x = ((A(p) / T(o*,s)) * g) / (2*n),  then 1 if above 1, then 0 if below 0
%
%   Each operation is one IEEE double operation in the order written
%   (a*b*c is (a*b)*c); where both operands of one are NaN, the result is
%   the left one's NaN. abs clears the sign bit. fmax(a, b) is a when a > b,
%   else b: b whenever either is NaN (max(a, b) returns the number). fsign(x)
%   is +0 for either zero, 1 above zero and -1 otherwise, -1 for NaN
%   (sign(NaN) is NaN). NaNs and infinities are not errors: they flow
%   through the arithmetic (a zero normaliser gives Inf or NaN).
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
%   The table and the widths: entry k of P is read for A/T from
%   2n(k-1)/((n-1)g) up to 2nk/((n-1)g), so P(k) is meant as the response
%   of a structure of unit height whose width is 2n(k-1)/((n-1)g) times T.
%   [P, g] = ZELgetProfileTable('spot') makes that table for round Gaussian
%   spots up to 8*T wide, ZELgetScaleTable the matching T, and
%   ZELgetFeatureMaps every input from an image.
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
%   vector of rows*cols elements), a T that is not nO x nS (or a vector), an
%   R of more than four dimensions, or a c or g of more than one element is
%   read all the same (in column order; c and g as their first element), but
%   is most likely transposed, another array's sizes or not the scalar
%   meant; the map is computed all the same, and warning('off',
%   'ZELgetBlobMap:suspiciousShape') silences it.
%
%   Example:
%     R = rand(32, 32, 8, 4);  Q = 0.1 * rand(size(R));
%     [o, s] = ZELgetIndexMaps(R);         % the peak of |R| at every pixel
%     T = repmat([2 3 4.5 6.75], 8, 1);
%     B = ZELgetBlobMap(R, Q, o, [], 0.05, linspace(0, 1, 33), 16, ...
%                       3 * ones(32), T, ones(32));
%
%   See also ZELgetRidgeMap, ZELgetHeightAndWidthMap, ZELgetProfileTable,
%   ZELgetScaleTable, ZELgetFeatureMaps.

% This file holds the help text. A call goes to the MEX file of the same name
% beside it (.mexa64 in MATLAB, .mex in Octave), which takes precedence
% over this file; a call comes here only when that file is missing.
error('ZELgetBlobMap:notBuilt', ['ZELgetBlobMap has no MEX file on the path. ' ...
      'In MATLAB, unzip a release (zelmaps-<version>-glnxa64.zip) and addpath its folder, ' ...
      'or run build_zel_mex in the repository''s matlab folder. ' ...
      'In Octave, pkg install the package (zelmaps-<version>.tar.gz), ' ...
      'or run bash scripts/main.sh and addpath the repository''s build/octave folder.']);
end

% Tests and a demo for Octave's test and demo functions (test ZELgetBlobMap,
% demo ZELgetBlobMap, pkg test zelmaps); comments to MATLAB.
%
%!shared R, Q
%! R = reshape([3, 1], 1, 1, 2);
%! Q = reshape([-0.5, 0.25], 1, 1, 2);
%
%!test
%! % One pixel, two orientations (the first selected), one scale. The
%! % fraction x = ((1/1)*8)/8 = 1 samples P(4) = 4; the weakest response is
%! % 1 and the strongest penalty magnitude 0.5, so the sum is
%! % (1 - 0.5) - 4*0.0625 = 0.25 and the normaliser max(3, |0.5*4|) = 3.
%! B = ZELgetBlobMap(R, Q, uint16(1), [], 0.0625, [0.5, 1, 2, 4], 8, 1, [1; 1], 0.5);
%! assert(typecast(B, 'uint64'), typecast(0.25 / 3, 'uint64'));
%
%!test
%! % Single inputs and a double index map give the bits of the double call.
%! S = single(randn(9, 7, 4, 3));  P = single(0.1 * randn(size(S)));
%! [~, o] = max(abs(S(:, :, :, 1)), [], 3);
%! A = single(3 * rand(9, 7));  b = single(randn(9, 7));  T = single([1, 2, 4; 1.5, 3, 6; 1, 2, 4; 2, 4, 8]);
%! c = single(0.05);  table = single(linspace(0, 1, 33));
%! B = ZELgetBlobMap(S, P, o, [], c, table, single(16), A, T, b);
%! expected = ZELgetBlobMap(double(S), double(P), uint16(o), [], double(c), double(table), 16, ...
%!                          double(A), double(T), double(b));
%! assert(class(B), 'double');
%! assert(typecast(B(:), 'uint64'), typecast(expected(:), 'uint64'));
%
%!error id=ZELgetBlobMap:indexOutOfRange ZELgetBlobMap(R, Q, uint16(3), [], 0.0625, [0.5, 1, 2, 4], 8, 1, [1; 1], 0.5)
%!error id=ZELgetBlobMap:invalidTableLength ZELgetBlobMap(R, Q, uint16(1), [], 0.0625, [], 8, 1, [1; 1], 0.5)
%!warning id=ZELgetBlobMap:suspiciousShape ZELgetBlobMap(R, Q, uint16(1), [], ones(16), [0.5, 1, 2, 4], 8, 1, [1; 1], 0.5);
%
%!demo
%! % Two bright spots beside a bright ring, filtered by second derivatives
%! % of Gaussians across 8 orientations at 2 scales. A spot responds at
%! % every orientation, a line at its own only: the blob map, which takes
%! % the weakest orientation, finds the spots; the penalty, a quarter of the
%! % first derivatives' magnitude, keeps the ring's flanks out. The profile
%! % table P = 0 leaves the profile terms out.
%! [x, y] = meshgrid(1:41);
%! image = exp(-((x - 30) .^ 2 + (y - 12) .^ 2) / 4) + exp(-((x - 30) .^ 2 + (y - 30) .^ 2) / 8) ...
%!         + exp(-(hypot(x - 13, y - 21) - 7) .^ 2 / 2);
%! nO = 8;  sigmas = [1.5, 2.4];
%! R = zeros(41, 41, nO, 2);  Q = R;
%! for s = 1:2
%!   t = -8:8;  g = exp(-t .^ 2 / (2 * sigmas(s) ^ 2));  g = g / sum(g);
%!   [Ix, Iy] = gradient(conv2(g, g, image, 'same'));
%!   [Ixx, Ixy] = gradient(Ix);  [~, Iyy] = gradient(Iy);
%!   for o = 1:nO
%!     a = (o - 1) * 180 / nO;  nx = -sind(a);  ny = -cosd(a);   % normal of the line at a degrees
%!     R(:, :, o, s) = -sigmas(s) ^ 2 * (nx ^ 2 * Ixx + 2 * nx * ny * Ixy + ny ^ 2 * Iyy);
%!     Q(:, :, o, s) = 0.25 * sigmas(s) * abs(nx * Ix + ny * Iy);
%!   end
%! end
%! [~, o] = max(abs(R(:, :, :, 1)), [], 3);
%! B = ZELgetBlobMap(R, Q, o, [], 0, 0, 1, ones(41), ones(nO, 2), ones(41));
%! shades = ' .:-o+*@';
%! k = 1 + round(7 * B);  k(isnan(k)) = 1;
%! disp('blob score of every pixel, from 0 (blank) to 1 (@): the spots, not the ring');
%! disp(shades(k(8:34, :)));
