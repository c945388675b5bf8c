function T = ZELgetScaleTable(sigmas, nO)
%ZELgetScaleTable  Scale table: the width of line each scale of the filter bank responds to most.
%   T = ZELgetScaleTable(sigmas, nO)
%
%   T(o, s) = sigmas(s) / sqrt(2) for every orientation o = 1..nO: the
%   standard deviation w, in pixels, of the Gaussian line profile to which
%   the second-order responses of ZELgetResponseStack at scale sigmas(s)
%   are largest. A line of unit height and width w gives, at its centre and
%   at its own orientation, the response
%
%     rho / (1 + rho^2)^(3/2),   rho = w / sigma
%
%   which peaks, at 0.385, where rho = 1/sqrt(2), that is w = sigma/sqrt(2).
%   The table is the same at every orientation, since the filters are
%   rotated copies of each other.
%
%   The height-and-width, blob and ridge maps take T with a size map A in
%   the same unit (pixels here): A(p)/T(o, s) is the structure's width
%   relative to what scale s sees best, the argument u of the profile tables
%   of ZELgetProfileTable. ZELgetHeightAndWidthMap interpolates the width
%   between the scales geometrically, with the ratio T(1,1)/T(1,2) for every
%   two consecutive scales, so the sigmas should grow by a constant factor
%   (1.5 * 1.6 .^ (0:3), say).
%
%   Inputs:
%     sigmas   double or single vector   the scales of ZELgetResponseStack,
%                                        standard deviations in pixels
%     nO       whole number, 1 or more   the orientation count
%
%   Output:
%     T        double, nO x numel(sigmas)
%
%   Errors:
%     ZELgetScaleTable:invalidScales        sigmas not a non-empty real vector of
%                                           finite positive values
%     ZELgetScaleTable:invalidOrientations  nO not a whole number of 1 or more
%
%   Example:
%     T = ZELgetScaleTable(1.5 * 1.6 .^ (0:3), 8);   % 8 x 4, T(:, 1) is 1.0607
%
%   See also ZELgetProfileTable, ZELgetHeightAndWidthMap, ZELgetFeatureMaps.

if ~(isnumeric(sigmas) && isreal(sigmas) && isvector(sigmas) && ~isempty(sigmas) ...
     && all(isfinite(sigmas(:))) && all(sigmas(:) > 0))
    error('ZELgetScaleTable:invalidScales', ...
          'sigmas must be a non-empty vector of finite standard deviations above 0, in pixels.');
end
if ~(isnumeric(nO) && isreal(nO) && isscalar(nO) && isfinite(nO) && nO >= 1 && nO == fix(nO))
    error('ZELgetScaleTable:invalidOrientations', 'nO must be a whole number of 1 or more.');
end
T = repmat(double(sigmas(:).') / sqrt(2), double(nO), 1);
end

% Tests for Octave's test function (test ZELgetScaleTable, pkg test
% zelmaps); comments to MATLAB.
%
%!test
%! assert(ZELgetScaleTable([2, 4], 3), repmat([2, 4] / sqrt(2), 3, 1));
%! assert(size(ZELgetScaleTable(single(1.5), uint16(8))), [8, 1]);
%
%!test
%! % A vertical Gaussian line of standard deviation 2 pixels: of three
%! % scales around 2*sqrt(2), the middle one responds most at the centre, at
%! % the vertical orientation (o = 2 of 2), and T gives it width 2.
%! x = repmat(-40:40, 81, 1);
%! sigmas = 2 * sqrt(2) * [0.8, 1, 1.25];
%! R = ZELgetResponseStack(exp(-x .^ 2 / 8), sigmas, 2);
%! [~, best] = max(squeeze(R(41, 41, 2, :)));
%! assert(best, 2);
%! T = ZELgetScaleTable(sigmas, 2);
%! assert(T(2, best), 2, 1e-12);
%
%!error id=ZELgetScaleTable:invalidScales ZELgetScaleTable([], 8)
%!error id=ZELgetScaleTable:invalidScales ZELgetScaleTable([1, -2], 8)
%!error id=ZELgetScaleTable:invalidOrientations ZELgetScaleTable(2, 0.5)
