function varargout = ZELmapInTiles(kernel, tileInputs, imageSize, tileSize, halo, workers)
%ZELmapInTiles  A map of a large image made tile by tile, serially or by worker processes.
%   map = ZELmapInTiles(kernel, tileInputs, imageSize, tileSize)
%   map = ZELmapInTiles(kernel, tileInputs, imageSize, tileSize, halo)
%   map = ZELmapInTiles(kernel, tileInputs, imageSize, tileSize, halo, workers)
%   [map1, map2, ...] = ZELmapInTiles(...)
%
%   The map (or the first nargout maps) that kernel makes of an image of
%   imageSize = [rows, cols] pixels, made in tiles of tileSize = [rows, cols]
%   pixels (the last ones in each direction smaller) and put together.
%   tileInputs(r, c) returns, as a cell array, kernel's inputs for rows r and
%   columns c of the image: cut from the whole image's arrays, read from
%   files, or computed for those pixels. Each tile is widened by halo pixels
%   on every side inside the image, and the halo's own output is dropped:
%
%     halo = 0   maps whose pixels come from their own elements only: the
%                blob, ridge, edge, height-and-width and orientation maps
%     halo = 1   ZELgetCurvatureMap, which reads each pixel's 8 neighbours
%     halo = ceil(4 * max(sigmas))   a kernel that runs ZELgetResponseStack
%                on the tile's part of the image (the reach of its filters)
%
%   With the halo a kernel needs, the map is the very bits of the whole
%   image's map: each tile's own pixels see the same inputs as in one call.
%
%   workers (default 0) runs the tiles in parallel:
%     MATLAB   parfor on up to workers workers of the current parallel pool
%              (Parallel Computing Toolbox); without it parfor runs the
%              tiles one after another
%     Octave   parcellfun on workers processes of the parallel package
%              (pkg install -forge parallel, or Debian's octave-parallel);
%              when the package is missing the tiles run one after another
%              and the call warns once with ZELmapInTiles:serial
%   Each worker gets a copy of tileInputs with everything it captures: for a
%   large image let it capture a file name or the image, not its stacks.
%   In Octave kernel goes to the workers by name (a handle to a MEX file
%   kept by a worker crashes Octave 7 when it exits): pass a named function
%   (@ZELgetEdgeMap) or an anonymous function that captures no variable.
%
%   Inputs:
%     kernel      function handle or name   called as kernel(inputs{:})
%     tileInputs  function handle           tileInputs(r, c) returns a cell array
%     imageSize   [rows, cols]              the image's size in pixels
%     tileSize    [rows, cols] or a scalar  the tile size in pixels
%     halo        whole number, 0 or more   default 0
%     workers     whole number, 0 or more   default 0 (no workers)
%
%   Outputs:
%     map1, ...   rows x cols, kernel's outputs put together (their class)
%
%   Errors:
%     ZELmapInTiles:invalidKernel      kernel not a function handle or name
%     ZELmapInTiles:invalidTileInputs  tileInputs not a function handle, or it
%                                      returned something other than a cell array
%     ZELmapInTiles:invalidSize        imageSize or tileSize not whole numbers of
%                                      1 or more
%     ZELmapInTiles:invalidHalo        halo not a whole number of 0 or more
%     ZELmapInTiles:invalidWorkers     workers not a whole number of 0 or more
%
%   Example (the edge map of the demo's image in tiles of 100 x 100 pixels):
%     [maps, inputs] = ZELgetFeatureMaps(ZELdemoImage(256), 'Maps', {'edge'});
%     e = inputs.ZELgetEdgeMap;        % R, Q, o, s, c, b of the whole image
%     tileInputs = @(r, c) {e{1}(r, c, :, :), e{2}(r, c, :, :), e{3}(r, c), e{4}(r, c), e{5}, e{6}};
%     E = ZELmapInTiles(@ZELgetEdgeMap, tileInputs, [256, 256], [100, 100]);
%     isequal(E, maps.edge)            % true
%
%   See also ZELgetFeatureMaps, ZELgetCurvatureMap.

if nargin < 5
    halo = 0;
end
if nargin < 6
    workers = 0;
end
if ischar(kernel)
    kernel = str2func(kernel);
end
if ~isa(kernel, 'function_handle')
    error('ZELmapInTiles:invalidKernel', 'kernel must be a function handle or a function name.');
end
if ~isa(tileInputs, 'function_handle')
    error('ZELmapInTiles:invalidTileInputs', 'tileInputs must be a function handle: tileInputs(r, c) returns a cell array.');
end
if ~(whole_numbers(imageSize, 1) && numel(imageSize) == 2 && whole_numbers(tileSize, 1) ...
     && any(numel(tileSize) == [1, 2]))
    error('ZELmapInTiles:invalidSize', ...
          'imageSize must be [rows, cols] and tileSize [rows, cols] or a scalar, whole numbers of 1 or more.');
end
if ~(whole_numbers(halo, 0) && isscalar(halo))
    error('ZELmapInTiles:invalidHalo', 'halo must be a whole number of 0 or more.');
end
if ~(whole_numbers(workers, 0) && isscalar(workers))
    error('ZELmapInTiles:invalidWorkers', 'workers must be a whole number of 0 or more.');
end
imageSize = double(imageSize(:).');
tileSize = double([tileSize(1), tileSize(end)]);
halo = double(halo);
workers = double(workers);

[r0, c0] = ndgrid(1:tileSize(1):imageSize(1), 1:tileSize(2):imageSize(2));
count = numel(r0);
outputs = max(nargout, 1);
parts = cell(count, 1);
on_octave = exist('OCTAVE_VERSION', 'builtin') > 0;
if on_octave && workers > 0 && parallel_package()
    % The pool outlives the call: the kernel goes by name, and the workers
    % find this file's function through its handle.
    name = func2str(kernel);
    one_tile = @tile_by_name;
    parts = parcellfun(workers, @(r, c) one_tile(name, tileInputs, imageSize, tileSize, halo, outputs, r, c), ...
                       num2cell(r0(:)), num2cell(c0(:)), 'UniformOutput', false, 'VerboseLevel', 0);
else
    if on_octave && workers > 0
        warning('ZELmapInTiles:serial', ...
                'Octave''s parallel package is not installed: the %d tiles are made one after another.', count);
    end
    % Octave runs parfor as a for loop.
    parfor (k = 1:count, workers)
        parts{k} = map_of_tile(kernel, tileInputs, imageSize, tileSize, halo, outputs, r0(k), c0(k));
    end
end

grid = reshape(parts, size(r0));
varargout = cell(1, outputs);
for m = 1:outputs
    varargout{m} = cell2mat(cellfun(@(part) part{m}, grid, 'UniformOutput', false));
end
end

function yes = whole_numbers(value, least)
yes = isnumeric(value) && isreal(value) && ~isempty(value) && all(isfinite(value(:))) ...
      && all(value(:) == fix(value(:))) && all(value(:) >= least);
end

% Whether Octave's parallel package is installed; loads it.
function yes = parallel_package()
yes = true;
try
    pkg('load', 'parallel');
catch
    yes = false;
end
end

function maps = tile_by_name(name, tileInputs, imageSize, tileSize, halo, outputs, r0, c0)
maps = map_of_tile(str2func(name), tileInputs, imageSize, tileSize, halo, outputs, r0, c0);
end

% The maps of the tile whose first row and column are r0 and c0, the halo's
% own output dropped.
function maps = map_of_tile(kernel, tileInputs, imageSize, tileSize, halo, outputs, r0, c0)
r = r0:min(r0 + tileSize(1) - 1, imageSize(1));
c = c0:min(c0 + tileSize(2) - 1, imageSize(2));
rh = max(r(1) - halo, 1):min(r(end) + halo, imageSize(1));
ch = max(c(1) - halo, 1):min(c(end) + halo, imageSize(2));
inputs = tileInputs(rh, ch);
if ~iscell(inputs)
    error('ZELmapInTiles:invalidTileInputs', 'tileInputs(r, c) must return a cell array of the kernel''s inputs.');
end
maps = cell(1, outputs);
[maps{:}] = kernel(inputs{:});
for m = 1:outputs
    maps{m} = maps{m}(r - rh(1) + 1, c - ch(1) + 1);
end
end

% Tests for Octave's test function (test ZELmapInTiles, pkg test zelmaps);
% comments to MATLAB.
%
%!test
%! % Tiles of 7 x 8 pixels of a 20 x 30 image give the whole image's maps,
%! % both outputs, bit for bit.
%! R = reshape(sin(1:20 * 30 * 4 * 2), 20, 30, 4, 2);
%! [o, s] = ZELgetIndexMaps(R);
%! P = ZELgetProfileTable('line');
%! T = ZELgetScaleTable([1.5, 2.4], 4);
%! [H, W] = ZELgetHeightAndWidthMap(R, o, s, P, 257, T, uint16(3));
%! [Ht, Wt] = ZELmapInTiles(@ZELgetHeightAndWidthMap, ...
%!   @(r, c) {R(r, c, :, :), o(r, c), s(r, c), P, 257, T, uint16(3)}, [20, 30], [7, 8]);
%! assert(typecast([Ht(:); Wt(:)], 'uint64'), typecast([H(:); W(:)], 'uint64'));
%
%!error id=ZELmapInTiles:invalidSize ZELmapInTiles(@ZELgetEdgeMap, @(r, c) {}, [20, 0], 8)
%!error id=ZELmapInTiles:invalidHalo ZELmapInTiles(@ZELgetEdgeMap, @(r, c) {}, [20, 20], 8, -1)
