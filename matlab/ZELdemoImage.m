function image = ZELdemoImage(n)
%ZELdemoImage  The demo's synthetic image: lines, arcs, steps and spots of known geometry.
%   image = ZELdemoImage
%   image = ZELdemoImage(n)
%
%   An n x n double image (n = 512 when not given) on a background of 0.1,
%   with bright structures of contrast 0.6 and Gaussian noise of standard
%   deviation 0.02. Laid out in the coordinates of a 512 x 512 image (x to
%   the right, y downwards) and scaled to n pixels; the widths stay in
%   pixels whatever n is:
%     - top left: three straight lines of Gaussian profile, standard
%       deviations 1, 2 and 3.5 pixels, at 15, 60 and 105 degrees
%       (counterclockwise from the x axis), 100 long;
%     - top right: three circular arcs of radii 28, 55 and 85 (scaled),
%       widths 1, 2 and 3.5, and a wave of width 1.5;
%     - bottom left: a square plateau and a disc plateau with step edges,
%       of heights 0.6 and 0.3;
%     - bottom right: round Gaussian spots of standard deviations 2, 4 and
%       7 pixels, two of each.
%   The noise comes from the host's own generator with a fixed seed (the
%   caller's generator state is restored afterwards), so the image is the
%   same from call to call on one host, not between MATLAB and Octave.
%
%   Example:
%     image = ZELdemoImage(256);
%     maps = ZELgetFeatureMaps(image);
%
%   See also ZELdemo, ZELgetFeatureMaps.

if nargin < 1
    n = 512;
end
if ~(isnumeric(n) && isreal(n) && isscalar(n) && isfinite(n) && n == fix(n) && n >= 1)
    error('ZELdemoImage:invalidSize', 'n must be a whole number of 1 or more.');
end
n = double(n);
scale = n / 512;
[x, y] = meshgrid(1:n, 1:n);
x = x / scale;
y = y / scale;
image = 0.1 * ones(n);
contrast = 0.6;
widths = [1, 2, 3.5];

% Straight lines, top left: three widths at 15, 60 and 105 degrees.
angles = [15, 60, 105];
for k = 1:3
    centre = [40 + 65 * k, 128];
    image = image + contrast * line_profile(segment_distance(x, y, centre, angles(k), 100) * scale, widths(k));
end

% Curved lines, top right: three circular arcs and a wave.
radii = [28, 55, 85];
for k = 1:3
    d = abs(hypot(x - 395, y - 115) - radii(k)) * scale;
    image = image + contrast * line_profile(d, widths(k)) .* (y < 115 + 0.7 * radii(k));
end
wave = 232 + 12 * sin((x - 280) / 16);
image = image + contrast * line_profile(abs(y - wave) * scale, 1.5) .* (x > 275 & x < 495);

% Step edges, bottom left: a square plateau and a disc plateau.
image = image + contrast * (x > 30 & x < 130 & y > 300 & y < 400);
image = image + 0.5 * contrast * (hypot(x - 190, y - 420) < 55);

% Round spots, bottom right: Gaussian spots of three sizes.
spot_sizes = [2, 4, 7];
for k = 1:3
    for j = 1:2
        centre = [230 + 75 * k, 320 + 110 * (j - 1)];
        r2 = ((x - centre(1)) .^ 2 + (y - centre(2)) .^ 2) * scale ^ 2;
        image = image + contrast * exp(-r2 / (2 * spot_sizes(k) ^ 2));
    end
end

caller = rng();
rng(20261209);
noise = randn(n);
rng(caller);
image = image + 0.02 * noise;
end

function profile = line_profile(distance, width)
profile = exp(-distance .^ 2 / (2 * width ^ 2));
end

% Distance to a segment of the given length through centre, at an angle in
% degrees counterclockwise from the x axis (y pointing down).
function d = segment_distance(x, y, centre, angle, len)
direction = [cosd(angle), -sind(angle)];
along = (x - centre(1)) * direction(1) + (y - centre(2)) * direction(2);
across = -(x - centre(1)) * direction(2) + (y - centre(2)) * direction(1);
beyond = max(abs(along) - len / 2, 0);
d = hypot(across, beyond);
end

% Tests for Octave's test function (test ZELdemoImage, pkg test zelmaps);
% comments to MATLAB.
%
%!test
%! % The same image from call to call, mostly a background of 0.1 with
%! % structures of contrast 0.6 and a little noise.
%! I = ZELdemoImage(256);
%! assert([size(I), isa(I, 'double')], [256, 256, 1]);
%! assert(isequal(I, ZELdemoImage(256)));
%! assert(abs(median(I(:)) - 0.1) < 0.02);
%! assert(max(I(:)) > 0.65 && max(I(:)) < 0.85 && min(I(:)) > 0);
