## zel_demo (out_dir)
## The six functions on a synthetic 512 x 512 image with known structures:
## straight and curved lines of three widths (top half), step edges (bottom
## left), round spots of three sizes (bottom right), and noise. Builds an
## oriented filter bank of 8 orientations and 4 scales, derives what the
## functions take (index maps, profile and scale tables, size and amplitude
## maps), calls all six and writes one PNG per map, plus the input, into
## OUT_DIR. Prints one line per map (size, range, fraction of NaNs) and the
## time of every call. A function whose MEX file is not on the path is
## skipped, by name, with the maps that depend on it.
function zel_demo (out_dir)
  if (nargin < 1)
    out_dir = "docs";
  endif
  if (! isfolder (out_dir))
    mkdir (out_dir);
  endif
  started = tic ();

  image = synthetic_image (512);
  write_png (fullfile (out_dir, "input.png"), gray_picture (image, [0, 1]));
  report_map ("input", image);

  ## The filter bank. Scales grow geometrically, as the width interpolation
  ## of ZELgetHeightAndWidthMap assumes (T(1,1)/T(1,2) is the ratio of every
  ## two consecutive scales). Orientation o is a line running at
  ## (o - 1) * 22.5 degrees counterclockwise from the image's x axis.
  sigmas = 1.5 * 1.6 .^ (0:3);
  orientations = 8;
  [ridge_stack, edge_stack] = filter_bank (image, sigmas, orientations);
  ## Each stack's penalty is the other one's magnitude: gradients penalise
  ## the line and spot detectors beside steps (the spot detector gently, or
  ## the slopes of the spots would vanish too), curvature penalises the step
  ## detector on lines.
  ridge_penalty = abs (edge_stack);
  blob_penalty = 0.25 * ridge_penalty;
  edge_penalty = abs (ridge_stack);

  ## Index maps: the orientation of the largest magnitude at every scale,
  ## then the scale at which that is largest, and the orientation there. The
  ## interpolations across orientations and scales then centre on a peak of
  ## the magnitudes, and the sign of the height tells bright from dark.
  [ridge_orientation, ridge_scale] = strongest (abs (ridge_stack));
  [edge_orientation, edge_scale] = strongest (abs (edge_stack));

  ## T(o, s): the width (the standard deviation of a Gaussian line profile)
  ## to which scale s responds most, sigma / sqrt(2), at every orientation.
  scale_table = repmat (sigmas / sqrt (2), orientations, 1);
  tables = profile_tables (257);

  maps = struct ();
  times = struct ();

  if (available ("ZELgetHeightAndWidthMap"))
    ## Mode 3: the response divided by the response the filter gives to a
    ## line of unit height and the estimated width, so the height map is
    ## the line's contrast.
    [maps.height, maps.width, times.ZELgetHeightAndWidthMap] = timed (@ZELgetHeightAndWidthMap, 2, ...
        ridge_stack, ridge_orientation, ridge_scale, tables.line, tables.line_gain, scale_table, uint16 (3));
  endif

  if (available ("ZELgetBlobMap", "ZELgetHeightAndWidthMap"))
    [maps.blob, times.ZELgetBlobMap] = timed (@ZELgetBlobMap, 1, ...
        ridge_stack, blob_penalty, ridge_orientation, [], 0.05, tables.spot, tables.spot_gain, ...
        maps.width, scale_table, maps.height);
  endif

  if (available ("ZELgetRidgeMap", "ZELgetHeightAndWidthMap"))
    [maps.ridge, times.ZELgetRidgeMap] = timed (@ZELgetRidgeMap, 1, ...
        ridge_stack, ridge_penalty, ridge_orientation, [], 0.05, tables.pair, tables.pair_gain, ...
        maps.width, scale_table, maps.height);
  endif

  if (available ("ZELgetEdgeMap"))
    [maps.edge, times.ZELgetEdgeMap] = timed (@ZELgetEdgeMap, 1, ...
        edge_stack, edge_penalty, edge_orientation, edge_scale, 0.02, 1);
  endif

  if (available ("ZELgetOrientationMap"))
    [maps.orientation, times.ZELgetOrientationMap] = timed (@ZELgetOrientationMap, 1, ...
        ridge_stack, ridge_orientation, ridge_scale, uint16 (0));
  endif

  if (available ("ZELgetCurvatureMap", "ZELgetOrientationMap", "ZELgetRidgeMap"))
    ## The curvature is taken along the centre lines of the ridges: the
    ## orientation map where the ridge map peaks across the line, NaN
    ## elsewhere.
    centre = centre_lines (maps.ridge, maps.orientation, 0.3);
    thin_orientation = maps.orientation;
    thin_orientation(! centre) = NaN;
    [maps.curvature, times.ZELgetCurvatureMap] = timed (@ZELgetCurvatureMap, 1, thin_orientation);
  endif

  ## Pictures. The scores over [0, 1]; curvature from blue (straight) to
  ## red. Height, width and orientation describe a structure where there is
  ## one, so they are drawn as bright as the ridge or blob map is strong
  ## there (dark elsewhere), height and width in the colours of the scores,
  ## orientation as a hue over [0, 180). NaN is white on every map.
  strength = zeros (size (image));
  for name = {"ridge", "blob"}
    if (isfield (maps, name{1}))
      strength = max (strength, maps.(name{1}));
    endif
  endfor
  views = {"blob",        [0, 1],      @viridis, false;
           "ridge",       [0, 1],      @viridis, false;
           "edge",        [0, 1],      @viridis, false;
           "height",      [0, 0.7],    @viridis, true;
           "width",       [1, 4],      @viridis, true;
           "orientation", [0, 180],    @hsv,     true;
           "curvature",   [0, 0.05],   @jet,     false};
  for k = 1:rows (views)
    [name, range, colours, weighted] = views{k, :};
    if (! isfield (maps, name))
      continue;
    endif
    report_map (name, maps.(name));
    brightness = [];
    if (weighted)
      brightness = strength;
    endif
    picture = colour_picture (maps.(name), range, colours (256), brightness);
    write_png (fullfile (out_dir, [name ".png"]), picture);
  endfor

  calls = fieldnames (times);
  for k = 1:numel (calls)
    printf ("%-24s %8.3f s\n", calls{k}, times.(calls{k}));
  endfor
  printf ("pictures in %s; %.1f s in all\n", out_dir, toc (started));
endfunction

## True when every named function has its MEX file on the path; otherwise
## says which map is skipped and why.
function ok = available (name, varargin)
  needed = [{name}, varargin];
  missing = needed(cellfun (@(f) exist (f) != 3, needed));
  ok = isempty (missing);
  if (! ok)
    printf ("SKIPPED %s: not built: %s\n", name, strjoin (strcat (missing, ".mex"), ", "));
  endif
endfunction

## Calls f with nout outputs and returns them followed by the time taken.
function varargout = timed (f, nout, varargin)
  outputs = cell (1, nout);
  start = tic ();
  [outputs{:}] = f (varargin{:});
  varargout = [outputs, {toc(start)}];
endfunction

function report_map (name, map)
  finite = map(isfinite (map));
  if (isempty (finite))
    range = [NaN, NaN];
  else
    range = [min(finite), max(finite)];
  endif
  printf ("%-12s %4d x %-4d  finite range [%9.4g, %9.4g]  NaN %6.2f%%\n", name, rows (map), columns (map),
          range(1), range(2), 100 * mean (isnan (map(:))));
endfunction

## --- the image ---

## Background 0.1, bright structures of contrast 0.6, noise of 0.02.
function image = synthetic_image (n)
  [x, y] = meshgrid (1:n, 1:n);       # x to the right, y downwards
  image = 0.1 * ones (n);
  contrast = 0.6;
  widths = [1, 2, 3.5];               # standard deviations of the line profiles

  ## Straight lines, top left: three widths at 15, 60 and 105 degrees.
  angles = [15, 60, 105];
  for k = 1:3
    centre = [40 + 65 * k, 128];
    image += contrast * line_profile (segment_distance (x, y, centre, angles(k), 100), widths(k));
  endfor

  ## Curved lines, top right: three circular arcs and a wave.
  radii = [28, 55, 85];
  for k = 1:3
    d = abs (hypot (x - 395, y - 115) - radii(k));
    image += contrast * line_profile (d, widths(k)) .* (y < 115 + 0.7 * radii(k));
  endfor
  wave = 232 + 12 * sin ((x - 280) / 16);
  image += contrast * line_profile (abs (y - wave), 1.5) .* (x > 275 & x < 495);

  ## Step edges, bottom left: a square plateau and a disc plateau.
  image += contrast * (x > 30 & x < 130 & y > 300 & y < 400);
  image += 0.5 * contrast * (hypot (x - 190, y - 420) < 55);

  ## Round spots, bottom right: Gaussian spots of three sizes.
  spot_sizes = [2, 4, 7];
  for k = 1:3
    for j = 1:2
      centre = [230 + 75 * k, 320 + 110 * (j - 1)];
      r2 = (x - centre(1)) .^ 2 + (y - centre(2)) .^ 2;
      image += contrast * exp (-r2 / (2 * spot_sizes(k) ^ 2));
    endfor
  endfor

  randn ("state", 20261209);
  image += 0.02 * randn (n);
endfunction

function profile = line_profile (distance, width)
  profile = exp (-distance .^ 2 / (2 * width ^ 2));
endfunction

## Distance to a segment of the given length through centre, at an angle in
## degrees counterclockwise from the x axis (y pointing down).
function d = segment_distance (x, y, centre, angle, len)
  direction = [cosd(angle), -sind(angle)];
  along = (x - centre(1)) * direction(1) + (y - centre(2)) * direction(2);
  across = -(x - centre(1)) * direction(2) + (y - centre(2)) * direction(1);
  beyond = max (abs (along) - len / 2, 0);
  d = hypot (across, beyond);
endfunction

## --- the filter bank ---

## ridge(:,:,o,s) = -sigma^2 times the second derivative across the line
## direction of orientation o, of the image smoothed at scale s: positive
## on bright lines that run along the orientation. edge(:,:,o,s) = sigma
## times the first derivative across it, signed: large on steps that run
## along the orientation. Computed by FFT on a mirrored image.
function [ridge, edge] = filter_bank (image, sigmas, orientations)
  [n, m] = size (image);
  pad = 48;
  padded = image([pad:-1:1, 1:n, n:-1:n-pad+1], [pad:-1:1, 1:m, m:-1:m-pad+1]);
  [N, M] = size (padded);
  spectrum = fft2 (padded);
  u = 2 * pi * [0:floor(M/2), -ceil(M/2)+1:-1] / M;   # along x (columns)
  v = 2 * pi * [0:floor(N/2), -ceil(N/2)+1:-1] / N;   # along y (rows)
  [U, V] = meshgrid (u, v);
  inner = @(F) real (ifft2 (F))(pad+1:pad+n, pad+1:pad+m);

  angles = (0:orientations-1) * 180 / orientations;
  ## Unit normal of each orientation, in (x, y) with y downwards.
  nx = -sind (angles);
  ny = -cosd (angles);

  ridge = zeros (n, m, orientations, numel (sigmas));
  edge = zeros (n, m, orientations, numel (sigmas));
  for s = 1:numel (sigmas)
    sigma = sigmas(s);
    G = spectrum .* exp (-sigma ^ 2 * (U .^ 2 + V .^ 2) / 2);
    Ix = inner (1i * U .* G);
    Iy = inner (1i * V .* G);
    Ixx = inner (-U .^ 2 .* G);
    Ixy = inner (-U .* V .* G);
    Iyy = inner (-V .^ 2 .* G);
    for o = 1:orientations
      across2 = nx(o) ^ 2 * Ixx + 2 * nx(o) * ny(o) * Ixy + ny(o) ^ 2 * Iyy;
      ridge(:, :, o, s) = -sigma ^ 2 * across2;
      edge(:, :, o, s) = sigma * (nx(o) * Ix + ny(o) * Iy);
    endfor
  endfor
endfunction

## The orientation of the largest response at every scale, the scale at
## which that is largest, and the orientation at that scale: uint16 maps.
function [orientation, scale] = strongest (stack)
  [best, orientation_at] = max (stack, [], 3);        # rows x cols x 1 x scales
  [~, scale] = max (best, [], 4);
  [n, m] = size (scale);
  pixel = reshape (1:n*m, n, m);
  orientation = orientation_at(pixel + n * m * (scale - 1));
  orientation = uint16 (orientation);
  scale = uint16 (scale);
endfunction

## The profile tables, from the filter bank's response to a structure of
## unit height whose width is u times the width T(o, s) that scale s
## matches (sigma = sqrt(2) T):
##   line of Gaussian profile, width w:  r / (1 + r^2)^(3/2), r = w / sigma
##   Gaussian spot of size w:           r^2 / (1 + r^2)^2
## Each table is sampled at x = ((u / 1) * gain) / (2n); the gain sets the
## largest u the table covers.
function tables = profile_tables (n)
  line = @(u) (u / sqrt (2)) ./ (1 + (u / sqrt (2)) .^ 2) .^ 1.5;
  spot = @(u) (u / sqrt (2)) .^ 2 ./ (1 + (u / sqrt (2)) .^ 2) .^ 2;
  k = 0:n-1;

  ## Height: one sample at x = u / 2, so u in [0, 2].
  tables.line = line (2 * k / (n - 1));
  tables.line_gain = n;

  ## Blob: one sample at x = u / 8 (limited to 1), u in [0, 8].
  tables.spot = spot (8 * k / (n - 1));
  tables.spot_gain = n / 4;

  ## Ridge: P(0.5 + x) - P(0.5 - x) with x = u / 8 (limited to 0.5): an odd
  ## table whose halves differ by the line response at u = 4 t, t = 2x.
  t = 2 * k / (n - 1) - 1;
  tables.pair = sign (t) .* line (4 * abs (t)) / 2;
  tables.pair_gain = n / 4;
endfunction

## Pixels where the ridge map is at least threshold and no smaller than its
## two neighbours across the line (the direction nearest to the normal of
## the pixel's orientation), thinned to one pixel.
function centre = centre_lines (ridge, orientation, threshold)
  [n, m] = size (ridge);
  normal = orientation + 90;
  dx = round (cosd (normal));
  dy = -round (sind (normal));
  dx(isnan (dx)) = 0;
  dy(isnan (dy)) = 0;
  [x, y] = meshgrid (1:m, 1:n);
  value = @(xs, ys) ridge(sub2ind ([n, m], min (max (ys, 1), n), min (max (xs, 1), m)));
  centre = ridge >= threshold & ridge >= value (x + dx, y + dy) & ridge >= value (x - dx, y - dy);
  centre = thin (centre);
endfunction

## Zhang-Suen thinning: removes pixels off the middle of every stroke until
## each is one pixel wide.
function mask = thin (mask)
  changed = true;
  while (changed)
    changed = false;
    for step = 1:2
      p = neighbours (mask);     # p{1} .. p{8}: N, NE, E, SE, S, SW, W, NW
      count = p{1} + p{2} + p{3} + p{4} + p{5} + p{6} + p{7} + p{8};
      ring = [p, p(1)];
      transitions = zeros (size (mask));
      for k = 1:8
        transitions += ! ring{k} & ring{k + 1};
      endfor
      if (step == 1)
        keep_free = ! (p{1} & p{3} & p{5}) & ! (p{3} & p{5} & p{7});
      else
        keep_free = ! (p{1} & p{3} & p{7}) & ! (p{1} & p{5} & p{7});
      endif
      remove = mask & count >= 2 & count <= 6 & transitions == 1 & keep_free;
      if (any (remove(:)))
        mask(remove) = false;
        changed = true;
      endif
    endfor
  endwhile
  mask = remove_staircase_corners (mask);
endfunction

## The thinning leaves diagonal strokes as 4-connected staircases, whose
## corner pixels have three neighbours. A corner with two perpendicular
## 4-neighbours (which touch each other diagonally), nothing between them
## and nothing on its other side goes; one direction at a time, so that no
## two touching corners go together.
function mask = remove_staircase_corners (mask)
  ## pair, the diagonal between, the other side (indices into neighbours)
  corners = {[3, 5], 4, [1, 7, 8];
             [5, 7], 6, [1, 3, 2];
             [7, 1], 8, [3, 5, 4];
             [1, 3], 2, [5, 7, 6]};
  for k = 1:rows (corners)
    p = neighbours (mask);
    [pair, between, other] = corners{k, :};
    corner = mask & p{pair(1)} & p{pair(2)} & ! p{between} & ! (p{other(1)} | p{other(2)} | p{other(3)});
    mask(corner) = false;
  endfor
endfunction

function p = neighbours (mask)
  padded = false (size (mask) + 2);
  padded(2:end-1, 2:end-1) = mask;
  offsets = [-1 0; -1 1; 0 1; 1 1; 1 0; 1 -1; 0 -1; -1 -1];   # (row, col)
  p = cell (1, 8);
  for k = 1:8
    p{k} = double (padded((2:end-1) + offsets(k, 1), (2:end-1) + offsets(k, 2)));
  endfor
endfunction

## --- pictures ---

function write_png (file, picture)
  imwrite (picture, file);
endfunction

function picture = gray_picture (map, range)
  level = uint8 (255 * min (max ((map - range(1)) / diff (range), 0), 1));
  picture = repmat (level, [1, 1, 3]);
endfunction

## The map through the colours over range, each pixel scaled by its
## brightness in [0, 1] when one is given (a score; 0.5 and above is full
## brightness), NaN in white.
function picture = colour_picture (map, range, colours, brightness)
  level = min (max ((map - range(1)) / diff (range), 0), 1);
  index = 1 + round ((rows (colours) - 1) * level);
  index(isnan (map)) = 1;
  picture = reshape (colours(index, :), [size(map), 3]);
  if (! isempty (brightness))
    scale = min (max (brightness / 0.5, 0), 1);
    scale(isnan (scale)) = 0;
    picture .*= scale;
  endif
  picture(repmat (isnan (map), [1, 1, 3])) = 1;
  picture = uint8 (255 * picture);
endfunction
