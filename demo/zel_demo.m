## zel_demo (out_dir)
## The six functions on the synthetic 512 x 512 image of zel_demo_inputs,
## with known structures: straight and curved lines of three widths (top
## half), step edges (bottom left), round spots of three sizes (bottom
## right), and noise. Calls all six on the inputs derived there and writes
## one PNG per map, plus the input, into OUT_DIR. Prints one line per map
## (size, range, fraction of NaNs) and the time of every call. A function
## whose MEX file is not on the path is skipped, by name, with the maps that
## depend on it.
function zel_demo (out_dir)
  if (nargin < 1)
    out_dir = "docs";
  endif
  if (! isfolder (out_dir))
    mkdir (out_dir);
  endif
  started = tic ();

  [calls, image, skipped] = zel_demo_inputs (512);
  write_png (fullfile (out_dir, "input.png"), gray_picture (image, [0, 1]));
  report_map ("input", image);

  produces = {"ZELgetHeightAndWidthMap", {"height", "width"};
              "ZELgetBlobMap",           {"blob"};
              "ZELgetRidgeMap",          {"ridge"};
              "ZELgetEdgeMap",           {"edge"};
              "ZELgetOrientationMap",    {"orientation"};
              "ZELgetCurvatureMap",      {"curvature"}};
  maps = struct ();
  times = struct ();
  for k = 1:rows (produces)
    [name, outputs] = produces{k, :};
    if (isfield (skipped, name))
      printf ("SKIPPED %s: not built: %s\n", name, strjoin (strcat (skipped.(name), ".mex"), ", "));
      continue;
    endif
    results = cell (size (outputs));
    start = tic ();
    [results{:}] = feval (name, calls.(name){:});
    times.(name) = toc (start);
    for j = 1:numel (outputs)
      maps.(outputs{j}) = results{j};
    endfor
  endfor

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

  called = fieldnames (times);
  for k = 1:numel (called)
    printf ("%-24s %8.3f s\n", called{k}, times.(called{k}));
  endfor
  printf ("pictures in %s; %.1f s in all\n", out_dir, toc (started));
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
