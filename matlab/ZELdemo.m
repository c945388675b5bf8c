function varargout = ZELdemo(outDir, image)
%ZELdemo  The feature maps of an image as pictures: the demo.
%   ZELdemo
%   ZELdemo(outDir)
%   ZELdemo(outDir, image)
%   maps = ZELdemo(...)
%
%   The maps are returned only when asked for (ZELdemo alone prints no
%   maps).
%
%   Makes every feature map of an image with ZELgetFeatureMaps and writes
%   one PNG picture per map, and one of the image, into the folder outDir
%   (default: zeldemo in the current folder; made when missing). The image
%   is the demo's synthetic 512 x 512 image of ZELdemoImage (lines and arcs
%   of three widths, steps, spots of three sizes and noise) when not given;
%   otherwise an image file's name (read with imread, colour converted to
%   grey by ZELgetFeatureMaps) or an image array.
%
%   Prints one line per map (size, finite range, fraction of NaNs), the time
%   of ZELgetFeatureMaps, then makes each map again from the inputs it
%   returns, with the six functions one at a time, and prints each call's
%   time and whether it gave the same bits.
%
%   Pictures, each with its colour scale and end values below it; NaN is
%   white: the scores (blob, ridge, edge) over [0, 1]; the height over
%   [-0.7, 0.7] from blue (below the surroundings) through grey to orange
%   (above); the width over [1, 4] pixels; the orientation as a hue over
%   [0, 180) degrees; the curvature over [0, 0.05], its one-pixel curves
%   drawn five pixels wide. Height, width and orientation describe a
%   structure where there is one, so they are drawn as bright as the ridge
%   or blob score is strong there (full brightness from 0.5), dark
%   elsewhere. Only base functions write them (imwrite): no toolbox.
%
%   Example:
%     ZELdemo(fullfile(tempdir, 'zeldemo'))   % then look at the PNG files there
%
%   See also ZELgetFeatureMaps, ZELdemoImage.

if nargin < 1
    outDir = 'zeldemo';
end
if nargin < 2
    image = ZELdemoImage(512);
elseif ischar(image)
    [image, palette] = imread(image);
    if ~isempty(palette)
        image = ind2rgb(image, palette);
    end
end
if ~isfolder(outDir)
    mkdir(outDir);
end
started = tic;

fprintf('ZELgetFeatureMaps on a %d x %d image\n', size(image, 1), size(image, 2));
call_started = tic;
[maps, inputs] = ZELgetFeatureMaps(image);
fprintf('ZELgetFeatureMaps         %8.3f s\n', toc(call_started));
grey = inputs.ZELgetResponseStack{1};
range = [0, 1];
finite = double(grey(isfinite(grey)));
if ~isempty(finite) && (min(finite) < 0 || max(finite) > 1)
    range = [min(finite), max(finite) + (max(finite) == min(finite))];
end
write_png(fullfile(outDir, 'input.png'), with_colour_scale(gray_picture(grey, range), gray(256), range, ''));
report_map('input', double(grey));

% Each map again from the inputs, one function at a time.
produces = {'ZELgetHeightAndWidthMap', {'height', 'width'};
            'ZELgetBlobMap',           {'blob'};
            'ZELgetRidgeMap',          {'ridge'};
            'ZELgetEdgeMap',           {'edge'};
            'ZELgetOrientationMap',    {'orientation'};
            'ZELgetCurvatureMap',      {'curvature'}};
for k = 1:size(produces, 1)
    name = produces{k, 1};
    outputs = produces{k, 2};
    results = cell(size(outputs));
    call_started = tic;
    [results{:}] = feval(name, inputs.(name){:});
    spent = toc(call_started);
    same = true;
    for j = 1:numel(outputs)
        same = same && isequal(typecast(results{j}(:), 'uint64'), typecast(maps.(outputs{j})(:), 'uint64'));
    end
    verdict = 'same bits';
    if ~same
        verdict = 'DIFFERENT BITS';
    end
    fprintf('%-24s %9.3f s  %s\n', name, spent, verdict);
end
clear inputs

% Pictures.
strength = max(maps.ridge, maps.blob);
views = {'blob',        [0, 1],      @viridis_colours,   false, '';
         'ridge',       [0, 1],      @viridis_colours,   false, '';
         'edge',        [0, 1],      @viridis_colours,   false, '';
         'height',      [-0.7, 0.7], @diverging_colours, true,  '';
         'width',       [1, 4],      @viridis_colours,   true,  'px';
         'orientation', [0, 180],    @hsv,               true,  'deg';
         'curvature',   [0, 0.05],   @viridis_colours,   false, ''};
for k = 1:size(views, 1)
    name = views{k, 1};
    colours = views{k, 3};
    report_map(name, maps.(name));
    brightness = [];
    if views{k, 4}
        brightness = strength;
    end
    shown = maps.(name);
    if strcmp(name, 'curvature')
        shown = thicken(thicken(shown));
    end
    picture = colour_picture(shown, views{k, 2}, colours(256), brightness);
    write_png(fullfile(outDir, [name '.png']), with_colour_scale(picture, colours(256), views{k, 2}, views{k, 5}));
end
fprintf('pictures in %s; %.1f s in all\n', outDir, toc(started));
if nargout > 0
    varargout{1} = maps;
end
end

function report_map(name, map)
finite = map(isfinite(map));
if isempty(finite)
    range = [NaN, NaN];
else
    range = [min(finite), max(finite)];
end
fprintf('%-12s %4d x %-4d  finite range [%9.4g, %9.4g]  NaN %6.2f%%\n', name, size(map, 1), size(map, 2), ...
        range(1), range(2), 100 * mean(isnan(map(:))));
end

% --- pictures -------------------------------------------------------------

function write_png(file, picture)
imwrite(picture, file);
end

function picture = gray_picture(map, range)
level = uint8(255 * min(max((double(map) - range(1)) / diff(range), 0), 1));
picture = repmat(level, [1, 1, 3]);
end

% The map through the colours over range, each pixel scaled by its
% brightness in [0, 1] when one is given (a score; 0.5 and above is full
% brightness), NaN in white.
function picture = colour_picture(map, range, colours, brightness)
level = min(max((map - range(1)) / diff(range), 0), 1);
index = 1 + round((size(colours, 1) - 1) * level);
index(isnan(map)) = 1;
picture = reshape(colours(index, :), [size(map), 3]);
if ~isempty(brightness)
    scale = min(max(brightness / 0.5, 0), 1);
    scale(isnan(scale)) = 0;
    picture = picture .* repmat(scale, [1, 1, 3]);
end
picture(repmat(isnan(map), [1, 1, 3])) = 1;
picture = uint8(255 * picture);
end

% Dark blue through green to yellow, in the manner of the viridis map:
% interpolated between nine of its colours.
function colours = viridis_colours(n)
anchors = [0.267, 0.005, 0.329; 0.283, 0.141, 0.458; 0.254, 0.265, 0.530;
           0.207, 0.372, 0.553; 0.164, 0.471, 0.558; 0.128, 0.567, 0.551;
           0.135, 0.659, 0.518; 0.267, 0.749, 0.441; 0.478, 0.821, 0.318];
anchors = [anchors; 0.741, 0.873, 0.150; 0.993, 0.906, 0.144];
at = linspace(0, 1, size(anchors, 1));
t = linspace(0, 1, n)';
colours = [interp1(at, anchors(:, 1), t), interp1(at, anchors(:, 2), t), interp1(at, anchors(:, 3), t)];
end

% Blue through grey to orange: negative values in blue, positive in orange.
function colours = diverging_colours(n)
t = linspace(-1, 1, n)';
grey = [0.45, 0.45, 0.45];
colours = repmat(grey, n, 1) + max(-t, 0) * ([0.15, 0.45, 1] - grey) + max(t, 0) * ([1, 0.55, 0.1] - grey);
end

% A map whose one-pixel curves are widened by one pixel on every side: each
% NaN pixel takes the largest value among its eight neighbours.
function wide = thicken(map)
wide = map;
[r, c] = size(map);
padded = NaN(r + 2, c + 2);
padded(2:end-1, 2:end-1) = map;
for dr = -1:1
    for dc = -1:1
        wide = max(wide, padded((2:r+1) + dr, (2:c+1) + dc));   % max passes over NaN
    end
end
end

% The picture with a strip below it: the colours over RANGE as a bar, with
% its two end values (and UNIT) written under the ends and the middle, as
% far as the picture's width leaves room for them.
function picture = with_colour_scale(picture, colours, range, unit)
c = size(picture, 2);
strip = 255 * ones(56, c, 3, 'uint8');
margin = min(16, floor(c / 8));
bar_width = c - 2 * margin;
if bar_width >= 2
    bar = colours(1 + round((size(colours, 1) - 1) * linspace(0, 1, bar_width)), :);
    strip(6:21, margin+1:c-margin, :) = repmat(reshape(uint8(255 * bar), 1, [], 3), 16, 1);
end
labels = {format_value(range(1)), format_value(mean(range)), [format_value(range(2)) unit]};
anchors = [margin + 1, c / 2, c - margin];
widths = cellfun(@text_width, labels);
if sum(widths) + 2 * 18 <= c
    for k = 1:3
        left = round(min(max(anchors(k) - widths(k) / 2, 1), c - widths(k)));
        strip = draw_text(strip, labels{k}, 29, left);
    end
end
picture = [picture; strip];
end

function text = format_value(v)
text = sprintf('%g', v);
end

% Text in a 5 x 7 pixel font, drawn three times as large, in black.
function n = text_width(text)
n = 18 * numel(text) - 3;
end

function canvas = draw_text(canvas, text, top, left)
scale = 3;
for k = 1:numel(text)
    glyph = font_glyph(text(k));
    block = logical(kron(glyph, ones(scale)));
    rows_at = top + (0:size(block, 1) - 1);
    cols_at = left + 18 * (k - 1) + (0:size(block, 2) - 1);
    for channel = 1:3
        region = canvas(rows_at, cols_at, channel);
        region(block) = 0;
        canvas(rows_at, cols_at, channel) = region;
    end
end
end

function glyph = font_glyph(ch)
characters = '0123456789.-pxdeg +';
glyphs = {'01110 10001 10011 10101 11001 10001 01110'
          '00100 01100 00100 00100 00100 00100 01110'
          '01110 10001 00001 00010 00100 01000 11111'
          '11110 00001 00001 01110 00001 00001 11110'
          '00010 00110 01010 10010 11111 00010 00010'
          '11111 10000 11110 00001 00001 10001 01110'
          '00110 01000 10000 11110 10001 10001 01110'
          '11111 00001 00010 00100 01000 01000 01000'
          '01110 10001 10001 01110 10001 10001 01110'
          '01110 10001 10001 01111 00001 00010 01100'
          '00000 00000 00000 00000 00000 01100 01100'
          '00000 00000 00000 11111 00000 00000 00000'
          '00000 00000 11110 10001 11110 10000 10000'
          '00000 00000 10001 01010 00100 01010 10001'
          '00001 00001 01101 10011 10001 10011 01101'
          '00000 00000 01110 10001 11111 10000 01110'
          '00000 00000 01111 10001 01111 00001 01110'
          '00000 00000 00000 00000 00000 00000 00000'
          '00000 00100 00100 11111 00100 00100 00000'};
at = find(characters == ch, 1);
if isempty(at)
    at = find(characters == ' ', 1);
end
glyph = char(strsplit(glyphs{at})) == '1';
end

% Tests for Octave's test function (test ZELdemo, pkg test zelmaps);
% comments to MATLAB.
%
%!test
%! % A picture of the image and of every map, and the maps returned.
%! folder = tempname();
%! unwind_protect
%!   evalc('maps = ZELdemo(folder, ZELdemoImage(48));');
%!   names = {'input', 'blob', 'ridge', 'edge', 'height', 'width', 'orientation', 'curvature'};
%!   for k = 1:numel(names)
%!     assert(exist(fullfile(folder, [names{k} '.png']), 'file') == 2, names{k});
%!   end
%!   assert(fieldnames(maps), names(2:end)');
%! unwind_protect_cleanup
%!   confirm_recursive_rmdir(false, 'local');
%!   rmdir(folder, 's');
%! end_unwind_protect
