## ZELgetFeatureMaps and its table functions called as a user calls them:
## every map reproduced bit for bit from the inputs it returns, the tiled
## path against the whole image, only the maps asked for computed, the
## image classes and colour, the polarity, and every error identifier.

%!shared names
%! names = {"blob", "ridge", "edge", "height", "width", "orientation", "curvature"};

## The demo's image at 96 x 96 pixels, its maps and the inputs of each call.
%!function [image, maps, inputs] = demo_maps ()
%!  image = ZELdemoImage (96);
%!  [maps, inputs] = ZELgetFeatureMaps (image);
%!endfunction

## The maps that a call of the MEX functions made while ZELgetFeatureMaps
## ran, by the number of calls.
%!function calls = kernel_calls (varargin)
%!  profile ("clear");
%!  profile ("on");
%!  ZELgetFeatureMaps (varargin{:});
%!  profile ("off");
%!  table = profile ("info").FunctionTable;
%!  calls = struct ();
%!  for k = 1:numel (table)
%!    if (strncmp (table(k).FunctionName, "ZELget", 6) && ! any (table(k).FunctionName == ">"))
%!      calls.(table(k).FunctionName) = table(k).NumCalls;
%!    endif
%!  endfor
%!endfunction

## Every map, in the order of the help, of the image's size; the demo's
## image gives each something to show.
%!test
%! [~, maps] = demo_maps ();
%! assert (fieldnames (maps)', names);
%! for k = 1:numel (names)
%!   assert (size (maps.(names{k})), [96, 96]);
%!   assert (class (maps.(names{k})), "double");
%!   assert (numel (unique (maps.(names{k})(isfinite (maps.(names{k}))))) > 50, names{k});
%! endfor
%! assert (any (isnan (maps.curvature(:))) && any (isfinite (maps.curvature(:))));

## Each map again from the inputs returned, one call each: the same bits.
## The filter bank's own inputs give the stacks the calls took.
%!test
%! [~, maps, inputs] = demo_maps ();
%! [H, W] = ZELgetHeightAndWidthMap (inputs.ZELgetHeightAndWidthMap{:});
%! assert_same_bits (H, maps.height);
%! assert_same_bits (W, maps.width);
%! assert_same_bits (ZELgetBlobMap (inputs.ZELgetBlobMap{:}), maps.blob);
%! assert_same_bits (ZELgetRidgeMap (inputs.ZELgetRidgeMap{:}), maps.ridge);
%! assert_same_bits (ZELgetEdgeMap (inputs.ZELgetEdgeMap{:}), maps.edge);
%! assert_same_bits (ZELgetOrientationMap (inputs.ZELgetOrientationMap{:}), maps.orientation);
%! assert_same_bits (ZELgetCurvatureMap (inputs.ZELgetCurvatureMap{:}), maps.curvature);
%! [R2, R1] = ZELgetResponseStack (inputs.ZELgetResponseStack{:});
%! assert (isequal (typecast (R2(:), "uint32"), typecast (inputs.ZELgetHeightAndWidthMap{1}(:), "uint32")));
%! assert (isequal (typecast (R1(:), "uint32"), typecast (inputs.ZELgetEdgeMap{1}(:), "uint32")));
%! assert (class (R2), "single");

## Tiles of at most 40 x 50 pixels (3 x 2 tiles on 96 x 96, each cut with a
## halo of 25 pixels): the very bits of the whole image, for every map and
## both precisions, and the filter bank ran once per tile.
%!test
%! image = demo_maps ();
%! for precision = {"single", "double"}
%!   whole = ZELgetFeatureMaps (image, "Precision", precision{1}, "TileSize", Inf);
%!   tiled = ZELgetFeatureMaps (image, "Precision", precision{1}, "TileSize", [40, 50]);
%!   for k = 1:numel (names)
%!     assert_same_bits (tiled.(names{k}), whole.(names{k}));
%!   endfor
%! endfor
%! assert (kernel_calls (image, "TileSize", [40, 50]).ZELgetResponseStack, 6);
%! assert (kernel_calls (image, "TileSize", 96).ZELgetResponseStack, 1);

## A tile narrower than the halo, tiles of one row: still the bits.
%!test
%! image = demo_maps ();
%! strip = image(1:7, :);
%! whole = ZELgetFeatureMaps (strip, "TileSize", Inf);
%! tiled = ZELgetFeatureMaps (strip, "TileSize", [1, 30]);
%! for k = 1:numel (names)
%!   assert_same_bits (tiled.(names{k}), whole.(names{k}));
%! endfor

## Only the maps asked for, with the same bits, and only the functions they
## need are called: the curvature needs the ridge and orientation maps, and
## the ridge map the height and width.
%!test
%! cases = {{"height"},            {"ZELgetHeightAndWidthMap"};
%!          {"orientation"},       {"ZELgetOrientationMap"};
%!          {"edge"},              {"ZELgetEdgeMap"};
%!          {"blob", "Width"},     {"ZELgetHeightAndWidthMap", "ZELgetBlobMap"};
%!          {"curvature"},         {"ZELgetHeightAndWidthMap", "ZELgetRidgeMap", "ZELgetOrientationMap", "ZELgetCurvatureMap"}};
%! map_functions = {"ZELgetHeightAndWidthMap", "ZELgetBlobMap", "ZELgetRidgeMap", "ZELgetEdgeMap", ...
%!                  "ZELgetOrientationMap", "ZELgetCurvatureMap"};
%! [image, maps] = demo_maps ();
%! for k = 1:rows (cases)
%!   [wanted, called] = cases{k, :};
%!   some = ZELgetFeatureMaps (image, "Maps", wanted);
%!   assert (sort (fieldnames (some)), sort (lower (wanted(:))));
%!   for j = 1:numel (wanted)
%!     assert_same_bits (some.(lower (wanted{j})), maps.(lower (wanted{j})));
%!   endfor
%!   ran = kernel_calls (image, "Maps", wanted);
%!   assert (sort (intersect (fieldnames (ran), map_functions)), sort (called(:)));
%! endfor

## Image classes: integers scaled as im2double does, logical as 0 and 1,
## colour weighted 0.299, 0.587, 0.114; each the bits of the call on the
## grey double image it stands for. A single image with single stacks, and
## any image with double stacks when asked.
%!test
%! image = demo_maps ();
%! picture = uint8 (round (255 * min (max (image, 0), 1)));
%! colour = cat (3, picture, flipud (picture), fliplr (picture));
%! grey = (0.299 * (double (colour(:, :, 1)) / 255) + 0.587 * (double (colour(:, :, 2)) / 255)) ...
%!        + 0.114 * (double (colour(:, :, 3)) / 255);
%! cases = {picture,                 double(picture) / 255;
%!          uint16(picture) * 257,   double(uint16(picture) * 257) / 65535;
%!          image > 0.3,             double(image > 0.3);
%!          single(image),           double(single(image));
%!          colour,                  grey};
%! for k = 1:rows (cases)
%!   got = ZELgetFeatureMaps (cases{k, 1}, "Maps", {"ridge", "edge"});
%!   expected = ZELgetFeatureMaps (cases{k, 2}, "Maps", {"ridge", "edge"});
%!   assert_same_bits (got.ridge, expected.ridge);
%!   assert_same_bits (got.edge, expected.edge);
%! endfor
%! [~, in_double] = ZELgetFeatureMaps (single (image), "Precision", "double", "Maps", {"edge"});
%! assert (class (in_double.ZELgetEdgeMap{1}), "double");
%! assert (class (in_double.ZELgetResponseStack{1}), "double");

## Dark structures are the bright ones of the negated image, to the bit.
%!test
%! image = demo_maps ();
%! dark = ZELgetFeatureMaps (image, "Polarity", "dark");
%! negated = ZELgetFeatureMaps (-image);
%! for k = 1:numel (names)
%!   assert_same_bits (dark.(names{k}), negated.(names{k}));
%! endfor
%! picture = uint8 (200 * image);
%! dark = ZELgetFeatureMaps (picture, "Polarity", "DARK", "Maps", {"blob"});
%! assert_same_bits (dark.blob, ZELgetFeatureMaps (-double (picture) / 255, "Maps", {"blob"}).blob);

## Scales and orientations other than the defaults reach the filter bank and
## the tables; one scale and one orientation work.
%!test
%! image = demo_maps ();
%! [~, other] = ZELgetFeatureMaps (image, "Scales", [1, 2, 4], "Orientations", 6, "Maps", {"width"});
%! assert (size (other.ZELgetHeightAndWidthMap{1}), [96, 96, 6, 3]);
%! assert (other.ZELgetHeightAndWidthMap{6}, repmat ([1, 2, 4] / sqrt (2), 6, 1));
%! few = ZELgetFeatureMaps (image, "Scales", 2, "Orientations", 1);
%! assert (fieldnames (few)', names);

## Errors, each with its identifier.
%!error id=ZELgetFeatureMaps:invalidClass ZELgetFeatureMaps (int8 (ones (8)))
%!error id=ZELgetFeatureMaps:invalidClass ZELgetFeatureMaps (complex (ones (8), 1))
%!error id=ZELgetFeatureMaps:invalidClass ZELgetFeatureMaps (sparse (ones (8)))
%!error id=ZELgetFeatureMaps:invalidClass ZELgetFeatureMaps ({ones(8)})
%!error id=ZELgetFeatureMaps:invalidShape ZELgetFeatureMaps (ones (8, 8, 2))
%!error id=ZELgetFeatureMaps:invalidShape ZELgetFeatureMaps (ones (8, 8, 3, 2))
%!error id=ZELgetFeatureMaps:emptyInput ZELgetFeatureMaps (zeros (0, 8))
%!error id=ZELgetFeatureMaps:missingValue ZELgetFeatureMaps (ones (8), "Scales")
%!error id=ZELgetFeatureMaps:unknownOption ZELgetFeatureMaps (ones (8), "Scale", 2)
%!error id=ZELgetFeatureMaps:unknownOption ZELgetFeatureMaps (ones (8), 2, 2)
%!error id=ZELgetFeatureMaps:invalidScales ZELgetFeatureMaps (ones (8), "Scales", [2, 1])
%!error id=ZELgetFeatureMaps:invalidScales ZELgetFeatureMaps (ones (8), "Scales", [0.05, 1])
%!error id=ZELgetFeatureMaps:invalidScales ZELgetFeatureMaps (ones (8), "Scales", [1, 200])
%!error id=ZELgetFeatureMaps:invalidScales ZELgetFeatureMaps (ones (8), "Scales", [1, NaN])
%!error id=ZELgetFeatureMaps:invalidScales ZELgetFeatureMaps (ones (8), "Scales", "1")
%!error id=ZELgetFeatureMaps:invalidOrientations ZELgetFeatureMaps (ones (8), "Orientations", 0)
%!error id=ZELgetFeatureMaps:invalidOrientations ZELgetFeatureMaps (ones (8), "Orientations", 2.5)
%!error id=ZELgetFeatureMaps:invalidOrientations ZELgetFeatureMaps (ones (8), "Orientations", 65535)
%!error id=ZELgetFeatureMaps:invalidPolarity ZELgetFeatureMaps (ones (8), "Polarity", "both")
%!error id=ZELgetFeatureMaps:invalidMaps ZELgetFeatureMaps (ones (8), "Maps", {"edges"})
%!error id=ZELgetFeatureMaps:invalidMaps ZELgetFeatureMaps (ones (8), "Maps", {})
%!error id=ZELgetFeatureMaps:invalidMaps ZELgetFeatureMaps (ones (8), "Maps", {1})
%!error id=ZELgetFeatureMaps:invalidPrecision ZELgetFeatureMaps (ones (8), "Precision", "half")
%!error id=ZELgetFeatureMaps:invalidTileSize ZELgetFeatureMaps (ones (8), "TileSize", 0)
%!error id=ZELgetFeatureMaps:invalidTileSize ZELgetFeatureMaps (ones (8), "TileSize", [1, 2, 3])
%!error id=ZELgetFeatureMaps:invalidTileSize ZELgetFeatureMaps (ones (8), "TileSize", 1.5)

## The filter bank reads its precision as text in Octave's one-byte
## characters, in any letter case.
%!test
%! I = rand (20, 30);
%! R = ZELgetResponseStack (I, [1, 2], 4, 2, "Single");
%! assert (class (R), "single");
%! assert (isequal (typecast (R(:), "uint32"), typecast (ZELgetResponseStack (single (I), [1, 2], 4, 2)(:), "uint32")));
%! assert (class (ZELgetResponseStack (single (I), [1, 2], 4, 2, "double")), "double");
%!error id=ZELgetResponseStack:invalidPrecision ZELgetResponseStack (rand (5), 1, 4, 2, "doubles")
%!error id=ZELgetResponseStack:invalidPrecision ZELgetResponseStack (rand (5), 1, 4, 2, "singlE ")

## The scale table: sigma / sqrt(2) at every orientation.
%!assert (ZELgetScaleTable ([1.5, 2.4], 3), repmat ([1.5, 2.4] / sqrt (2), 3, 1))
%!error id=ZELgetScaleTable:invalidScales ZELgetScaleTable ([1, -2], 3)
%!error id=ZELgetScaleTable:invalidOrientations ZELgetScaleTable ([1, 2], 0)

## The profile tables: entry k is the response at u_k = uMax (k - 1)/(n - 1)
## (line and spot), the gain makes a map read entry k for A/T from u_k up
## to u_(k+1); the line pair's two samples differ by the line's response.
%!test
%! line = @(u) (u / sqrt (2)) ./ (1 + (u / sqrt (2)) .^ 2) .^ 1.5;
%! spot = @(u) (u / sqrt (2)) .^ 2 ./ (1 + (u / sqrt (2)) .^ 2) .^ 2;
%! cases = {"line", 257, 2, line;  "spot", 257, 8, spot;  "line", 33, 3, line;  "Spot", 65, 5, spot};
%! for k = 1:rows (cases)
%!   [kind, n, span, response] = cases{k, :};
%!   if (span == 2 || span == 8)
%!     [P, g] = ZELgetProfileTable (kind, n);
%!   else
%!     [P, g] = ZELgetProfileTable (kind, n, span);
%!   endif
%!   u = span * (0:n-1) / (n - 1);
%!   assert (P, response (u));
%!   ## A/T just above u_k and just below u_(k+1) read entry k.
%!   for j = [1, 2, n - 1]
%!     for ratio = [u(j) * (1 + 1e-9) + 1e-12, u(j + 1) * (1 - 1e-9)]
%!       assert (fix (((ratio * g) / (2 * n)) * (n - 1)) + 1, j);
%!     endfor
%!   endfor
%! endfor
%! [P, g] = ZELgetProfileTable ("linePair");
%! assert ([numel(P), g], [257, 257 / 4]);
%! assert (P, -fliplr (P));
%! for ratio = [0.5, 1, 2, 3.9]
%!   x = (ratio * g) / (2 * 257);
%!   d = P(fix ((0.5 + x) * 256) + 1) - P(fix ((0.5 - x) * 256) + 1);
%!   assert (d, line (ratio), 0.02);
%! endfor
%!error id=ZELgetProfileTable:invalidKind ZELgetProfileTable ("ring")
%!error id=ZELgetProfileTable:invalidLength ZELgetProfileTable ("line", 1)
%!error id=ZELgetProfileTable:invalidSpan ZELgetProfileTable ("line", 9, 0)

## The help of every function written in M code shows its H1 line, and its
## example runs.
%!test
%! for name = {"ZELgetFeatureMaps", "ZELgetScaleTable", "ZELgetProfileTable", "ZELmapInTiles", "ZELdemoImage"}
%!   text = help (name{1});
%!   assert (strncmp (strtrim (text), [name{1} "  "], numel (name{1}) + 2), name{1});
%!   lines = strsplit (text, "\n");
%!   first = find (strncmp (strtrim (lines), "Example", 7), 1);
%!   last = first + find (cellfun (@(line) isempty (strtrim (line)) || strncmp (strtrim (line), "See also", 8), ...
%!                                 lines(first+1:end)), 1) - 1;
%!   evalc (strjoin (lines(first+1:last), "\n"));
%! endfor
