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
  write_png (fullfile (out_dir, "input.png"), with_colour_scale (gray_picture (image, [0, 1]), gray (256), [0, 1], ""));
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

  ## Pictures, each with its colour scale below it. The scores over [0, 1];
  ## height over [-0.7, 0.7] from blue (dark structures) through grey to
  ## orange (bright ones); width in pixels; orientation as a hue over
  ## [0, 180) degrees; curvature over [0, 0.05], its one-pixel curves drawn
  ## five pixels wide. Height, width and orientation describe a structure
  ## where there is one, so they are drawn as bright as the ridge or blob map
  ## is strong there (dark elsewhere). NaN is white on every map.
  strength = zeros (size (image));
  for name = {"ridge", "blob"}
    if (isfield (maps, name{1}))
      strength = max (strength, maps.(name{1}));
    endif
  endfor
  views = {"blob",        [0, 1],      @viridis,   false, "";
           "ridge",       [0, 1],      @viridis,   false, "";
           "edge",        [0, 1],      @viridis,   false, "";
           "height",      [-0.7, 0.7], @diverging, true,  "";
           "width",       [1, 4],      @viridis,   true,  "px";
           "orientation", [0, 180],    @hsv,       true,  "deg";
           "curvature",   [0, 0.05],   @viridis,   false, ""};
  for k = 1:rows (views)
    [name, range, colours, weighted, unit] = views{k, :};
    if (! isfield (maps, name))
      continue;
    endif
    report_map (name, maps.(name));
    brightness = [];
    if (weighted)
      brightness = strength;
    endif
    shown = maps.(name);
    if (strcmp (name, "curvature"))
      shown = thicken (thicken (shown));
    endif
    picture = colour_picture (shown, range, colours (256), brightness);
    write_png (fullfile (out_dir, [name ".png"]), with_colour_scale (picture, colours (256), range, unit));
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

## Blue through grey to orange: negative values in blue, positive in orange.
function colours = diverging (n)
  t = linspace (-1, 1, n)';
  grey = [0.45, 0.45, 0.45];
  colours = grey + max (-t, 0) .* ([0.15, 0.45, 1] - grey) + max (t, 0) .* ([1, 0.55, 0.1] - grey);
endfunction

## A map whose one-pixel curves are widened by one pixel on every side: each
## NaN pixel takes the largest value among its eight neighbours.
function wide = thicken (map)
  wide = map;
  [r, c] = size (map);
  padded = NaN (r + 2, c + 2);
  padded(2:end-1, 2:end-1) = map;
  for dr = -1:1
    for dc = -1:1
      neighbour = padded((2:r+1) + dr, (2:c+1) + dc);
      wide = max (wide, neighbour);  # max passes over NaN
    endfor
  endfor
endfunction

## The picture with a strip below it: the colours over RANGE as a bar, with
## its two end values (and UNIT) written under the ends and the middle.
function picture = with_colour_scale (picture, colours, range, unit)
  [r, c, ~] = size (picture);
  strip = 255 * ones (56, c, 3, "uint8");
  margin = 16;
  bar = colours(1 + round ((rows (colours) - 1) * linspace (0, 1, c - 2 * margin)), :);
  strip(6:21, margin+1:c-margin, :) = repmat (reshape (uint8 (255 * bar), 1, [], 3), 16, 1);
  labels = {format_value(range(1)), format_value(mean (range)), [format_value(range(2)) unit]};
  anchors = [margin + 1, c / 2, c - margin];
  for k = 1:3
    width = text_width (labels{k});
    left = round (min (max (anchors(k) - width / 2, 1), c - width));
    strip = draw_text (strip, labels{k}, 29, left);
  endfor
  picture = [picture; strip];
endfunction

function text = format_value (v)
  text = sprintf ("%g", v);
endfunction

## Text in a 5 x 7 pixel font, drawn three times as large, in black.
function n = text_width (text)
  n = 18 * numel (text) - 3;
endfunction

function canvas = draw_text (canvas, text, top, left)
  scale = 3;
  for k = 1:numel (text)
    glyph = font_glyph (text(k));
    block = logical (kron (glyph, ones (scale)));
    rows_at = top + (0:rows (block) - 1);
    cols_at = left + 18 * (k - 1) + (0:columns (block) - 1);
    for channel = 1:3
      region = canvas(rows_at, cols_at, channel);
      region(block) = 0;
      canvas(rows_at, cols_at, channel) = region;
    endfor
  endfor
endfunction

function glyph = font_glyph (ch)
  characters = "0123456789.-pxdeg ";
  glyphs = {"01110 10001 10011 10101 11001 10001 01110"
            "00100 01100 00100 00100 00100 00100 01110"
            "01110 10001 00001 00010 00100 01000 11111"
            "11110 00001 00001 01110 00001 00001 11110"
            "00010 00110 01010 10010 11111 00010 00010"
            "11111 10000 11110 00001 00001 10001 01110"
            "00110 01000 10000 11110 10001 10001 01110"
            "11111 00001 00010 00100 01000 01000 01000"
            "01110 10001 10001 01110 10001 10001 01110"
            "01110 10001 10001 01111 00001 00010 01100"
            "00000 00000 00000 00000 00000 01100 01100"
            "00000 00000 00000 11111 00000 00000 00000"
            "00000 00000 11110 10001 11110 10000 10000"
            "00000 00000 10001 01010 00100 01010 10001"
            "00001 00001 01101 10011 10001 10011 01101"
            "00000 00000 01110 10001 11111 10000 01110"
            "00000 00000 01111 10001 01111 00001 01110"
            "00000 00000 00000 00000 00000 00000 00000"};
  glyph = char (strsplit (glyphs{characters == ch})) == "1";
endfunction
