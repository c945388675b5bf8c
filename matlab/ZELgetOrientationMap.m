function varargout = ZELgetOrientationMap(varargin)
%ZELgetOrientationMap  Orientation map: an angle in degrees per pixel from peak interpolation.
%   A = ZELgetOrientationMap(R, orientationIndex, scaleIndex, f)
%
%   Angles are in degrees with a period of 180. 0 is a line along the
%   image's x axis, that is along a row (columns to the right), and angles
%   grow counterclockwise as seen on screen with rows downwards: 45 is a
%   line rising to the right, 90 a line along a column, 135 a line falling
%   to the right. A is the angle of the filter bank's orientations refined
%   between them, so it means this only for a bank laid out as the mapping
%   f expects (a bank built clockwise, or from another axis, gives angles
%   in its own convention):
%     f = 0   orientation o is the line at (o-1)*180/nO degrees: nO
%             orientations spread evenly over 180 degrees, for any nO >= 2.
%     f ~= 0  orientation o <= H is the line at 90 + atan((o-Q-1)/D)
%             degrees and o > H the line at atan((o-H-Q-1)/D) degrees (plus
%             180 when negative), with H = floor(nO/2), Q = floor(nO/4) and
%             D = fix((nO-6)/4): two halves in which the tangent of the
%             angle, not the angle, steps evenly. The first half runs near
%             the columns, k = o-Q-1 pixels across for every D pixels along
%             a column; the second near the rows, k = o-H-Q-1 pixels across
%             for every D along a row: the layout of filters drawn along
%             discrete lines of those slopes. It is meant for nO = 10, 14,
%             18, ... (k = -Q..Q in each half) and needs nO >= 10, D >= 1;
%             for nO = 10 the orientations are 26.6, 45, 90, 135, 153.4,
%             116.6, 135, 0, 45 and 63.4 degrees.
%
%   For every pixel the selected orientation o* is refined by three-point
%   peak interpolation over the response magnitudes a, c, b (abs of R, the
%   sign bit cleared) at orientations o*-1, o*, o*+1 of the selected scale
%   s*, wrapping around (orientation nO comes before 1 and 1 after nO).
%   Exactly, in this order:
%
%     theta = o* + (b - a) / ((c * 4) - ((b + a) * 2)),
%             then theta + (nO - 6f) when below 1
%
%   and the position becomes an angle by the mapping that f selects, the
%   formulas above with theta in place of o:
%     f = 0  linear: A = ((theta - 1) / nO) * 180, the orientations spread
%            evenly over [0, 180)
%     f ~= 0 two halves in which the tangent of the angle is linear in the
%            position:
%            o* <= H: A = ((atan(((theta - Q) - 1) / D) * 180) / pi) + 90
%            o* >  H: A = (atan((((theta - H) - Q) - 1) / D) * 180) / pi,
%                     plus 180 when negative
%   Each operation is one IEEE double operation in the order written; where
%   both operands of one are NaN, the result is the left one's NaN.
%   A is NaN where the interpolation is undefined (three equal magnitudes).
%   The map can be passed as it is to ZELgetCurvatureMap.
%
%   For a meaningful map, o* and s* are the orientation and the scale of the
%   peak of |R| ([o, s] = ZELgetIndexMaps(R)), so that theta stays within half a
%   step of o* and A in [0, 180) degrees; from other index maps (max of the
%   signed R, say) theta and A can lie anywhere (thousands of degrees). f is
%   not a boolean: pass uint16(0) for orientations spread evenly over 180
%   degrees. Any other value selects the arctangent mapping and also sets the
%   wrap period nO - 6f; with 3 to 9 orientations D is 0 and that mapping
%   can only give 0, 90 or 180, so a call with fewer than 10 warns.
%
%   Inputs, by position:
%     1  R                 double, rows x cols x nO x nS  response stack (nS = 1
%                          for a 3-D array)
%     2  orientationIndex  uint16, rows x cols, 1..nO     selected orientation o*
%     3  scaleIndex        uint16, rows x cols, 1..nS     selected scale s*
%     4  f                 uint16 scalar                  angle mapping: uint16(0)
%                          linear, any other value the two-half mapping
%   Classes: every input given as double above may also be single, and the
%   index maps may also be double arrays of whole numbers (as [~, o] = max(...)
%   gives them). Inputs are read in place and widened as they are read, so
%   the result is, bit for bit, that of the call with double(...) of the
%   single inputs and uint16(...) of the maps. The output is always double.
%   Sizes are at most 65534 in every dimension and R holds at most 2^31
%   elements.
%
%   Output:
%     A                    double, rows x cols            orientation map, degrees
%
%   Errors (identifier: cause):
%     ZELgetOrientationMap:invalidClass     an input of the wrong class, complex or
%                                           sparse (uint16 or whole doubles for
%                                           inputs 2 and 3, uint16 for 4, real
%                                           double or single for R)
%     ZELgetOrientationMap:emptyInput       f has no element
%     ZELgetOrientationMap:tooFewElements   input 2 or 3 has fewer than rows*cols
%                                           elements, or R is emptied by a zero
%                                           size past its fourth
%     ZELgetOrientationMap:tooManyOutputs   more than one output requested
%     ZELgetOrientationMap:indexOutOfRange  an orientation index outside 1..nO, or a
%                                           scale index outside 1..nS
%     ZELgetOrientationMap:tooLarge         a size of R above 65534, or more than
%                                           2^31 elements
%   A call with other than four inputs fails with the message
%   "Four input arguments required." (no identifier).
%   Warnings (identifier: cause); the map is computed all the same, and
%   warning('off', identifier) silences one:
%     ZELgetOrientationMap:suspiciousShape     an index map that is not rows x
%                                              cols (or a vector of rows*cols
%                                              elements), an R of more than four
%                                              dimensions, or an f of more than
%                                              one element: read all the same (f
%                                              as its first element), but most
%                                              likely transposed or another
%                                              array's sizes
%     ZELgetOrientationMap:tooFewOrientations  f ~= 0 with fewer than 10
%                                              orientations: the arctangent
%                                              mapping then gives angles that are
%                                              not those of the orientations
%
%   Example:
%     R = rand(32, 32, 8);                 % one scale
%     [o, s] = ZELgetIndexMaps(R);         % the peak of |R| at every pixel
%     A = ZELgetOrientationMap(R, o, s, uint16(0));
%
%   See also ZELgetCurvatureMap, ZELgetHeightAndWidthMap.

% This file holds the help text. A call goes to the MEX file of the same name
% beside it (.mexa64 in MATLAB, .mex in Octave), which takes precedence
% over this file; a call comes here only when that file is missing.
error('ZELgetOrientationMap:notBuilt', ['ZELgetOrientationMap has no MEX file on the path. ' ...
      'In MATLAB, unzip a release (zelmaps-<version>-glnxa64.zip) and addpath its folder, ' ...
      'or run build_zel_mex in the repository''s matlab folder. ' ...
      'In Octave, pkg install the package (zelmaps-<version>.tar.gz), ' ...
      'or run bash scripts/main.sh and addpath the repository''s build/octave folder.']);
end

% Tests and a demo for Octave's test and demo functions (test
% ZELgetOrientationMap, demo ZELgetOrientationMap, pkg test zelmaps);
% comments to MATLAB.
%
%!shared R8
%! R8 = ones(1, 8, 8);
%! for k = 1:8
%!   R8(1, k, k) = 2;
%! end
%
%!test
%! % Eight orientations, one scale, pixel k selecting orientation k, where the
%! % response is 2 against 1 at both neighbours: the peak stays at k and the
%! % linear mapping gives (k - 1) * 22.5 degrees.
%! A = ZELgetOrientationMap(R8, uint16(1:8), uint16(ones(1, 8)), uint16(0));
%! assert(typecast(A, 'uint64'), typecast((0:7) * 22.5, 'uint64'));
%
%!test
%! % The arctangent mapping of 10 orientations: the angles of its layout.
%! R = ones(1, 10, 10);
%! for k = 1:10
%!   R(1, k, k) = 2;
%! end
%! A = ZELgetOrientationMap(R, uint16(1:10), uint16(ones(1, 10)), uint16(1));
%! expected = [90 + atand(-2:2), mod(atand(-2:2), 180)];
%! assert(A, expected, 1e-12);
%
%!test
%! % Single inputs and double index maps give the bits of the double call.
%! S = single(randn(9, 7, 8, 2));
%! [~, o] = max(abs(S(:, :, :, 1)), [], 3);
%! A = ZELgetOrientationMap(S, o, ones(9, 7), uint16(0));
%! expected = ZELgetOrientationMap(double(S), uint16(o), uint16(ones(9, 7)), uint16(0));
%! assert(class(A), 'double');
%! assert(typecast(A(:), 'uint64'), typecast(expected(:), 'uint64'));
%
%!error id=ZELgetOrientationMap:indexOutOfRange ZELgetOrientationMap(R8, uint16(1:8), uint16(2 * ones(1, 8)), uint16(0))
%!error id=ZELgetOrientationMap:invalidClass ZELgetOrientationMap(R8, uint16(1:8), uint16(ones(1, 8)), 0)
%!warning id=ZELgetOrientationMap:tooFewOrientations ZELgetOrientationMap(R8, uint16(1:8), uint16(ones(1, 8)), uint16(1));
%
%!demo
%! % Straight bright lines through the centre of a 41 x 41 image, one image
%! % per angle (counterclockwise from the x axis as seen with rows
%! % downwards), filtered by second derivatives of a Gaussian across 8
%! % orientations: orientation o is the line at (o - 1) * 22.5 degrees, the
%! % layout of the linear mapping. The map at the centre gives each line's
%! % angle back to about a degree.
%! [x, y] = meshgrid(1:41);
%! nO = 8;  sigma = 2;  t = -8:8;
%! g = exp(-t .^ 2 / (2 * sigma ^ 2));  g = g / sum(g);
%! for angle = [0, 10, 30, 45, 80, 100, 150, 170]
%!   across = (x - 21) * sind(angle) + (y - 21) * cosd(angle);   % distance from the line
%!   [Ix, Iy] = gradient(conv2(g, g, exp(-across .^ 2 / 2), 'same'));
%!   [Ixx, Ixy] = gradient(Ix);  [~, Iyy] = gradient(Iy);
%!   R = zeros(41, 41, nO);
%!   for o = 1:nO
%!     a = (o - 1) * 180 / nO;  nx = -sind(a);  ny = -cosd(a);
%!     R(:, :, o) = -sigma ^ 2 * (nx ^ 2 * Ixx + 2 * nx * ny * Ixy + ny ^ 2 * Iyy);
%!   end
%!   [~, o] = max(abs(R), [], 3);
%!   A = ZELgetOrientationMap(R, o, ones(41), uint16(0));
%!   fprintf('line at %5.1f degrees: orientation map %6.2f\n', angle, A(21, 21));
%! end
