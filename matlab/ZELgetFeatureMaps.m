function [maps, inputs] = ZELgetFeatureMaps(image, varargin)
%ZELgetFeatureMaps  Every feature map of an image in one call.
%   maps = ZELgetFeatureMaps(image)
%   maps = ZELgetFeatureMaps(image, Name, Value, ...)
%   [maps, inputs] = ZELgetFeatureMaps(...)
%
%   The blob, ridge, edge, height, width, orientation and curvature maps of
%   a 2-D image, each rows x cols double, as the fields of maps. They are
%   made by the other functions of the toolbox, in these steps:
%
%     1. R2 and R1, the second- and first-order responses of the grey image
%        (below) at the scales sigmas and nO orientations:
%          [R2, R1] = ZELgetResponseStack(grey, sigmas, nO)
%     2. the orientation and scale of the peak of |R| at every pixel:
%          [o2, s2] = ZELgetIndexMaps(R2);  [o1, s1] = ZELgetIndexMaps(R1)
%     3. the tables: T = ZELgetScaleTable(sigmas, nO) and, for each map,
%        its profile table and gain [P, g] = ZELgetProfileTable(kind)
%     4. height and width, kind 'line': the height is a line's contrast
%          [height, width] = ZELgetHeightAndWidthMap(R2, o2, s2, P, g, T, uint16(3))
%     5. the scores and the angle, the width as size map and |height| as
%        amplitude (bright structures sought):
%          blob  = ZELgetBlobMap(R2, 0.25*R1, o2, [], 0.05, P, g, width, T, abs(height))
%                  kind 'spot'; the blob map takes the magnitude of its
%                  penalty, so 0.25*R1 stands for 0.25*abs(R1)
%          ridge = ZELgetRidgeMap(R2, abs(R1), o2, [], 0.05, P, g, width, T, abs(height))
%                  kind 'linePair'
%          edge  = ZELgetEdgeMap(R1, abs(R2), o1, s1, 0.02, 1)
%          orientation = ZELgetOrientationMap(R2, o2, s2, uint16(0))
%        The first-order responses count against blobs and ridges (beside
%        steps), the second-order ones against edges (on lines).
%     6. curvature = ZELgetCurvatureMap(O): O is the orientation map on the
%        ridge map's centre lines and NaN elsewhere. A centre pixel has a
%        ridge score of 0.3 or more and no smaller than its two neighbours
%        across the line (of its eight neighbours, the two nearest the
%        direction orientation + 90 degrees, rounded to a multiple of 45;
%        outside the image the pixel's own score stands in); the centre
%        pixels are thinned to curves one pixel wide (Zhang-Suen thinning,
%        then the corners of the staircases it leaves on diagonal curves).
%
%   The image: rows x cols, double, single, uint8, uint16 or logical.
%   Integers are scaled to [0, 1] as im2double does (uint8/255,
%   uint16/65535), logical is 0 and 1. A rows x cols x 3 colour image
%   becomes grey = (0.299*R + 0.587*G) + 0.114*B (ITU-R BT.601 luma weights),
%   computed in double after the scaling. The grey image is rounded to
%   single for single stacks. NaN pixels spread through the filter bank to
%   every pixel within its reach, ceil(4*max(sigmas)) pixels.
%
%   Options (names and text values in any letter case):
%     'Scales'        the filter bank's standard deviations in pixels, each
%                     from 0.1 to 128, strictly ascending; default
%                     1.5 * 1.6 .^ (0:3). The width map spans
%                     sigmas(1)/sqrt(2) to sigmas(end)/sqrt(2) pixels (1.06 to
%                     4.34 by default); the scales should grow by a constant
%                     factor.
%     'Orientations'  the orientation count nO, 1 to 65534; default 8
%     'Polarity'      'bright' (default) for structures brighter than their
%                     surroundings, 'dark' for darker ones. 'dark' gives, bit
%                     for bit, the maps of the negated grey image -I (for an
%                     integer image, -double(I)/255 or /65535): a dark line
%                     becomes a bright one, and its height is its depth, a
%                     positive number
%     'Maps'          a cell array of the names of the maps wanted (or one
%                     name); default all seven. Only what they need is
%                     computed: the blob and ridge maps need the height and
%                     width, the curvature the ridge and orientation maps;
%                     the first-order stack is made only for the blob, ridge,
%                     edge and curvature maps
%     'Precision'     'single' (default) or 'double': the class of the
%                     stacks and of the filter bank's arithmetic. Single
%                     halves the memory of the stacks and, in Octave, nearly
%                     halves the time (2.7 s against 4.8 s on the demo's
%                     image at 2048 x 2048, see the README); on the demo's
%                     512 x 512 image the maps from single and double stacks
%                     differ by at most 7e-7 in the scores, 1e-4 pixels in
%                     the width and 0.01 degrees in the orientation, with
%                     the same centre lines; so single is the default
%     'TileSize'      [rows, cols], or one number for both: an image with
%                     more rows or columns than that is processed in tiles of
%                     at most that size (as even as can be); default 160;
%                     Inf never tiles. See "Large images" below
%
%   Output:
%     maps   struct with a field per map asked for, in this order:
%       blob         score 0 to 1: round spots (the ridge map marks their
%                    centres too)
%       ridge        score 0 to 1: lines, and the centres of spots
%       edge         score 0 to 1: steps, and the sides of wide lines
%       height       the structure's contrast, in the unit of the image (of
%                    the grey image scaled to [0, 1] for integers): 0.6 for a
%                    line of contrast 0.6; negative beside lines and on the
%                    dark side of steps
%       width        pixels: the standard deviation of a line's Gaussian
%                    profile
%       orientation  degrees, 0 to 180: the direction of the line at the
%                    pixel, counterclockwise from the image's x axis (a row,
%                    left to right) as the image is shown, rows downwards
%       curvature    on the thinned ridge centre lines, NaN elsewhere: the
%                    chord of half the turn between a pixel's two neighbours
%                    on the curve, about 1/r on a circle of radius r pixels
%
%   What the maps mean, measured on 97 x 97 images of known geometry, with
%   the defaults (background 0.1, contrast 0.6; tests/octave/semantics.tst
%   checks them with room to spare):
%     - straight Gaussian lines of standard deviation 1 to 4 pixels at 0 to
%       150 degrees, on the pixels within half a pixel of the centre line:
%       the width within 9% of the standard deviation, the orientation
%       within 0.3 degrees of the drawn angle, the height within 0.08 of the
%       contrast (0.042 from a width of 1.5 on, 0.027 from 2 on), the ridge
%       map 0.68 to 0.92, the blob map 0;
%     - Gaussian spots of standard deviation 1.5 to 6 pixels: the blob map
%       0.89 to 0.94 at the centre (the ridge map 0.72 to 0.82);
%     - straight steps: the edge map 0.67 to 0.78 within half a pixel of the
%       step, the ridge map 0;
%     - rings of radius r = 8 to 32 pixels (lines of standard deviation 1.5):
%       the curvature on 84% to 91% of the ring's 2*pi*r pixels, from 0.89/r
%       to 1.58/r, its median 1.08/r to 1.13/r (about 1/r where the ring runs
%       along the rows or columns, up to 1.4/r where it runs diagonally);
%     - a dark line: ridge map 0 with 'bright', and with 'dark' the bright
%       line's score and its depth as the height.
%
%   Second output:
%     inputs  struct: inputs.NAME is the cell array of the inputs of the
%             call of NAME that made a map (ZELgetHeightAndWidthMap,
%             ZELgetBlobMap, ZELgetRidgeMap, ZELgetEdgeMap,
%             ZELgetOrientationMap, ZELgetCurvatureMap, those called) and of
%             the filter bank (ZELgetResponseStack). Each call gives its map
%             again, bit for bit: ZELgetEdgeMap(inputs.ZELgetEdgeMap{:}) is
%             maps.edge. To try another input (a penalty weight, a table),
%             change it in the cell array and call the function.
%             With two outputs the whole image is processed at once, since
%             inputs holds the whole image's stacks: R2, R1 and the three
%             penalty stacks, 5*nO*numel(sigmas) elements a pixel (640 bytes
%             a pixel in single with the defaults).
%
%   Large images. Above TileSize, the maps are made tile by tile: each
%   tile's stacks come from the tile widened by the filter bank's reach,
%   h = ceil(4*max(sigmas)) pixels (25 by default), inside the image, and
%   only the tile's own pixels of its blob, ridge, edge, height, width and
%   orientation maps are kept. The filter bank computes each pixel from the
%   pixels within h of it in a fixed order, so these are the very bits of
%   the whole image's maps. The centre lines, their thinning and the
%   curvature are then computed on the whole assembled maps. No
%   whole-image stack is ever held: besides the image and the maps, the
%   working set is at most
%     3 * (tr + 2h) * (tc + 2h) * nO * numel(sigmas) * b   bytes of stacks
%       (R2, R1 and one penalty stack of a tile of at most tr x tc pixels
%       widened by h; b = 4 in single, 8 in double: 17 MB with the defaults
%       in single, 34 MB in double; Octave holds a fourth stack for a moment,
%       as it copies the filter bank's outputs),
%     + 64 bytes a pixel of a widened tile (its index maps and 2-D maps),
%     + about 40 bytes a pixel of the image (the grey image; the ridge and
%       orientation maps when only the curvature is asked for; the
%       orientation map on the centre lines; the masks of the thinning),
%       and about 100 bytes more a pixel where the ridge score is 0.3 or
%       more (the candidates for the centre lines),
%   and the temporaries of the host's own arithmetic on those. In Octave an
%   array of 31 MiB is made and freed before the first tile: it raises the
%   C library's threshold for fresh memory (glibc's mmap threshold), so
%   that the arrays of each tile reuse the memory freed by the tile before.
%   The default tile size comes from timing Octave 7 on the demo's image at
%   2048 x 2048 pixels (see the README's benchmark), best of two calls:
%     tiles of      128     160     192     256     512    whole image
%     single     2.80 s  2.79 s  4.33 s  3.89 s  14.9 s  13.4 s
%     double     3.76 s  3.24 s  3.64 s  16.9 s  30.2 s  24.4 s
%   with at most 107 MB beside the image and the maps in tiles of 256 or
%   less, 299 MB in tiles of 512, and 1.8 GB (single) or 3.9 GB (double)
%   for the whole image. There the first touch of fresh memory costs more
%   than the arithmetic, and Octave copies every output of a MEX function:
%   the arrays of tiles of 160 pixels or fewer reuse the memory freed by the
%   tile before, those of larger tiles more and more often get fresh memory.
%
%   Errors (identifier: cause):
%     ZELgetFeatureMaps:invalidClass        the image not a real, non-sparse double,
%                                           single, uint8, uint16 or logical array
%     ZELgetFeatureMaps:invalidShape        the image neither rows x cols nor
%                                           rows x cols x 3
%     ZELgetFeatureMaps:emptyInput          the image has no pixel
%     ZELgetFeatureMaps:missingValue        an option name without its value
%     ZELgetFeatureMaps:unknownOption       an option name not among those above,
%                                           or not text
%     ZELgetFeatureMaps:invalidScales       Scales not an ascending vector of
%                                           values from 0.1 to 128
%     ZELgetFeatureMaps:invalidOrientations Orientations not a whole number
%                                           from 1 to 65534
%     ZELgetFeatureMaps:invalidPolarity     Polarity neither 'bright' nor 'dark'
%     ZELgetFeatureMaps:invalidMaps         Maps empty, or naming no map above
%     ZELgetFeatureMaps:invalidPrecision    Precision neither 'single' nor 'double'
%     ZELgetFeatureMaps:invalidTileSize     TileSize not one or two whole numbers of
%                                           1 or more (or Inf)
%
%   Example:
%     image = ZELdemoImage(256);                  % or imread('photo.png')
%     [maps, inputs] = ZELgetFeatureMaps(image);
%     isequal(ZELgetEdgeMap(inputs.ZELgetEdgeMap{:}), maps.edge)   % true
%     dark = ZELgetFeatureMaps(image, 'Polarity', 'dark', 'Maps', {'ridge'});
%
%   See also ZELgetResponseStack, ZELgetIndexMaps, ZELgetScaleTable,
%   ZELgetProfileTable, ZELmapInTiles, ZELdemo.

options = read_options(varargin);
grey = grey_image(image, options);
options.tables = feature_tables(options);
[rows, cols] = size(grey);
want = options.maps;
% The curvature map is taken of the orientation map on the ridge map's
% centre lines.
need = want;
need.ridge = want.ridge || want.curvature;
need.orientation = want.orientation || want.curvature;

tile = options.tileSize;
if nargout > 1 || (rows <= tile(1) && cols <= tile(2))
    [found, inputs] = tile_maps(grey, options, need, nargout > 1);
else
    found = tiled_maps(grey, options, need);
end

if want.curvature
    centre = centre_lines(found.ridge, found.orientation, 0.3);
    lines = found.orientation;
    lines(~centre) = NaN;
    centre = [];
    found.curvature = ZELgetCurvatureMap(lines);
    if nargout > 1
        inputs.ZELgetCurvatureMap = {lines};
    end
    lines = [];
end

maps = struct();
names = map_names();
for k = 1:numel(names)
    if want.(names{k})
        maps.(names{k}) = found.(names{k});
    end
end
end

% --- options -----------------------------------------------------------------

function names = map_names()
names = {'blob', 'ridge', 'edge', 'height', 'width', 'orientation', 'curvature'};
end

function options = read_options(arguments)
options.scales = 1.5 * 1.6 .^ (0:3);
options.orientations = 8;
options.dark = false;
options.precision = 'single';
options.tileSize = [160, 160];
names = map_names();
for k = 1:numel(names)
    options.maps.(names{k}) = true;
end

if mod(numel(arguments), 2) ~= 0
    error('ZELgetFeatureMaps:missingValue', ...
          'options come in Name, Value pairs: %d arguments follow the image.', numel(arguments));
end
for k = 1:2:numel(arguments)
    name = arguments{k};
    value = arguments{k + 1};
    if ~(ischar(name) && size(name, 1) == 1)
        error('ZELgetFeatureMaps:unknownOption', ...
              'argument %d must be an option name (text): ''Scales'', ''Orientations'', ''Polarity'', ''Maps'', ''Precision'' or ''TileSize''.', k + 1);
    end
    switch lower(name)
        case 'scales'
            options.scales = read_scales(value);
        case 'orientations'
            if ~(is_real_number(value) && isscalar(value) && value == fix(value) && value >= 1 && value <= 65534)
                error('ZELgetFeatureMaps:invalidOrientations', ...
                      'Orientations must be a whole number from 1 to 65534.');
            end
            options.orientations = double(value);
        case 'polarity'
            if ~ischar(value) || ~any(strcmpi(value, {'bright', 'dark'}))
                error('ZELgetFeatureMaps:invalidPolarity', 'Polarity must be ''bright'' or ''dark''.');
            end
            options.dark = strcmpi(value, 'dark');
        case 'maps'
            options.maps = read_map_names(value);
        case 'precision'
            if ~ischar(value) || ~any(strcmpi(value, {'single', 'double'}))
                error('ZELgetFeatureMaps:invalidPrecision', 'Precision must be ''single'' or ''double''.');
            end
            options.precision = lower(value);
        case 'tilesize'
            if ~(is_real_number(value) && any(numel(value) == [1, 2]) && all(value(:) >= 1) ...
                 && all(value(:) == fix(value(:))))
                error('ZELgetFeatureMaps:invalidTileSize', ...
                      'TileSize must be one or two whole numbers of 1 or more (rows, columns), or Inf.');
            end
            options.tileSize = double([value(1), value(end)]);
        otherwise
            error('ZELgetFeatureMaps:unknownOption', ...
                  'unknown option ''%s''; the options are ''Scales'', ''Orientations'', ''Polarity'', ''Maps'', ''Precision'' and ''TileSize''.', name);
    end
end
end

function yes = is_real_number(value)
yes = (isa(value, 'double') || isa(value, 'single')) && isreal(value) && ~issparse(value) && ~isempty(value) ...
      && ~any(isnan(value(:)));
end

function scales = read_scales(value)
if ~(is_real_number(value) && isvector(value) && all(value(:) >= 0.1) && all(value(:) <= 128) ...
     && all(diff(value(:)) > 0))
    error('ZELgetFeatureMaps:invalidScales', ...
          'Scales must be a vector of standard deviations in pixels, each from 0.1 to 128, strictly ascending.');
end
scales = double(value(:).');
end

function wanted = read_map_names(value)
names = map_names();
if ischar(value)
    value = {value};
end
if ~iscell(value) || isempty(value) || ~all(cellfun(@ischar, value(:)))
    error('ZELgetFeatureMaps:invalidMaps', ...
          'Maps must be a cell array of map names: ''blob'', ''ridge'', ''edge'', ''height'', ''width'', ''orientation'', ''curvature''.');
end
for k = 1:numel(names)
    wanted.(names{k}) = false;
end
for k = 1:numel(value)
    known = strcmpi(value{k}, names);
    if ~any(known)
        error('ZELgetFeatureMaps:invalidMaps', ...
              'unknown map ''%s''; the maps are ''blob'', ''ridge'', ''edge'', ''height'', ''width'', ''orientation'' and ''curvature''.', value{k});
    end
    wanted.(names{known}) = true;
end
end

% --- the image ---------------------------------------------------------------

% The grey image in the class of the stacks: integers scaled to [0, 1] as
% im2double does, colour weighted by ITU-R BT.601 luma, negated for dark
% structures. Formed in double, then rounded to single for single stacks.
function grey = grey_image(image, options)
kinds = {'double', 'single', 'uint8', 'uint16', 'logical'};
if ~any(strcmp(class(image), kinds)) || ~isreal(image) || issparse(image)
    kind = class(image);
    if isnumeric(image) && ~isreal(image)
        kind = ['complex ' kind];
    elseif issparse(image)
        kind = ['sparse ' kind];
    end
    error('ZELgetFeatureMaps:invalidClass', ...
          'the image must be a real, non-sparse double, single, uint8, uint16 or logical array; found %s.', kind);
end
sizes = size(image);
if ~(numel(sizes) == 2 || (numel(sizes) == 3 && sizes(3) == 3))
    error('ZELgetFeatureMaps:invalidShape', ...
          'the image must be rows x cols (grey) or rows x cols x 3 (colour); found %s.', ...
          strjoin(cellfun(@num2str, num2cell(sizes), 'UniformOutput', false), ' x '));
end
if isempty(image)
    error('ZELgetFeatureMaps:emptyInput', 'the image has no pixel.');
end
if isa(image, 'uint8')
    grey = double(image) / 255;
elseif isa(image, 'uint16')
    grey = double(image) / 65535;
else
    grey = double(image);
end
if numel(sizes) == 3
    grey = (0.299 * grey(:, :, 1) + 0.587 * grey(:, :, 2)) + 0.114 * grey(:, :, 3);
end
if options.dark
    grey = -grey;
end
if strcmp(options.precision, 'single')
    grey = single(grey);
end
end

% --- the maps ------------------------------------------------------------------

% The pixel-wise maps NEED of an image (or of a tile with its halo), and with
% KEEP the inputs of every call. R2 and R1 are held throughout; one penalty
% stack at a time besides them, unless the inputs are kept. An array is let
% go by assigning [] to it (Octave's clear costs more, tile after tile).
function [found, inputs] = tile_maps(grey, options, need, keep)
found = struct();
inputs = struct();
sigmas = options.scales;
nO = options.orientations;
tables = options.tables;
if need.blob || need.ridge || need.edge
    orders = [2, 1];
    [R2, R1] = ZELgetResponseStack(grey, sigmas, nO, orders);
else
    orders = 2;
    R2 = ZELgetResponseStack(grey, sigmas, nO, orders);
end
if keep
    inputs.ZELgetResponseStack = {grey, sigmas, nO, orders};
end
[o2, s2] = ZELgetIndexMaps(R2);

% Height and width first: the blob and ridge maps take the width as their
% size map and the height's magnitude as their amplitude.
if need.height || need.width || need.blob || need.ridge
    call = {R2, o2, s2, tables.line, tables.lineGain, tables.T, uint16(3)};
    if need.width || need.blob || need.ridge
        [found.height, found.width] = ZELgetHeightAndWidthMap(call{:});
    else
        found.height = ZELgetHeightAndWidthMap(call{:});
    end
    if keep
        inputs.ZELgetHeightAndWidthMap = call;
    end
end
if need.orientation
    call = {R2, o2, s2, uint16(0)};
    found.orientation = ZELgetOrientationMap(call{:});
    if keep
        inputs.ZELgetOrientationMap = call;
    end
end
call = [];
s2 = [];
if need.blob || need.ridge
    amplitude = abs(found.height);
end
% The blob map reads the magnitude of its penalty stack: 0.25 * R1 gives
% the bits of 0.25 * abs(R1).
if need.blob
    call = {R2, 0.25 * R1, o2, [], 0.05, tables.spot, tables.spotGain, found.width, tables.T, amplitude};
    found.blob = ZELgetBlobMap(call{:});
    if keep
        inputs.ZELgetBlobMap = call;
    end
    call = [];
end
if need.ridge
    call = {R2, abs(R1), o2, [], 0.05, tables.linePair, tables.linePairGain, found.width, tables.T, amplitude};
    found.ridge = ZELgetRidgeMap(call{:});
    if keep
        inputs.ZELgetRidgeMap = call;
    end
    call = [];
end
o2 = [];
amplitude = [];
if need.edge
    [o1, s1] = ZELgetIndexMaps(R1);
    call = {R1, abs(R2), o1, s1, 0.02, 1};
    R1 = [];
    R2 = [];
    found.edge = ZELgetEdgeMap(call{:});
    if keep
        inputs.ZELgetEdgeMap = call;
    end
end
end

% The scale table and the profile tables with their gains, made once for
% every tile.
function tables = feature_tables(options)
tables.T = ZELgetScaleTable(options.scales, options.orientations);
[tables.line, tables.lineGain] = ZELgetProfileTable('line');
[tables.spot, tables.spotGain] = ZELgetProfileTable('spot');
[tables.linePair, tables.linePairGain] = ZELgetProfileTable('linePair');
end

% The pixel-wise maps of a large image, tile by tile: each tile's stacks are
% made from the tile widened by the filter bank's reach, and only the tile's
% own pixels of its maps are kept.
function found = tiled_maps(grey, options, need)
[rows, cols] = size(grey);
halo = ceil(4 * max(options.scales));
row_edges = tile_edges(rows, options.tileSize(1));
col_edges = tile_edges(cols, options.tileSize(2));
names = fieldnames(need);
names = names(cellfun(@(name) need.(name), names) & ~strcmp(names, 'curvature'));
% Octave takes its arrays from the C library's malloc. With glibc, an
% array above the mmap threshold gets fresh pages, whose first touch costs
% more than the filter bank's arithmetic on some machines; the threshold
% rises to the size of the largest such array freed (up to 32 MiB), and
% the heap keeps up to twice that of freed memory. One array of 31 MiB
% freed before the first tile lets the arrays of every tile reuse the
% memory the tile before freed.
release = zeros(31 * 2^17, 1);
release = [];
parts = cell(size(names));
for k = 1:numel(names)
    parts{k} = zeros(rows, cols);
end
for i = 1:numel(row_edges) - 1
    r = row_edges(i) + 1:row_edges(i + 1);
    rh = max(r(1) - halo, 1):min(r(end) + halo, rows);
    for j = 1:numel(col_edges) - 1
        c = col_edges(j) + 1:col_edges(j + 1);
        ch = max(c(1) - halo, 1):min(c(end) + halo, cols);
        tile = tile_maps(grey(rh, ch), options, need, false);
        for k = 1:numel(names)
            parts{k}(r, c) = tile.(names{k})(r - rh(1) + 1, c - ch(1) + 1);
        end
        tile = [];
    end
end
found = cell2struct(parts, names, 1);
end

% Edges of tiles of at most SIZE pixels, as even as can be: tile k holds
% edges(k) + 1 to edges(k + 1).
function edges = tile_edges(count, size)
tiles = ceil(count / size);
edges = floor((0:tiles) * count / tiles);
end

% --- centre lines --------------------------------------------------------------

% Pixels where the ridge map is at least THRESHOLD and no smaller than its
% two neighbours across the line, thinned to one pixel. The neighbours
% across are those of the eight nearest the normal, ORIENTATION + 90
% degrees (both for a NaN orientation, which compares the pixel with
% itself); outside the image the pixel's own value stands in.
function centre = centre_lines(ridge, orientation, threshold)
[n, m] = size(ridge);
candidate = find(ridge >= threshold);
direction = mod(round((orientation(candidate) + 90) / 45), 8);
direction(isnan(direction)) = 8;   % no offset
row_step = [0, -1, -1, -1, 0, 1, 1, 1, 0];    % directions 0, 45, ... 315 degrees, then none
col_step = [1, 1, 0, -1, -1, -1, 0, 1, 0];
dr = row_step(direction + 1).';
dc = col_step(direction + 1).';
[r, c] = ind2sub([n, m], candidate);
value = @(rs, cs) ridge(min(max(rs, 1), n) + n * (min(max(cs, 1), m) - 1));
here = ridge(candidate);
peak = here >= value(r + dr, c + dc) & here >= value(r - dr, c - dc);
centre = false(n, m);
centre(candidate(peak)) = true;
centre = thin(centre);
end

% Zhang-Suen thinning, in parallel sub-steps over the pixels still in the
% mask, until each stroke is one pixel wide; then the corners of the
% staircases it leaves on diagonal strokes.
function mask = thin(mask)
[n, m] = size(mask);
padded = false(n + 2, m + 2);
padded(2:end-1, 2:end-1) = mask;
N = n + 2;
% The eight neighbours as offsets into the padded mask: N, NE, E, SE, S,
% SW, W, NW.
around = [-1, N - 1, N, N + 1, 1, 1 - N, -N, -1 - N];
at = find(padded);
changed = true;
while changed
    changed = false;
    for step = 1:2
        p = padded(at + around);
        count = sum(p, 2);
        ring = [p, p(:, 1)];
        transitions = sum(~ring(:, 1:8) & ring(:, 2:9), 2);
        if step == 1
            free = ~(p(:, 1) & p(:, 3) & p(:, 5)) & ~(p(:, 3) & p(:, 5) & p(:, 7));
        else
            free = ~(p(:, 1) & p(:, 3) & p(:, 7)) & ~(p(:, 1) & p(:, 5) & p(:, 7));
        end
        remove = count >= 2 & count <= 6 & transitions == 1 & free;
        if any(remove)
            padded(at(remove)) = false;
            at = at(~remove);
            changed = true;
        end
    end
end
% A staircase corner has two perpendicular 4-neighbours (which touch each
% other diagonally), nothing on the diagonal between them and nothing on
% its other side; one direction at a time, so that no two touching corners
% go together. Rows: the pair, the diagonal between, the other side.
corners = {[3, 5], 4, [1, 7, 8];
           [5, 7], 6, [1, 3, 2];
           [7, 1], 8, [3, 5, 4];
           [1, 3], 2, [5, 7, 6]};
for k = 1:size(corners, 1)
    p = padded(at + around);
    pair = corners{k, 1};
    other = corners{k, 3};
    corner = p(:, pair(1)) & p(:, pair(2)) & ~p(:, corners{k, 2}) & ~(p(:, other(1)) | p(:, other(2)) | p(:, other(3)));
    padded(at(corner)) = false;
    at = at(~corner);
end
mask = padded(2:end-1, 2:end-1);
end

% Tests for Octave's test function (test ZELgetFeatureMaps, pkg test
% zelmaps); comments to MATLAB.
%
%!test
%! % Every map again from the inputs returned, and in tiles of 20 pixels,
%! % bit for bit.
%! image = ZELdemoImage(48);
%! [maps, inputs] = ZELgetFeatureMaps(image);
%! tiled = ZELgetFeatureMaps(image, 'TileSize', 20);
%! [H, W] = ZELgetHeightAndWidthMap(inputs.ZELgetHeightAndWidthMap{:});
%! again = struct('blob', ZELgetBlobMap(inputs.ZELgetBlobMap{:}), ...
%!                'ridge', ZELgetRidgeMap(inputs.ZELgetRidgeMap{:}), ...
%!                'edge', ZELgetEdgeMap(inputs.ZELgetEdgeMap{:}), ...
%!                'height', H, 'width', W, ...
%!                'orientation', ZELgetOrientationMap(inputs.ZELgetOrientationMap{:}), ...
%!                'curvature', ZELgetCurvatureMap(inputs.ZELgetCurvatureMap{:}));
%! names = fieldnames(maps);
%! assert(names, fieldnames(again));
%! for k = 1:numel(names)
%!   bits = typecast(maps.(names{k})(:), 'uint64');
%!   assert(bits, typecast(again.(names{k})(:), 'uint64'), names{k});
%!   assert(bits, typecast(tiled.(names{k})(:), 'uint64'), names{k});
%! end
%
%!error id=ZELgetFeatureMaps:unknownOption ZELgetFeatureMaps(ones(8), 'Colour', 1)
%!error id=ZELgetFeatureMaps:invalidShape ZELgetFeatureMaps(ones(4, 4, 2))
%!error id=ZELgetFeatureMaps:invalidMaps ZELgetFeatureMaps(ones(8), 'Maps', {'corner'})
