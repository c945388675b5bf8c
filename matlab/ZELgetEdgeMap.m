function varargout = ZELgetEdgeMap(varargin)
%ZELgetEdgeMap  Edge map: a score per pixel from the response summed over the scales.
%   E = ZELgetEdgeMap(R, Q, orientationIndex, scaleIndex, c, b)
%
%   For every pixel the response at its selected orientation o* is summed
%   over all scales; from the magnitude of that sum the penalty at o* and a
%   fixed penalty fabs(b)*c are subtracted for every scale, and the result,
%   floored at zero, is divided by the sum over the scales of the larger of
%   fabs(R(p,o*,s)) and the magnitude of the reference response R(p,o*,s*).
%   Exactly, at every pixel p, with s = 1, 2, ..., nS in turn in each line:
%
%     v     = 0, then v = v + R(p,o*,s) for every s
%     v     = fabs(v), then v = (v - Q(p,o*,s)) - d for every s
%     sigma = 0, then sigma = fmax(fabs(R(p,o*,s)), fabs(R(p,o*,s*))) + sigma
%             for every s
%
%   and E = fmax(0, v) / sigma, with d = fabs(b) * c. Each operation is one
%   IEEE double operation in the order written; where both operands of one
%   are NaN, the result is the left one's NaN. fmax(a, b) is a when a > b,
%   else b: b whenever either is NaN (max(a, b) returns the number).
%   fabs(x) is x when x > 0, else -x: it flips the sign of -0 and of a NaN
%   (abs clears it).
%
%   The selected scale s* enters only through the reference response, that
%   is only the normaliser. NaNs and infinities are not errors: they flow
%   through the arithmetic (a zero normaliser gives Inf or NaN). A stack
%   with no scale (nS = 0) has no scale to select, so as with the other
%   maps that take a scale index map, a call with pixels ends in an error;
%   an image with no pixel gives an empty map.
%
%   For a meaningful map, o* and s* are the orientation and the scale of the
%   peak of |R| at the pixel (as in the example), and Q, c and fabs(b) are not
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
%     6  b                 double scalar                  penalty factor; only fabs(b)
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
%                                    index outside 1..nS (any index when nS = 0)
%     ZELgetEdgeMap:tooLarge         a size of R above 65534, or more than 2^31
%                                    elements
%   A call with other than six inputs fails with the message
%   "Six input arguments required." (no identifier).
%   Warning ZELgetEdgeMap:suspiciousShape: an index map that is not rows x
%   cols (or a vector of rows*cols elements), an R of more than four
%   dimensions, or a c or b of more than one element is read all the same
%   (in column order; c and b as their first element), but is most likely
%   transposed, another array's sizes or not the scalar meant; the map is
%   computed all the same, and warning('off', 'ZELgetEdgeMap:suspiciousShape')
%   silences it.
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

% Tests and a demo for Octave's test and demo functions (test ZELgetEdgeMap,
% demo ZELgetEdgeMap, pkg test zelmaps); comments to MATLAB.
%
%!shared R, Q
%! R = reshape([2, -1, 4], 1, 1, 1, 3);
%! Q = reshape([0.5, 0, 0.25], 1, 1, 1, 3);
%
%!test
%! % One pixel, one orientation, three scales: the summed response is 5,
%! % the numerator (((((5 - 0.5) - 0.2) - 0) - 0.2) - 0.25) - 0.2 and the
%! % normaliser 4 + 4 + 4, against the reference response at scale 3.
%! E = ZELgetEdgeMap(R, Q, uint16(1), uint16(3), 0.1, -2);
%! assert(typecast(E, 'uint64'), typecast(0.30416666666666664, 'uint64'));
%
%!test
%! % Single inputs and double index maps give the bits of the double call.
%! S = single(randn(9, 7, 4, 3));  P = single(0.1 * rand(size(S)));
%! [~, o] = max(abs(sum(S, 4)), [], 3);
%! [~, s] = max(max(abs(S), [], 3), [], 4);
%! c = single(0.05);
%! E = ZELgetEdgeMap(S, P, o, s, c, 1);
%! expected = ZELgetEdgeMap(double(S), double(P), uint16(o), uint16(s), double(c), 1);
%! assert(class(E), 'double');
%! assert(typecast(E(:), 'uint64'), typecast(expected(:), 'uint64'));
%
%!error id=ZELgetEdgeMap:indexOutOfRange ZELgetEdgeMap(R, Q, uint16(1), uint16(4), 0.1, -2)
%!error <has no scale to select> ZELgetEdgeMap(zeros(2, 2, 3, 0), zeros(2, 2, 3, 0), uint16(ones(2)), uint16(ones(2)), 0, 0)
%!error <input 5 \(penalty weight\) has no element> ZELgetEdgeMap(R, Q, uint16(1), uint16(3), [], -2)
%!warning <only its first element, 0.1, is read> ZELgetEdgeMap(R, Q, uint16(1), uint16(3), [0.1, 0.05], -2);
%
%!demo
%! % A disc of contrast 1, filtered by first derivatives of Gaussians across
%! % 8 orientations at 2 scales; the index maps select the strongest
%! % magnitude and the penalty is a tenth of it. The edge score is high on
%! % the rim only.
%! [x, y] = meshgrid(1:31);
%! image = double(hypot(x - 16, y - 16) < 9);
%! sigmas = [1.5, 2.4];  nO = 8;
%! R = zeros(31, 31, nO, 2);
%! for s = 1:2
%!   t = -8:8;  g = exp(-t .^ 2 / (2 * sigmas(s) ^ 2));  g = g / sum(g);
%!   [Ix, Iy] = gradient(conv2(g, g, image, 'same'));
%!   for o = 1:nO
%!     a = (o - 1) * 180 / nO;             % orientation o: the line at a degrees
%!     R(:, :, o, s) = sigmas(s) * (-sind(a) * Ix - cosd(a) * Iy);
%!   end
%! end
%! [best, at] = max(abs(R), [], 3);
%! [~, s] = max(best, [], 4);
%! o = at(reshape(1:31 ^ 2, 31, 31) + 31 ^ 2 * (s - 1));
%! E = ZELgetEdgeMap(R, 0.1 * abs(R), o, s, 0.01, 1);
%! shades = ' .:-o+*@';                    % 0 to 1, and NaN (no response) blank
%! k = 1 + round(7 * E(1:2:end, 1:2:end));  k(isnan(k)) = 1;
%! disp('edge score of every other pixel, from 0 (blank) to 1 (@):');
%! disp(shades(k));
