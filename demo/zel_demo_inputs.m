## [calls, image, skipped] = zel_demo_inputs (n)
## The demo's synthetic n x n image (n = 512 when not given) and the inputs
## of the six calls the demo makes on it. The image holds straight and
## curved lines of three widths (top half), step edges (bottom left), round
## spots of three sizes (bottom right) and noise; the structures are laid
## out in proportion to n, their widths stay in pixels. An oriented filter
## bank of 8 orientations and 4 scales gives the stacks, from which the
## index maps, the profile and scale tables, and (through the height-and-
## width, ridge and orientation maps) the size, amplitude and thinned
## orientation maps are derived.
##
## calls.NAME is the cell array of the inputs of function NAME, for every
## NAME that can be called: its MEX file and those of the functions whose
## maps its inputs take are on the path. For the others skipped.NAME lists
## the missing functions.
function [calls, image, skipped] = zel_demo_inputs (n)
  if (nargin < 1)
    n = 512;
  endif
  image = synthetic_image (n);

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

  ## What each call needs built: itself and the functions whose maps it takes.
  needs = {"ZELgetHeightAndWidthMap", {};
           "ZELgetBlobMap",           {"ZELgetHeightAndWidthMap"};
           "ZELgetRidgeMap",          {"ZELgetHeightAndWidthMap"};
           "ZELgetEdgeMap",           {};
           "ZELgetOrientationMap",    {};
           "ZELgetCurvatureMap",      {"ZELgetOrientationMap", "ZELgetRidgeMap", "ZELgetHeightAndWidthMap"}};
  skipped = struct ();
  for k = 1:rows (needs)
    wanted = [needs(k, 1), needs{k, 2}];
    missing = wanted(cellfun (@(f) exist (f) != 3, wanted));
    if (! isempty (missing))
      skipped.(needs{k, 1}) = missing;
    endif
  endfor
  can_call = @(name) ! isfield (skipped, name);

  calls = struct ();
  ## Mode 3: the response divided by the response the filter gives to a
  ## line of unit height and the estimated width, so the height map is the
  ## line's contrast.
  hw_inputs = {ridge_stack, ridge_orientation, ridge_scale, tables.line, tables.line_gain, scale_table, uint16(3)};
  if (can_call ("ZELgetHeightAndWidthMap"))
    calls.ZELgetHeightAndWidthMap = hw_inputs;
  endif
  ## The height and width maps feed the blob and ridge maps as amplitude and
  ## size.
  if (can_call ("ZELgetBlobMap") || can_call ("ZELgetRidgeMap"))
    [height, width] = ZELgetHeightAndWidthMap (hw_inputs{:});
  endif
  if (can_call ("ZELgetBlobMap"))
    calls.ZELgetBlobMap = {ridge_stack, blob_penalty, ridge_orientation, [], 0.05, tables.spot, tables.spot_gain, ...
                           width, scale_table, height};
  endif
  ridge_inputs = {};
  if (can_call ("ZELgetRidgeMap"))
    ridge_inputs = {ridge_stack, ridge_penalty, ridge_orientation, [], 0.05, tables.pair, tables.pair_gain, ...
                    width, scale_table, height};
    calls.ZELgetRidgeMap = ridge_inputs;
  endif
  if (can_call ("ZELgetEdgeMap"))
    calls.ZELgetEdgeMap = {edge_stack, edge_penalty, edge_orientation, edge_scale, 0.02, 1};
  endif
  orientation_inputs = {ridge_stack, ridge_orientation, ridge_scale, uint16(0)};
  if (can_call ("ZELgetOrientationMap"))
    calls.ZELgetOrientationMap = orientation_inputs;
  endif
  if (can_call ("ZELgetCurvatureMap"))
    ## The curvature is taken along the centre lines of the ridges: the
    ## orientation map where the ridge map peaks across the line, NaN
    ## elsewhere.
    orientation = ZELgetOrientationMap (orientation_inputs{:});
    centre = centre_lines (ZELgetRidgeMap (ridge_inputs{:}), orientation, 0.3);
    orientation(! centre) = NaN;
    calls.ZELgetCurvatureMap = {orientation};
  endif
endfunction

## --- the image ---

## Background 0.1, bright structures of contrast 0.6, noise of 0.02. The
## layout is drawn in the coordinates of a 512 x 512 image (x, y) and scaled
## to n pixels; distances are taken back to pixels for the profiles.
function image = synthetic_image (n)
  scale = n / 512;
  [x, y] = meshgrid (1:n, 1:n);       # x to the right, y downwards
  x /= scale;
  y /= scale;
  image = 0.1 * ones (n);
  contrast = 0.6;
  widths = [1, 2, 3.5];               # standard deviations of the line profiles

  ## Straight lines, top left: three widths at 15, 60 and 105 degrees.
  angles = [15, 60, 105];
  for k = 1:3
    centre = [40 + 65 * k, 128];
    image += contrast * line_profile (segment_distance (x, y, centre, angles(k), 100) * scale, widths(k));
  endfor

  ## Curved lines, top right: three circular arcs and a wave.
  radii = [28, 55, 85];
  for k = 1:3
    d = abs (hypot (x - 395, y - 115) - radii(k)) * scale;
    image += contrast * line_profile (d, widths(k)) .* (y < 115 + 0.7 * radii(k));
  endfor
  wave = 232 + 12 * sin ((x - 280) / 16);
  image += contrast * line_profile (abs (y - wave) * scale, 1.5) .* (x > 275 & x < 495);

  ## Step edges, bottom left: a square plateau and a disc plateau.
  image += contrast * (x > 30 & x < 130 & y > 300 & y < 400);
  image += 0.5 * contrast * (hypot (x - 190, y - 420) < 55);

  ## Round spots, bottom right: Gaussian spots of three sizes.
  spot_sizes = [2, 4, 7];
  for k = 1:3
    for j = 1:2
      centre = [230 + 75 * k, 320 + 110 * (j - 1)];
      r2 = ((x - centre(1)) .^ 2 + (y - centre(2)) .^ 2) * scale ^ 2;
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
