function varargout = ZELgetRidgeMap(varargin)
%ZELgetRidgeMap  Ridge map: a score per pixel from the response at its selected orientation.
%   K = ZELgetRidgeMap(R, Q, orientationIndex, unused, c, P, g, A, T, amplitude)
%
%   For every pixel and every scale s the profile table is sampled at two
%   positions placed symmetrically about its centre; their difference d
%   signs the response at the selected orientation o*, and its weighted
%   magnitude and the penalty at o* are subtracted. The sum over the scales,
%   floored at zero, is divided by the sum over the scales of the larger of
%   fabs(R(p,o*,s)) and fabs(d*amplitude(p)). Exactly, at every pixel p, from
%   r = 0 and sigma = 0, for s = 1, 2, ..., nS in turn:
%
%     r     = ((fsign(d) * fsign(b)) * R(p,o*,s)) + r
%     r     = r - ((fabs(d) * c) + Q(p,o*,s))
%     sigma = fmax(fabs(R(p,o*,s)), fabs(d * b)) + sigma
%
%   and K = fmax(0, r) / sigma, with b = amplitude(p), n = numel(P),
%
%     x = ((A(p) / T(o*,s)) * g) / (2*n),  then 0.5 if above 0.5, then -0.5
%         if below -0.5
%     d = P(fix((0.5 + x)*(n - 1)) + 1) - P(fix((0.5 - x)*(n - 1)) + 1)
%
%   (both samples P(1) when x is NaN). Each operation is one IEEE double
%   operation in the order written (a*b*c is (a*b)*c); where both operands
%   of one are NaN, the result is the left one's NaN. fmax(a, b) is a when
%   a > b, else b: b whenever either is NaN (max(a, b) returns the number).
%   fabs(x) is x when x > 0, else -x: it flips the sign of -0 and of a NaN
%   (abs clears it). fsign(x) is +0 for either zero, 1 above zero and -1
%   otherwise, -1 for NaN (sign(NaN) is NaN). Only orientation o* of the
%   stacks is read, and the penalty enters with its sign. NaNs and
%   infinities are not errors: they flow through the arithmetic (a zero
%   normaliser gives Inf or NaN).
%
%   For a meaningful map: o* is the orientation of the peak of |R| at the
%   pixel (o from [o, s] = ZELgetIndexMaps(R), not max of the signed R); A
%   and T are in the same unit (pixels, say: A the structure's width,
%   from ZELgetHeightAndWidthMap, T(o,s) the width scale s responds to most);
%   the amplitude's sign is the polarity sought (+1 bright, -1 dark).
%   Sizes, scale table entries and g that are not negative keep x at 0 or
%   above; an x below -0.5 is raised to -0.5 (the samples at the table's two
%   ends) so that nothing outside P is read, the only limit applied without
%   an error. The map is a dimensionless score: 0 where nothing is found,
%   and at most 1 when c and the penalty stack are not negative.
%
%   The table and the widths: the samples are taken at 0.5 + x and 0.5 - x
%   of the table's length, x = ((A/T)*g)/(2n), so d should be the response
%   that a line of unit height and width A gives at scale s: a table odd
%   about its centre whose two halves differ by that response.
%   [P, g] = ZELgetProfileTable('linePair') makes it for Gaussian lines up
%   to 4*T wide, ZELgetScaleTable the matching T, and ZELgetFeatureMaps
%   every input from an image.
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
%                          is the polarity of the ridges sought
%   Classes: every input given as double above may also be single, and the
%   index maps may also be double arrays of whole numbers (as [~, o] = max(...)
%   gives them). Inputs are read in place and widened as they are read, so
%   the result is, bit for bit, that of the call with double(...) of the
%   single inputs and uint16(...) of the maps. The output is always double.
%   Sizes are at most 65534 in every dimension and R holds at most 2^31
%   elements.
%
%   Output:
%     K                    double, rows x cols            ridge map
%
%   Errors (identifier: cause):
%     ZELgetRidgeMap:invalidClass        an input of the wrong class, complex or sparse
%                                        (uint16 or whole doubles for input 3, real double
%                                        or single for the others but input 4)
%     ZELgetRidgeMap:emptyInput          c or g has no element
%     ZELgetRidgeMap:invalidTableLength  P holds no element or more than 65535
%     ZELgetRidgeMap:tooFewElements      input 3, 8 or 10 has fewer than rows*cols
%                                        elements, or T fewer than nO*nS (an image
%                                        with no pixel needs no table), or R is
%                                        emptied by a zero size past its fourth
%     ZELgetRidgeMap:tooManyOutputs      more than one output requested
%     ZELgetRidgeMap:sizeMismatch        Q is not the size of R
%     ZELgetRidgeMap:indexOutOfRange     an orientation index outside 1..nO
%     ZELgetRidgeMap:tooLarge            a size of R above 65534, or more than 2^31
%                                        elements
%   A call with other than ten inputs fails with the message
%   "Ten input arguments required." (no identifier).
%   Warning ZELgetRidgeMap:suspiciousShape: a map that is not rows x cols (or a
%   vector of rows*cols elements), a T that is not nO x nS (or a vector), an
%   R of more than four dimensions, or a c or g of more than one element is
%   read all the same (in column order; c and g as their first element), but
%   is most likely transposed, another array's sizes or not the scalar
%   meant; the map is computed all the same, and warning('off',
%   'ZELgetRidgeMap:suspiciousShape') silences it.
%
%   Example:
%     R = rand(32, 32, 8, 4);  Q = 0.1 * rand(size(R));
%     [o, s] = ZELgetIndexMaps(R);         % the peak of |R| at every pixel
%     T = repmat([2 3 4.5 6.75], 8, 1);
%     K = ZELgetRidgeMap(R, Q, o, [], 0.05, linspace(-1, 1, 33), 16, ...
%                        3 * ones(32), T, ones(32));
%
%   See also ZELgetBlobMap, ZELgetEdgeMap, ZELgetHeightAndWidthMap,
%   ZELgetProfileTable, ZELgetScaleTable, ZELgetFeatureMaps.

% This file holds the help text. A call goes to the MEX file of the same name
% beside it (.mexa64 in MATLAB, .mex in Octave), which takes precedence
% over this file; a call comes here only when that file is missing.
error('ZELgetRidgeMap:notBuilt', ['ZELgetRidgeMap has no MEX file on the path. ' ...
      'In MATLAB, unzip a release (zelmaps-<version>-glnxa64.zip) and addpath its folder, ' ...
      'or run build_zel_mex in the repository''s matlab folder. ' ...
      'In Octave, pkg install the package (zelmaps-<version>.tar.gz), ' ...
      'or run bash scripts/main.sh and addpath the repository''s build/octave folder.']);
end

% Tests and a demo for Octave's test and demo functions (test ZELgetRidgeMap,
% demo ZELgetRidgeMap, pkg test zelmaps); comments to MATLAB.
%
%!shared R, Q, T
%! R = 100 * ones(1, 1, 2, 2);  R(1, 1, 2, :) = [2, 3];
%! Q = 100 * ones(1, 1, 2, 2);  Q(1, 1, 2, :) = [0.25, 0.5];
%! T = [7, 7; 1, 4];
%
%!test
%! % One pixel, two orientations (the second selected), two scales. Scale 1:
%! % x = ((1/1)*10)/10 = 1, limited to 0.5, samples P(5) - P(1) = 4, so
%! % r = 2 - (4*0.125 + 0.25) = 1.25 and the normaliser max(2, 4) = 4.
%! % Scale 2: x = 0.25 samples P(4) - P(2) = 2, r = 1.25 + 3 - (2*0.125 + 0.5)
%! % = 3.5 and the normaliser 4 + max(3, 2) = 7.
%! K = ZELgetRidgeMap(R, Q, uint16(2), [], 0.125, 1:5, 10, 1, T, 1);
%! assert(typecast(K, 'uint64'), typecast(0.5, 'uint64'));
%
%!test
%! % Single inputs and a double index map give the bits of the double call.
%! S = single(randn(9, 7, 4, 3));  P = single(0.1 * randn(size(S)));
%! [~, o] = max(abs(S(:, :, :, 1)), [], 3);
%! A = single(3 * rand(9, 7));  b = single(randn(9, 7));  U = single([1, 2, 4; 1.5, 3, 6; 1, 2, 4; 2, 4, 8]);
%! c = single(0.05);  table = single(linspace(-1, 1, 33));
%! K = ZELgetRidgeMap(S, P, o, [], c, table, single(16), A, U, b);
%! expected = ZELgetRidgeMap(double(S), double(P), uint16(o), [], double(c), double(table), 16, ...
%!                           double(A), double(U), double(b));
%! assert(class(K), 'double');
%! assert(typecast(K(:), 'uint64'), typecast(expected(:), 'uint64'));
%
%!error id=ZELgetRidgeMap:indexOutOfRange ZELgetRidgeMap(R, Q, uint16(3), [], 0.125, 1:5, 10, 1, T, 1)
%!error id=ZELgetRidgeMap:tooFewElements ZELgetRidgeMap(R, Q, uint16(2), [], 0.125, 1:5, 10, 1, T(1:3), 1)
%!warning <input 5 \(penalty weight\) is 16 x 16, not a scalar> ZELgetRidgeMap(R, Q, uint16(2), [], ones(16), 1:5, 10, 1, T, 1);
%
%!demo
%! % A bright ring and a dark line, filtered by second derivatives of a
%! % Gaussian across 8 orientations: R is large where a bright line runs
%! % along orientation o. With a positive amplitude the ridge map finds the
%! % bright ring and not the dark line; the penalty, the first derivative's
%! % magnitude, and the weight c = 0.05 on the profile term keep the flanks
%! % out.
%! [x, y] = meshgrid(1:31);
%! image = exp(-(hypot(x - 16, y - 16) - 9) .^ 2 / 2) - exp(-(x - 28) .^ 2 / 2);
%! nO = 8;  sigma = 1.5;
%! t = -6:6;  g = exp(-t .^ 2 / (2 * sigma ^ 2));  g = g / sum(g);
%! [Ix, Iy] = gradient(conv2(g, g, image, 'same'));
%! [Ixx, Ixy] = gradient(Ix);  [~, Iyy] = gradient(Iy);
%! R = zeros(31, 31, nO);  Q = R;
%! for o = 1:nO
%!   a = (o - 1) * 180 / nO;  nx = -sind(a);  ny = -cosd(a);   % normal of the line at a degrees
%!   R(:, :, o) = -sigma ^ 2 * (nx ^ 2 * Ixx + 2 * nx * ny * Ixy + ny ^ 2 * Iyy);
%!   Q(:, :, o) = sigma * abs(nx * Ix + ny * Iy);
%! end
%! [~, o] = max(abs(R), [], 3);
%! P = linspace(-1, 1, 33);                % an odd profile table: P(0.5+x) - P(0.5-x) > 0
%! K = ZELgetRidgeMap(R, Q, o, [], 0.05, P, 16, ones(31), ones(nO, 1), 0.1 * ones(31));
%! shades = ' .:-o+*@';
%! k = 1 + round(7 * K);  k(isnan(k)) = 1;
%! disp('ridge score of every pixel, from 0 (blank) to 1 (@): the ring, not the dark line');
%! disp(shades(k(5:27, :)));
