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
%   Definition. For each sigma, with r = ceil(4*sigma) and k = (0:r)':
%
%     e  = exp(-(k.*k) / ((sigma*sigma)*2));
%     S0 = e(1) + 2*sum(e(2:end));   S2 = 2*sum(k.^2 .* e);
%     S4 = 2*sum(k.^4 .* e);         m = S2 / S0;   D = (S4 - m*S2) / 2;
%     smooth = e / S0;  first = (k .* e) / S2;  second = ((k.^2 - m) .* e) / D;
%     g0 = [flipud(smooth(2:end)); smooth];     % taps -r..r, sums to 1
%     g1 = [-flipud(first(2:end)); first];      % odd: sum(k .* g1) is 1
%     g2 = [flipud(second(2:end)); second];     % sums to 0; sum(k.^2/2 .* g2) is 1
%
%   The image is mirrored at its borders (..., I(2), I(1) | I(1), I(2), ...,
%   repeated as often as r needs) and filtered by separable correlations
%   (conv2 convolves, hence flip):
%
%     n = @(len) 1 + abs(mod((-r:len+r-1) + 0.5, 2*len) - len) - 0.5 ... (see below)
%     J = I(mirror(rows), mirror(cols));
%     Ixx = conv2(flip(g0), flip(g2), J, 'valid');   Ix = conv2(flip(g0), flip(g1), J, 'valid');
%     Ixy = conv2(flip(g1), flip(g1), J, 'valid');   Iy = conv2(flip(g1), flip(g0), J, 'valid');
%     Iyy = conv2(flip(g2), flip(g0), J, 'valid');
%     s = sind(theta); c = cosd(theta);
%     R2(:,:,o,k) = -(sigma*sigma) * ((s*s*Ixx + 2*s*c*Ixy) + c*c*Iyy);
%     R1(:,:,o,k) = sigma * (-s*Ix - c*Iy);
%
%   where mirror(len) = [r:-1:1, 1:len, len:-1:len-r+1] when r <= len (and
%   the same pattern continued when the image is narrower than r). This
%   gives the responses up to the last bits; the MEX file fixes every
%   operation: each pass first down the columns (Gy0, Gy1, Gy2 with g0, g1,
%   g2), then along the rows (Ixx = g2 of Gy0, Ix = g1 of Gy0, Ixy = g1 of
%   Gy1, Iy = g0 of Gy1, Iyy = g0 of Gy2), each sum in the order
%     even taps w: w(0)*f(t), then + w(k)*(f(t-k) + f(t+k)) for k = 1..r
%     odd taps v:  v(1)*(f(t+1) - f(t-1)), then + v(k)*(f(t+k) - f(t-k)), k = 2..r
%   and exp, sin and cos computed with its own arithmetic, so that every
%   build on every host (MATLAB and Octave, Linux and Windows) gives the
%   same bits.
%
%   The response of R2 to a straight line of Gaussian profile with standard
%   deviation w and unit height, at its centre and at the orientation of
%   the line, is rho / (1 + rho^2)^(3/2) with rho = w / sigma (largest, 0.385,
%   at w = sigma*sqrt(2)... see ZELgetProfileTable); the truncation at 4
%   sigma changes it by less than 1e-3 of that.
%
%   Inputs, by position:
%     1  I          double, single, uint8, uint16 or logical, rows x cols   image;
%                   integers are scaled as im2double does (uint8/255,
%                   uint16/65535), NaN pixels spread to every response whose
%                   taps reach them
%     2  sigmas     double or single vector   scales in pixels, each from 0.1 to
%                   256, strictly ascending
%     3  nO         double scalar             orientation count, 1 to 65534
%     4  orders     double vector             optional: the derivative order of
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
%     R2, R1   rows x cols x nO x numel(sigmas), double or single
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
%     ZELgetResponseStack:invalidScale     a scale that is NaN or outside [0.1, 256]
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
