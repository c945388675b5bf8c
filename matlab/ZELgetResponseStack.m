function varargout = ZELgetResponseStack(varargin)
%ZELgetResponseStack  Oriented filter bank: Gaussian-derivative responses of an image.
%   [R2, R1] = ZELgetResponseStack(I, sigmas, nO)
%   [...] = ZELgetResponseStack(I, sigmas, nO, orders)
%   [...] = ZELgetResponseStack(I, sigmas, nO, orders, precision)
%
%   The responses of the image I at the scales sigmas (standard deviations
%   in pixels) and at nO orientations, rows x cols x nO x numel(sigmas):
%
%     R2(:,:,o,s) = -sigma^2 times the second derivative across the line
%                   direction of orientation o, of I smoothed at sigma:
%                   positive on bright lines that run along orientation o
%     R1(:,:,o,s) = sigma times the first derivative across that direction,
%                   signed
%
%   Orientation o is a line running at theta = (o - 1) * 180 / nO degrees
%   counterclockwise from the image's x axis as the image is shown (x along
%   a row, columns to the right; y down a column, rows downwards). With
%   nO = 6, a bright line drawn at 30 degrees (rising to the right) gives
%   its largest R2 at o = 2, and ZELgetOrientationMap(R2, o, s, uint16(0))
%   with the index maps of ZELgetIndexMaps reads 30 on it. The direction
%   across the line is (nx, ny) = (-sin(theta), -cos(theta)) in (x, y):
%   at theta = 0, R1 is positive where the image grows brighter upwards.
%
%   Definition, as M code that gives the responses up to the last bits
%   (exp and conv2 round in their own order), for a double image I, scale
%   q of sigmas and orientation o:
%
%     sigma = sigmas(q);  r = ceil(4*sigma);  k = (0:r)';
%     e = exp(-(k.*k) / ((sigma*sigma)*2));
%     S0 = e(1) + 2*sum(e(2:end));  S2 = 2*sum(k.^2.*e);  S4 = 2*sum(k.^4.*e);
%     m = S2/S0;  D = (S4 - m*S2)/2;
%     g0 = e/S0;  g1 = k.*e/S2;  g2 = (k.^2 - m).*e/D;      % taps 0..r
%     g0 = [flipud(g0(2:end)); g0];  g2 = [flipud(g2(2:end)); g2];
%     g1 = [-flipud(g1(2:end)); g1];                         % taps -r..r
%     [rows, cols] = size(I);                                % mirrored borders:
%     iy = mod(-r:rows+r-1, 2*rows);  iy(iy >= rows) = 2*rows - 1 - iy(iy >= rows);
%     ix = mod(-r:cols+r-1, 2*cols);  ix(ix >= cols) = 2*cols - 1 - ix(ix >= cols);
%     J = I(iy + 1, ix + 1);
%     Ixx = conv2(g0, g2, J, 'valid');   Ix = conv2(g0, flipud(g1), J, 'valid');
%     Ixy = conv2(flipud(g1), flipud(g1), J, 'valid');
%     Iy = conv2(flipud(g1), g0, J, 'valid');   Iyy = conv2(g2, g0, J, 'valid');
%     theta = (o - 1)*180/nO;  s = sind(theta);  c = cosd(theta);
%     R2(:,:,o,q) = -(sigma*sigma) * ((s*s*Ixx + 2*s*c*Ixy) + c*c*Iyy);
%     R1(:,:,o,q) = sigma * (-s*Ix - c*Iy);
%
%   g0 sums to 1, g1 to 0 with sum(k.*g1) = 1, g2 to 0 with
%   sum(k.^2/2.*g2) = 1 (k = -r..r): a flat image has no response, a ramp
%   gives its slope and a parabola its curvature. conv2 convolves, hence
%   the flipped odd kernel: the passes are correlations. The MEX file fixes
%   every operation, so that every build on every host (MATLAB and Octave,
%   Linux and Windows) gives the same bits: exp, sin and cos with its own
%   arithmetic; first down each column: Gy0, Gy1, Gy2 with g0, g1, g2; then
%   along each row: Ixx = g2 of Gy0, Ix = g1 of Gy0, Ixy = g1 of Gy1,
%   Iy = g0 of Gy1, Iyy = g0 of Gy2; each sum in the order
%     even taps w: w(0)*f(t), then + w(k)*(f(t-k) + f(t+k)) for k = 1..r
%     odd taps v:  v(1)*(f(t+1) - f(t-1)), then + v(k)*(f(t+k) - f(t-k)), k = 2..r
%   and the steering as written above, with s*s, (s*c)*2 and c*c formed
%   first.
%
%   At the centre of a straight line of Gaussian profile with standard
%   deviation w and unit height, R2 at the line's orientation is
%   rho / (1 + rho^2)^(3/2) with rho = w / sigma: largest, 0.385, for
%   w = sigma / sqrt(2). The kernels end at 4 sigma; this moves the
%   response by less than 1% (measured: at most 0.75% for lines from
%   sigma/2 to 3 sigma wide).
%
%   Inputs, by position:
%     1  I          double, single, uint8, uint16 or logical, rows x cols   image;
%                   integers are scaled as im2double does (uint8/255,
%                   uint16/65535), NaN pixels spread to every response whose
%                   taps reach them
%     2  sigmas     double or single vector   scales in pixels, each from 0.1 to
%                   128, strictly ascending
%     3  nO         double or single scalar   orientation count, 1 to 65534
%     4  orders     double or single vector   optional: the derivative order of
%                   each output, in order; default [2 1]. R1 = ZELgetResponseStack(
%                   I, sigmas, nO, 1) computes the first order alone
%     5  precision  'double' or 'single'      optional: the class of the stacks
%                   and of the computation; default single for a single image,
%                   double otherwise. 'single' gives the bits of the call on
%                   single(I), and halves the memory of every later call
%   Only the stacks of the outputs asked for are computed ([R2] = ... makes
%   no R1). Sizes are at most 65534 in every dimension and each stack holds
%   at most 2^31 elements.
%
%   Outputs:
%     R2, R1   rows x cols x nO x numel(sigmas), double or single (with no
%              scales, empty stacks of that size)
%
%   Memory: besides the stacks, nothing image-sized is allocated (the stacks
%   hold the working planes until the last scale is computed), except with
%   fewer than 3 orientations (4 for the second order alone), where a
%   working array of up to 6 image planes is made for the call.
%
%   Errors (identifier: cause):
%     ZELgetResponseStack:invalidClass     I not double, single, uint8, uint16 or
%                                          logical, or complex or sparse; sigmas,
%                                          nO or orders not double or single;
%                                          precision not text
%     ZELgetResponseStack:invalidShape     I has more than two dimensions (convert
%                                          a colour image to grey first)
%     ZELgetResponseStack:emptyInput       I has no pixel, or nO has no element
%     ZELgetResponseStack:invalidScale     a scale that is NaN or outside [0.1, 128]
%     ZELgetResponseStack:scalesNotAscending  sigmas not strictly ascending
%     ZELgetResponseStack:invalidOrientationCount  nO not a whole number in 1..65534
%     ZELgetResponseStack:invalidOrders    orders other than 1, 2, [2 1] or [1 2]
%     ZELgetResponseStack:invalidPrecision precision other than 'double' or 'single'
%     ZELgetResponseStack:tooLarge         a size above 65534, or a stack of more
%                                          than 2^31 elements
%     ZELgetResponseStack:tooManyOutputs   more outputs than orders
%   A call with fewer than three or more than five inputs fails with the
%   message "Three to five input arguments required." (no identifier).
%
%   Example:
%     I = zeros(64);  I(:, 30:34) = 1;              % a bright vertical bar
%     [R2, R1] = ZELgetResponseStack(I, 1.5 * 1.6 .^ (0:3), 8);
%     [o, s] = ZELgetIndexMaps(R2);                 % o(32, 32) is 5: 90 degrees
%
%   See also ZELgetIndexMaps, ZELgetOrientationMap, ZELgetRidgeMap.

% This file holds the help text. A call goes to the MEX file of the same name
% beside it (.mexa64 in MATLAB, .mex in Octave), which takes precedence
% over this file; a call comes here only when that file is missing.
error('ZELgetResponseStack:notBuilt', ['ZELgetResponseStack has no MEX file on the path. ' ...
      'In MATLAB, unzip a release (zelmaps-<version>-glnxa64.zip) and addpath its folder, ' ...
      'or run build_zel_mex in the repository''s matlab folder. ' ...
      'In Octave, pkg install the package (zelmaps-<version>.tar.gz), ' ...
      'or run bash scripts/main.sh and addpath the repository''s build/octave folder.']);
end

% Tests and a demo for Octave's test and demo functions (test
% ZELgetResponseStack, demo ZELgetResponseStack, pkg test zelmaps); comments
% to MATLAB.
%
%!test
%! % A bright vertical bar: at its centre the strongest second-order
%! % response is at orientation 5 of 8, a line at 90 degrees.
%! I = zeros(32);  I(:, 15:18) = 1;
%! R2 = ZELgetResponseStack(I, [1.5, 2.4], 8);
%! [o, s] = ZELgetIndexMaps(R2);
%! assert(o(16, 16), uint16(5));
%! assert(s(16, 16), uint16(2));
%
%!test
%! % 'single' gives the bits of the call on single(I); a flat image has
%! % no second-order response.
%! I = rand(9, 7);
%! [A, B] = ZELgetResponseStack(I, [1, 2], 4, [2, 1], 'single');
%! [C, D] = ZELgetResponseStack(single(I), [1, 2], 4);
%! assert(class(A), 'single');
%! assert(isequal(A, C) && isequal(B, D));
%! F = ZELgetResponseStack(0.5 * ones(12, 10), [1, 2], 4, 2);
%! assert(max(abs(F(:))) < 1e-15);
%
%!error id=ZELgetResponseStack:scalesNotAscending ZELgetResponseStack(rand(5), [2, 1], 4)
%!error id=ZELgetResponseStack:invalidShape ZELgetResponseStack(rand(5, 5, 3), 1, 4)
%!error <Three to five input arguments required> ZELgetResponseStack(rand(5), 1)
%!warning <only its first element, 4, is read> ZELgetResponseStack(rand(5), 1, [4, 8]);
%
%!demo
%! % A ring of Gaussian profile: the orientation of the strongest
%! % second-order response at every pixel on it follows the ring around.
%! [x, y] = meshgrid(1:41);
%! I = exp(-(hypot(x - 21, y - 21) - 12) .^ 2 / 8);
%! R2 = ZELgetResponseStack(I, [1.5, 2.4], 8);
%! [o, s] = ZELgetIndexMaps(R2);
%! angle = ZELgetOrientationMap(R2, o, s, uint16(0));
%! angle(I < 0.5) = NaN;
%! shades = '0123456789ABCDEF';               % 0 to 180 degrees, off the ring blank
%! k = 1 + floor(angle(1:2:end, 1:2:end) / 180 * 16);
%! text = repmat(' ', size(k));  text(~isnan(k)) = shades(k(~isnan(k)));
%! disp('orientation on the ring, 0 (0) to 180 (F) degrees:');
%! disp(text);
