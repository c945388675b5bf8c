function varargout = ZELgetOrientationMap(varargin)
%ZELgetOrientationMap  Orientation map: an angle in degrees per pixel from peak interpolation.
%   A = ZELgetOrientationMap(R, orientationIndex, scaleIndex, f)
%
%   For every pixel the selected orientation o* is refined by three-point
%   peak interpolation over the response magnitudes a, c, b at orientations
%   o*-1, o*, o*+1 of the selected scale s*, wrapping around (orientation nO
%   comes before 1 and 1 after nO):
%
%     theta = o* + (b - a) / (4c - 2(a + b)),  plus nO - 6f when below 1
%
%   and the position becomes an angle by the mapping that f selects:
%     f = 0  linear: A = ((theta - 1)/nO) * 180, the orientations spread
%            evenly over [0, 180)
%     f ~= 0 two halves in which the tangent of the angle is linear in the
%            position, with H = floor(nO/2), Q = floor(nO/4), D = fix((nO-6)/4):
%            o* <= H: A = atan((theta - Q - 1)/D) * 180/pi + 90
%            o* >  H: A = atan((theta - H - Q - 1)/D) * 180/pi, plus 180 when
%                     negative
%   The angles have a period of 180; A is NaN where the interpolation is
%   undefined (three equal magnitudes). The map can be passed as it is to
%   ZELgetCurvatureMap.
%
%   For a meaningful map, o* and s* are the orientation and the scale of the
%   peak of |R| ([o, s] = ZELgetIndexMaps(R)), so that theta stays within half a
%   step of o* and A in [0, 180) degrees; from other index maps (max of the
%   signed R, say) theta and A can lie anywhere (thousands of degrees). f is
%   not a boolean: pass uint16(0) for orientations spread evenly over 180
%   degrees. Any other value selects the arctangent mapping and also sets the
%   wrap period nO - 6f; that mapping needs nO of 10 or more, since with 3 to
%   9 orientations D is 0 and it can only give 0, 90 or 180.
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
%   Warning ZELgetOrientationMap:suspiciousShape: an index map that is not
%   rows x cols (or a vector of rows*cols elements), or an R of more than four
%   dimensions, is read all the same, in column order, but is most likely
%   transposed or carries another array's sizes; silence it with
%   warning('off', 'ZELgetOrientationMap:suspiciousShape').
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
