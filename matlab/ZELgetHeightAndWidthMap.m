function varargout = ZELgetHeightAndWidthMap(varargin)
%ZELgetHeightAndWidthMap  Height and width maps from peak interpolation across scales.
%   H = ZELgetHeightAndWidthMap(R, orientationIndex, scaleIndex, P, g, T, mode)
%   [H, W] = ZELgetHeightAndWidthMap(R, orientationIndex, scaleIndex, P, g, T, mode)
%
%   For every pixel the selected scale s* is refined by three-point peak
%   interpolation over the response magnitudes at the selected orientation
%   o* (a, c, b: abs of R(p,o*,s) at s = s*-1, s*, s*+1); an end scale
%   (s* = 1 or nS) stays whole. Exactly, in this order:
%
%     s^ = s* + (b - a) / ((c * 4) - ((b + a) * 2))
%     W  = t * T(o*,s*),  t = ratio^(s* - s^), t = 1 when s* - s^ is 0
%     H  = R(p,o*,s*) / N
%
%   with ratio = T(1,1) / T(1,2) (1 when nS < 3: only an inner scale has a
%   non-zero exponent). The width W scales the scale table's entry
%   geometrically to the refined position; the height H divides the signed
%   response by a value N of the profile table chosen by the normalisation
%   mode:
%     mode 1        N = P(1)
%     mode 3        N = P sampled at x, x first made 1 if above 1, then 0
%                   if below 0
%     other values  N = (P sampled at y + 0.5) - (P sampled at 0.5 - y), y
%                   being x made 0.5 if above 0.5, then -0.5 if below -0.5
%   with x = ((W / T(o*,s*)) * g) / (2*n) for n = numel(P), and "P sampled at
%   f" meaning P(fix(f*(n - 1)) + 1) (P(1) for a NaN f). The limits keep
%   every sample inside the table and let NaN pass. Each operation is one
%   IEEE double operation in the order written; where both operands of one
%   are NaN, the result is the left one's NaN. abs clears the sign bit.
%   NaNs and infinities are not errors: equal magnitudes at an inner scale,
%   for example, give a NaN width.
%
%   For a meaningful map, o* and s* are the orientation and the scale of the
%   peak of |R| at the pixel ([o, s] = ZELgetIndexMaps(R), not max of the
%   signed R): then c is the largest
%   of the three magnitudes and s^ lies within half a scale of s*. Elsewhere
%   the parabola may open upwards or be flat and the width is extrapolated
%   far off (widths of 1e-65 or 1e4 are a sign of such index maps). The
%   scales should grow geometrically, T(1,1)/T(1,2) being the ratio of every
%   two consecutive ones. W is in the unit of T (pixels, when T(o,s) is the
%   width scale s responds to most); H is in the unit of R divided by that of
%   P: the structure's contrast when P is the filter's response to a
%   structure of unit height, sampled across its width.
%
%   The table and the widths: in mode 3, entry k of P is read for W/T(o*,s*)
%   from 2n(k-1)/((n-1)g) up to 2nk/((n-1)g). [P, g] =
%   ZELgetProfileTable('line') holds there the response of a Gaussian line
%   of unit height (widths up to 2*T), so that H is the line's contrast;
%   ZELgetScaleTable gives T(o,s) = sigma/sqrt(2) for the scales of
%   ZELgetResponseStack, and ZELgetFeatureMaps every input from an image.
%
%   Inputs, by position:
%     1  R                 double, rows x cols x nO x nS  response stack (nS = 1
%                          for a 3-D array)
%     2  orientationIndex  uint16, rows x cols, 1..nO     selected orientation o*
%     3  scaleIndex        uint16, rows x cols, 1..nS     selected scale s*
%     4  P                 double, 1 to 65535 elements    profile table
%     5  g                 double scalar                  sampling gain
%     6  T                 double, nO x nS                scale table: T(o,s) is
%                          the width at a whole scale
%     7  mode              uint16 scalar                  normalisation mode; pass
%                          it as uint16(1), uint16(3), ...
%   Classes: every input given as double above may also be single, and the
%   index maps may also be double arrays of whole numbers (as [~, o] = max(...)
%   gives them). Inputs are read in place and widened as they are read, so
%   the result is, bit for bit, that of the call with double(...) of the
%   single inputs and uint16(...) of the maps. The output is always double.
%   Sizes are at most 65534 in every dimension and R holds at most 2^31
%   elements.
%
%   Outputs:
%     H                    double, rows x cols            height map
%     W                    double, rows x cols            width map (computed
%                          only when asked for)
%
%   Errors (identifier: cause):
%     ZELgetHeightAndWidthMap:invalidClass        an input of the wrong class, complex
%                                                 or sparse (uint16 or whole doubles
%                                                 for inputs 2 and 3, uint16 for 7,
%                                                 real double or single for the others)
%     ZELgetHeightAndWidthMap:emptyInput          g or mode has no element
%     ZELgetHeightAndWidthMap:invalidTableLength  P holds no element or more than 65535
%     ZELgetHeightAndWidthMap:tooFewElements      input 2 or 3 has fewer than rows*cols
%                                                 elements, or T fewer than nO*nS (an
%                                                 image with no pixel needs no table),
%                                                 or R is emptied by a zero size past
%                                                 its fourth
%     ZELgetHeightAndWidthMap:tooManyOutputs      more than two outputs requested
%     ZELgetHeightAndWidthMap:indexOutOfRange     an orientation index outside 1..nO,
%                                                 or a scale index outside 1..nS
%     ZELgetHeightAndWidthMap:tooLarge            a size of R above 65534, or more
%                                                 than 2^31 elements
%   A call with other than seven inputs fails with the message
%   "Seven input arguments required." (no identifier).
%   Warning ZELgetHeightAndWidthMap:suspiciousShape: an index map that is not
%   rows x cols (or a vector of rows*cols elements), a T that is not nO x nS
%   (or a vector), an R of more than four dimensions, or a g or mode of more
%   than one element is read all the same (in column order; g and mode as
%   their first element), but is most likely transposed, another array's
%   sizes or not the scalar meant; the map is computed all the same, and
%   warning('off', 'ZELgetHeightAndWidthMap:suspiciousShape') silences it.
%
%   Example:
%     R = rand(32, 32, 1, 4);
%     [o, s] = ZELgetIndexMaps(R);         % the peak of |R| at every pixel
%     P = 1 ./ (1 + linspace(0, 2, 33) .^ 2);
%     [H, W] = ZELgetHeightAndWidthMap(R, o, s, P, 16, ...
%                                      [2 3 4.5 6.75], uint16(3));
%
%   See also ZELgetOrientationMap, ZELgetBlobMap, ZELgetRidgeMap,
%   ZELgetProfileTable, ZELgetScaleTable, ZELgetFeatureMaps.

% This file holds the help text. A call goes to the MEX file of the same name
% beside it (.mexa64 in MATLAB, .mex in Octave), which takes precedence
% over this file; a call comes here only when that file is missing.
error('ZELgetHeightAndWidthMap:notBuilt', ['ZELgetHeightAndWidthMap has no MEX file on the path. ' ...
      'In MATLAB, unzip a release (zelmaps-<version>-glnxa64.zip) and addpath its folder, ' ...
      'or run build_zel_mex in the repository''s matlab folder. ' ...
      'In Octave, pkg install the package (zelmaps-<version>.tar.gz), ' ...
      'or run bash scripts/main.sh and addpath the repository''s build/octave folder.']);
end

% Tests and a demo for Octave's test and demo functions (test
% ZELgetHeightAndWidthMap, demo ZELgetHeightAndWidthMap, pkg test zelmaps);
% comments to MATLAB.
%
%!shared R, T, P
%! R = reshape([1.0, -2.0, 1.5], 1, 1, 1, 3);
%! T = [2, 3, 4.5];
%! P = 10:-1:1;
%
%!test
%! % One pixel, one orientation, three scales, the middle one selected:
%! % s^ = 2 + 0.5/(8 - 5) and the fraction x = (W/3)*4/20 (x*9 = 1.9258...)
%! % reads P(2) in mode 3; mode 1 divides by P(1), the difference mode by
%! % P(7) - P(3) = 4 - 8. The width holds the bits of glibc's pow.
%! [H, W] = ZELgetHeightAndWidthMap(R, uint16(1), uint16(2), P, 4, T, uint16(3));
%! assert(typecast([H, W], 'uint64'), typecast([-2 / 9, 3.2097395818009886], 'uint64'));
%! H = ZELgetHeightAndWidthMap(R, uint16(1), uint16(2), P, 4, T, uint16(1));
%! assert(typecast(H, 'uint64'), typecast(-0.2, 'uint64'));
%! H = ZELgetHeightAndWidthMap(R, uint16(1), uint16(2), P, 4, T, uint16(2));
%! assert(typecast(H, 'uint64'), typecast(0.5, 'uint64'));
%
%!test
%! % Single inputs and double index maps give the bits of the double call.
%! S = single(randn(9, 7, 2, 4));
%! [~, o] = max(abs(S(:, :, :, 2)), [], 3);
%! [~, s] = max(max(abs(S), [], 3), [], 4);
%! U = single([2, 3, 4.5, 6.75; 2.5, 3.75, 5.625, 8.4375]);
%! table = single(1 ./ (1 + linspace(0, 2, 33) .^ 2));
%! [H, W] = ZELgetHeightAndWidthMap(S, o, s, table, single(16), U, uint16(3));
%! [eH, eW] = ZELgetHeightAndWidthMap(double(S), uint16(o), uint16(s), double(table), 16, double(U), uint16(3));
%! assert(class(H), 'double');
%! assert(typecast([H(:); W(:)], 'uint64'), typecast([eH(:); eW(:)], 'uint64'));
%
%!error id=ZELgetHeightAndWidthMap:indexOutOfRange ZELgetHeightAndWidthMap(R, uint16(1), uint16(4), P, 4, T, uint16(3))
%!error id=ZELgetHeightAndWidthMap:invalidClass ZELgetHeightAndWidthMap(R, uint16(1), uint16(2), P, 4, T, 3)
%!warning id=ZELgetHeightAndWidthMap:suspiciousShape ZELgetHeightAndWidthMap(R, uint16(1), uint16(2), P, 4, T, uint16([3, 1]));
%
%!demo
%! % One row across three bright lines of height 0.6 and widths 1, 2 and
%! % 3.5 pixels (the standard deviation of their profiles), filtered by
%! % scale-normalised second derivatives of Gaussians at 5 scales, one
%! % orientation (across the lines). The scale table holds the width each
%! % scale responds to most, the profile table the response to a line of
%! % height 1 by width; in mode 3 the height is the line's contrast. The
%! % thinnest line is narrower than the smallest scale's width, 1.06.
%! x = 1:150;
%! widths = [1, 2, 3.5];  centres = [30, 75, 120];
%! row = zeros(1, 150);
%! for k = 1:3
%!   row = row + 0.6 * exp(-(x - centres(k)) .^ 2 / (2 * widths(k) ^ 2));
%! end
%! sigmas = 1.5 * 1.6 .^ (0:4);  t = -30:30;
%! R = zeros(1, 150, 1, 5);
%! for s = 1:5
%!   d2 = (t .^ 2 / sigmas(s) ^ 4 - 1 / sigmas(s) ^ 2) .* exp(-t .^ 2 / (2 * sigmas(s) ^ 2)) / (sqrt(2 * pi) * sigmas(s));
%!   R(1, :, 1, s) = -sigmas(s) ^ 2 * conv(row, d2, 'same');
%! end
%! [~, s] = max(abs(R), [], 4);
%! T = sigmas / sqrt(2);                   % the width scale s responds to most
%! n = 257;  u = 2 * (0:n-1) / (n - 1);    % widths of 0 to 2 T, sampled at x = u / 2
%! P = (u / sqrt(2)) ./ (1 + (u / sqrt(2)) .^ 2) .^ 1.5;
%! [H, W] = ZELgetHeightAndWidthMap(R, ones(1, 150), s, P, n, T, uint16(3));
%! fprintf('line of width %.1f: width %.2f, height %.2f\n', [widths; W(centres); H(centres)]);
