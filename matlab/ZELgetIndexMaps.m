function varargout = ZELgetIndexMaps(varargin)
%ZELgetIndexMaps  Index maps: the orientation and scale of the peak of |R| at every pixel.
%   [orientationIndex, scaleIndex] = ZELgetIndexMaps(R)
%
%   For every pixel, the orientation o and the scale s at which |R(p,o,s)|
%   is largest. The responses are taken scale by scale and, within a scale,
%   orientation by orientation; a response replaces the best so far only
%   when its magnitude is larger, so of equal peaks the first is kept, NaN
%   never wins, and a pixel whose responses are all NaN gets orientation 1
%   and scale 1. These are the index maps that make the blob, ridge, edge,
%   height-and-width and orientation maps meaningful. The same maps in M
%   code, bit for bit:
%
%     [best, at] = max(abs(R), [], 3);     % per scale, the first strongest orientation
%     [~, s] = max(best, [], 4);           % the first scale where that is strongest
%     [rows, cols] = size(s);
%     o = at(reshape(1:rows*cols, rows, cols) + rows*cols*(s - 1));
%     o = uint16(o);  s = uint16(s);
%
%   One pass over the stack, with nothing allocated but the two maps.
%
%   Inputs, by position:
%     1  R                 double or single, rows x cols x nO x nS  response stack
%                          (nS = 1 for a 3-D array)
%
%   Outputs:
%     orientationIndex     uint16, rows x cols, 1..nO
%     scaleIndex           uint16, rows x cols, 1..nS (made only when asked for)
%
%   Errors (identifier: cause):
%     ZELgetIndexMaps:invalidClass     R not a real, non-sparse double or single array
%     ZELgetIndexMaps:tooFewElements   R has pixels but no orientation or no scale,
%                                      or is emptied by a zero size past its fourth
%     ZELgetIndexMaps:tooLarge         a size of R above 65534, or more than 2^31
%                                      elements
%     ZELgetIndexMaps:tooManyOutputs   more than two outputs requested
%   A call with other than one input fails with the message
%   "One input arguments required." (no identifier).
%   Warning ZELgetIndexMaps:suspiciousShape: an R of more than four
%   dimensions is read as its first rows x cols x nO x nS elements.
%
%   Example:
%     I = zeros(64);  I(:, 30:34) = 1;
%     R = ZELgetResponseStack(I, [1.5, 2.4, 3.84], 8);
%     [o, s] = ZELgetIndexMaps(R);
%     E = ZELgetOrientationMap(R, o, s, uint16(0));   % 90 on the bar's centre
%
%   See also ZELgetResponseStack, ZELgetOrientationMap, ZELgetEdgeMap.

% This file holds the help text. A call goes to the MEX file of the same name
% beside it (.mexa64 in MATLAB, .mex in Octave), which takes precedence
% over this file; a call comes here only when that file is missing.
error('ZELgetIndexMaps:notBuilt', ['ZELgetIndexMaps has no MEX file on the path. ' ...
      'In MATLAB, unzip a release (zelmaps-<version>-glnxa64.zip) and addpath its folder, ' ...
      'or run build_zel_mex in the repository''s matlab folder. ' ...
      'In Octave, pkg install the package (zelmaps-<version>.tar.gz), ' ...
      'or run bash scripts/main.sh and addpath the repository''s build/octave folder.']);
end

% Tests and a demo for Octave's test and demo functions (test
% ZELgetIndexMaps, demo ZELgetIndexMaps, pkg test zelmaps); comments to
% MATLAB.
%
%!test
%! % The maps of the M code in the help, bit for bit, in double and single.
%! R = randn(6, 5, 4, 3);  R(2, 2, :, :) = NaN;  R(3, 3, :, :) = 1;
%! [best, at] = max(abs(R), [], 3);
%! [~, s] = max(best, [], 4);
%! o = at(reshape(1:30, 6, 5) + 30 * (s - 1));
%! [oi, si] = ZELgetIndexMaps(R);
%! assert(oi, uint16(o));
%! assert(si, uint16(s));
%! assert([oi(2, 2), si(2, 2), oi(3, 3), si(3, 3)], uint16([1, 1, 1, 1]));
%! [os, ss] = ZELgetIndexMaps(single(R));
%! assert(isequal(os, oi) && isequal(ss, si));
%
%!error id=ZELgetIndexMaps:tooFewElements ZELgetIndexMaps(zeros(3, 3, 0, 2))
%!error id=ZELgetIndexMaps:invalidClass ZELgetIndexMaps(int16(ones(2, 2, 2)))
%
%!demo
%! % Three bright lines of Gaussian profile, 1, 2 and 4 pixels wide: at
%! % each centre the strongest second-order response is at the scale
%! % nearest sqrt(2) times the width.
%! x = 1:60;
%! profile = exp(-(x - 10) .^ 2 / 2) + exp(-(x - 28) .^ 2 / 8) + exp(-(x - 48) .^ 2 / 32);
%! I = repmat(profile, 20, 1);
%! sigmas = [1, 1.5, 2.2, 3.3, 5, 7.5];
%! [o, s] = ZELgetIndexMaps(ZELgetResponseStack(I, sigmas, 8));
%! fprintf('line width 1: sigma %g; width 2: sigma %g; width 4: sigma %g\n', ...
%!         sigmas(s(10, 10)), sigmas(s(10, 28)), sigmas(s(10, 48)));
