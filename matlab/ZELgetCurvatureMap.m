function varargout = ZELgetCurvatureMap(varargin)
%ZELgetCurvatureMap  Curvature map: the change of orientation along one-pixel-wide curves.
%   K = ZELgetCurvatureMap(O)
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
%     K  = 2 * sin(|delta| * pi / 720)
%
%   where wrap subtracts 180 above 90 and then adds 180 below -90. K is the
%   chord that an angle of |delta|/2 degrees cuts from the unit circle: 0
%   where the orientation does not turn, at most sqrt(2) for angles in
%   [0, 180). End points, junctions, thick regions, isolated pixels and the
%   image border are NaN.
%
%   For a meaningful map, the angles lie in [0, 180) (mod(O, 180) brings
%   them there: one half-turn wrap only is applied, so a neighbour at 370
%   next to 10 gives sqrt(2) rather than 0), and the curves are one pixel
%   wide: thin the mask of the structures (bwmorph(mask, 'thin', Inf) in
%   MATLAB's Image Processing Toolbox or Octave's image package) and set O to
%   NaN off the thinned curves. K has no unit: it is the chord of half the
%   turn between a pixel's two neighbours, so on a circle of radius r pixels
%   it is about 1/r where the curve runs along the rows or columns and up to
%   about 1.4/r where it runs diagonally.
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
%   Warning ZELgetCurvatureMap:suspiciousShape: an O of more than two
%   dimensions is read all the same, in column order, but is most likely
%   transposed or carries another array's sizes; silence it with
%   warning('off', 'ZELgetCurvatureMap:suspiciousShape').
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
