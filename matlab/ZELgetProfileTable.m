function [P, g] = ZELgetProfileTable(kind, n, uMax)
%ZELgetProfileTable  Profile table and gain: the filter bank's response to a structure across widths.
%   [P, g] = ZELgetProfileTable(kind)
%   [P, g] = ZELgetProfileTable(kind, n)
%   [P, g] = ZELgetProfileTable(kind, n, uMax)
%
%   The profile table P (1 x n, double) and the sampling gain g that the
%   height-and-width, blob and ridge maps take: P holds the second-order
%   response of ZELgetResponseStack to a structure of unit height, at its
%   centre, as a function of u = w / T, the structure's width w relative to
%   the width T = sigma/sqrt(2) that the scale responds to most (the scale
%   table of ZELgetScaleTable). With rho = w / sigma = u / sqrt(2):
%
%     line(u) = rho / (1 + rho^2)^(3/2)     a straight line of Gaussian profile,
%                                           standard deviation w (largest, 0.385,
%                                           at u = 1)
%     spot(u) = rho^2 / (1 + rho^2)^2       a round Gaussian spot of standard
%                                           deviation w (largest, 0.25, at
%                                           u = sqrt(2))
%
%   kind       table                                    g          uMax default
%   'line'     P(k) = line(u_k), u_k = uMax*(k-1)/(n-1)   2*n/uMax   2
%   'spot'     P(k) = spot(u_k), u_k = uMax*(k-1)/(n-1)   2*n/uMax   8
%   'linePair' P(k) = sign(t_k) * line(uMax*|t_k|) / 2,   n/uMax     4
%              t_k = 2*(k-1)/(n-1) - 1
%
%   How the maps read the tables. A map samples P at a fraction
%   x = ((A/T)*g)/(2n) of its length, A being the size map (the width map
%   W in ZELgetHeightAndWidthMap), as P(fix(x*(n-1)) + 1):
%     - one sample (the blob map, and the height map in mode 3, x limited to
%       [0, 1]): table entry k is read for A/T from 2n(k-1)/((n-1)g) up to
%       2nk/((n-1)g); with the gains above that is u_k, so the sample is the
%       response to a structure of width A, for widths up to uMax*T. 'line'
%       is the height map's table (mode 3): H = R / line(W/T) is the line's
%       contrast. 'spot' is the blob map's: the amplitude times spot(A/T) is
%       the response a spot of that size and height gives.
%     - two samples (the ridge map, x limited to [-0.5, 0.5]):
%       d = P at 0.5 + x minus P at 0.5 - x; the 'linePair' table is odd
%       about its centre, so d = line(A/T) for A up to uMax*T: the response
%       a line of that width gives.
%   A gain g' other than these stretches the span: widths up to
%   uMax*T*g/g' are covered, and wider ones read the table's last entry.
%   n sets the resolution of u: steps of uMax/(n-1).
%
%   Inputs:
%     kind   'line', 'spot' or 'linePair' (any letter case)
%     n      whole number, 2 to 65535; default 257: the table length
%     uMax   positive number; default 2, 8 or 4 as above: the widest
%            structure the table covers, relative to T
%
%   Outputs:
%     P      double, 1 x n   the profile table
%     g      double scalar   the sampling gain
%
%   Errors:
%     ZELgetProfileTable:invalidKind    kind not one of the three names
%     ZELgetProfileTable:invalidLength  n not a whole number in 2..65535
%     ZELgetProfileTable:invalidSpan    uMax not a finite number above 0
%
%   Example:
%     [P, g] = ZELgetProfileTable('line');   % 257 entries, g = 257
%     T = ZELgetScaleTable(1.5 * 1.6 .^ (0:3), 8);
%     k = fix((((2 / T(1, 2)) * g) / (2 * 257)) * 256) + 1;   % a line of width 2 at scale 2
%     P(k)                                   % 0.378, entry 151: line(u) at u = 1.17
%
%   See also ZELgetScaleTable, ZELgetHeightAndWidthMap, ZELgetBlobMap,
%   ZELgetRidgeMap, ZELgetFeatureMaps.

if nargin < 1 || ~ischar(kind)
    error('ZELgetProfileTable:invalidKind', 'kind must be ''line'', ''spot'' or ''linePair''.');
end
if nargin < 2
    n = 257;
end
if ~(isnumeric(n) && isreal(n) && isscalar(n) && isfinite(n) && n == fix(n) && n >= 2 && n <= 65535)
    error('ZELgetProfileTable:invalidLength', 'n must be a whole number from 2 to 65535.');
end
n = double(n);
k = 0:n-1;
switch lower(kind)
    case 'line'
        span = 2;
    case 'spot'
        span = 8;
    case 'linepair'
        span = 4;
    otherwise
        error('ZELgetProfileTable:invalidKind', 'kind must be ''line'', ''spot'' or ''linePair''; found ''%s''.', kind);
end
if nargin >= 3
    if ~(isnumeric(uMax) && isreal(uMax) && isscalar(uMax) && isfinite(uMax) && uMax > 0)
        error('ZELgetProfileTable:invalidSpan', 'uMax must be a finite number above 0.');
    end
    span = double(uMax);
end
switch lower(kind)
    case 'line'
        P = line_response(span * k / (n - 1));
        g = 2 * n / span;
    case 'spot'
        P = spot_response(span * k / (n - 1));
        g = 2 * n / span;
    otherwise
        t = 2 * k / (n - 1) - 1;
        P = sign(t) .* line_response(span * abs(t)) / 2;
        g = n / span;
end
end

function r = line_response(u)
rho = u / sqrt(2);
r = rho ./ (1 + rho .^ 2) .^ 1.5;
end

function r = spot_response(u)
rho = u / sqrt(2);
r = rho .^ 2 ./ (1 + rho .^ 2) .^ 2;
end

% Tests for Octave's test function (test ZELgetProfileTable, pkg test
% zelmaps); comments to MATLAB.
%
%!test
%! % The line table peaks at u = 1 (entry 129 of 257), at 0.385, the value
%! % the filter bank gives at the centre of a line of unit height whose
%! % width is the scale table's: a vertical line of standard deviation 2.
%! [P, g] = ZELgetProfileTable('line');
%! assert([size(P), g], [1, 257, 257]);
%! [top, k] = max(P);
%! assert(k, 129);
%! assert(top, (1 / sqrt(2)) / 1.5 ^ 1.5, 1e-15);
%! x = repmat(-40:40, 81, 1);
%! R = ZELgetResponseStack(exp(-x .^ 2 / 8), 2 * sqrt(2), 2);
%! assert(R(41, 41, 2), top, 0.002);
%
%!test
%! % The spot table peaks at u = sqrt(2), at 1/4; the line-pair table is
%! % odd about its centre and spans the line table's values.
%! [P, g] = ZELgetProfileTable('spot');
%! assert(g, 2 * 257 / 8);
%! assert(max(P), 0.25, 1e-5);
%! [P, g] = ZELgetProfileTable('linePair', 9);
%! assert(g, 9 / 4);
%! assert(P, -fliplr(P), 1e-15);
%! assert(P(9), ZELgetProfileTable('line', 2, 4)(2) / 2, 1e-15);
%
%!error id=ZELgetProfileTable:invalidKind ZELgetProfileTable('disc')
%!error id=ZELgetProfileTable:invalidLength ZELgetProfileTable('line', 1)
%!error id=ZELgetProfileTable:invalidSpan ZELgetProfileTable('line', 9, 0)
