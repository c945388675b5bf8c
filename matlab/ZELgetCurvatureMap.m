function varargout = ZELgetCurvatureMap(varargin)
%ZELgetCurvatureMap  Curvature map: the change of orientation along one-pixel-wide curves.
%   K = ZELgetCurvatureMap(O)
%
%   K has no unit: it is the chord of half the turn of orientation between
%   a pixel's two neighbours on a curve, 0 where the curve is straight. On a
%   circle of radius r pixels it is about 1/r where the curve runs along
%   the rows or columns and up to about 1.4/r where it runs diagonally,
%   since the two neighbours lie 2 pixels apart in the first case and
%   2*sqrt(2) in the second. Measured on digital circles of radius 5 to
%   100: 0.98/r on average where both neighbours lie in the pixel's row or
%   column, 1.40/r where both lie diagonally, 1.10/r where one does each,
%   1.08/r to 1.18/r averaged around a circle. It is defined on
%   one-pixel-wide curves of an orientation map in degrees: NaN off them,
%   at their ends and junctions, and on the image border.
%
%   O is an orientation map: an angle in degrees per pixel with a period of
%   180, NaN where a pixel carries no orientation (ZELgetOrientationMap
%   returns such maps; set the pixels off the curves to NaN). A pixel with a
%   value and exactly two valid (non-NaN) neighbours among its eight is an
%   inner point of a curve; with c its own angle and A, B the angles of the
%   first and the second valid neighbour (row above left to right, left,
%   right, row below left to right):
%
%     d1 = wrap(c - B),  d2 = wrap(A - c),  delta = d2 + d1
%     h  = sin(((abs(delta) * 0.5) * pi) / 360),  K = h + h
%
%   in this order, where wrap subtracts 180 above 90 and then adds 180 below
%   -90, and abs clears the sign bit; where both operands of one operation
%   are NaN, the result is the left one's NaN. K = 2*sin(abs(delta)*pi/720)
%   is the chord that an angle of abs(delta)/2 degrees cuts from the unit
%   circle: 0
%   where the orientation does not turn, at most sqrt(2) for angles in
%   [0, 180). End points, junctions, thick regions, isolated pixels and the
%   image border are NaN.
%
%   For a meaningful map, the angles are degrees in [0, 180) (mod(O, 180)
%   brings them there: one half-turn wrap only is applied, so a neighbour at
%   370 next to 10 gives sqrt(2) rather than 0), and the curves are one
%   pixel wide: thin the mask of the structures (bwmorph(mask, 'thin', Inf)
%   in MATLAB's Image Processing Toolbox or Octave's image package) and set
%   O to NaN off the thinned curves. A map with angles at pixels inside its
%   border but no curve point (a map not thinned) is NaN everywhere and
%   warns. A map in radians gives a K about 57 times too small; it warns
%   when at least 10 curve points hold angles all within [-pi, pi] that
%   spread over more than 1, which a map in degrees does only when all its
%   curves run within about 3 degrees of the x axis (and then warns
%   wrongly).
%
%   Input:
%     1  O                 double, rows x cols            orientation map,
%                          degrees; further dimensions are ignored
%   Classes: O may also be single; it is read in place and widened, so the
%   result is, bit for bit, that of ZELgetCurvatureMap(double(O)). The output
%   is always double.
%   Sizes are at most 65534 in each of the first two dimensions.
%
%   Output:
%     K                    double, rows x cols            curvature map
%
%   Errors (identifier: cause):
%     ZELgetCurvatureMap:invalidClass  O is not a real, non-sparse double or single array
%     ZELgetCurvatureMap:tooLarge      rows or cols above 65534, or more than 2^31
%                                      pixels
%     ZELgetCurvatureMap:tooFewElements  O is emptied by a zero size past its second,
%                                        so it holds none of its rows x cols elements
%     ZELgetCurvatureMap:tooManyOutputs  more than one output requested
%   A call with other than one input fails with the message
%   "One input arguments required." (no identifier).
%   Warnings (identifier: cause); the map is computed all the same, and
%   warning('off', identifier) silences one:
%     ZELgetCurvatureMap:suspiciousShape   an O of more than two dimensions:
%                                          read all the same, in column order,
%                                          but most likely another array's sizes
%     ZELgetCurvatureMap:noCurvePoints     O holds angles inside its border, but
%                                          no pixel has exactly two neighbours
%                                          with one: K is NaN everywhere (thin
%                                          the curves)
%     ZELgetCurvatureMap:looksLikeRadians  10 or more curve points, whose angles
%                                          all lie within [-pi, pi] and spread
%                                          over more than 1 (pass rad2deg(O))
%
%   Example:
%     O = NaN(9);  O(5, 2:8) = [10 20 30 40 50 60 70];
%     K = ZELgetCurvatureMap(O);   % K(5, 3:7) is 2*sin(20*pi/720)
%
%   See also ZELgetOrientationMap.

% This file holds the help text. A call goes to the MEX file of the same name
% beside it (.mexa64 in MATLAB, .mex in Octave), which takes precedence
% over this file; a call comes here only when that file is missing.
error('ZELgetCurvatureMap:notBuilt', ['ZELgetCurvatureMap has no MEX file on the path. ' ...
      'In MATLAB, unzip a release (zelmaps-<version>-glnxa64.zip) and addpath its folder, ' ...
      'or run build_zel_mex in the repository''s matlab folder. ' ...
      'In Octave, pkg install the package (zelmaps-<version>.tar.gz), ' ...
      'or run bash scripts/main.sh and addpath the repository''s build/octave folder.']);
end

% Tests and a demo for Octave's test and demo functions (test
% ZELgetCurvatureMap, demo ZELgetCurvatureMap, pkg test zelmaps); comments to
% MATLAB.
%
%!test
%! % Centre 50 between a first neighbour at 10 and a second at 170: the step
%! % 50 - 170 wraps to 60, 10 - 50 is -40, the orientation turns by 20
%! % degrees and K = 2*sin(20*pi/720).
%! O = NaN(3);  O(2, 2) = 50;  O(1, 1) = 10;  O(3, 3) = 170;
%! K = ZELgetCurvatureMap(O);
%! s = sin(((20 * 0.5) * pi) / 360);
%! assert(typecast(K(2, 2), 'uint64'), typecast(s + s, 'uint64'));
%! assert(all(isnan(K([1:4, 6:9]))));
%
%!test
%! % A single map gives the bits of the double call.
%! O = NaN(17, 31);
%! O(9, 2:30) = single(180 * rand(1, 29));
%! O(2:16, 12) = single(170 * rand(15, 1));
%! K = ZELgetCurvatureMap(single(O));
%! expected = ZELgetCurvatureMap(O);
%! assert(class(K), 'double');
%! assert(typecast(K(:), 'uint64'), typecast(expected(:), 'uint64'));
%
%!error id=ZELgetCurvatureMap:invalidClass ZELgetCurvatureMap(uint16(ones(3)))
%!warning id=ZELgetCurvatureMap:noCurvePoints ZELgetCurvatureMap(90 * ones(5));
%!warning id=ZELgetCurvatureMap:looksLikeRadians ZELgetCurvatureMap([NaN(1, 14); NaN, linspace(0, 2, 12), NaN; NaN(1, 14)]);
%
%!demo
%! % Digital circles of radius r, one pixel wide, each pixel holding the
%! % angle of the circle's tangent there: K is about 1/r where the circle
%! % runs along a row or a column and about 1.4/r where it runs diagonally.
%! for r = [6, 12, 24]
%!   n = 2 * r + 5;  c = r + 3;  O = NaN(n);
%!   x = r;  y = 0;  e = 1 - r;              % the midpoint circle, an octant at a time
%!   while x >= y
%!     for p = [x, y; y, x; -y, x; -x, y; -x, -y; -y, -x; y, -x; x, -y]'
%!       O(c - p(2), c + p(1)) = mod(atan2d(p(2), p(1)) + 90, 180);
%!     end
%!     y = y + 1;
%!     if e < 0
%!       e = e + 2 * y + 1;
%!     else
%!       x = x - 1;  e = e + 2 * (y - x) + 1;
%!     end
%!   end
%!   K = ZELgetCurvatureMap(O);
%!   on = isfinite(K);
%!   straight = conv2(double(~isnan(O)), [0, 1, 0; 1, 0, 1; 0, 1, 0], 'same');   % neighbours in its row or column
%!   fprintf('r = %2d: K*r %.2f where both neighbours lie in the row or column, %.2f where both lie diagonally, %.2f on average\n', ...
%!           r, mean(K(on & straight == 2)) * r, mean(K(on & straight == 0)) * r, mean(K(on)) * r);
%! end
