## The maps of ZELgetFeatureMaps mean what its help says, on images of known
## geometry: straight Gaussian lines, rings, spots and steps on a background
## of 0.1 with a contrast of 0.6, 97 x 97 pixels, measured within 20 pixels
## of the centre (the filter bank's reach, 25 pixels, stays off the
## border). The help gives the figures these bounds leave room for.

## The pixels within half a pixel of a straight line through the image's
## centre drawn at ANGLE degrees (counterclockwise from the x axis, rows
## downwards), and the line's distance map.
%!function [on_line, d] = line_pixels (angle)
%!  n = 97;  c = 49;
%!  [x, y] = meshgrid (1:n, 1:n);
%!  d = -(x - c) * sind (angle) - (y - c) * cosd (angle);
%!  on_line = abs (d) <= 0.5 & abs (x - c) <= 20 & abs (y - c) <= 20;
%!endfunction

## Lines of widths within the scale table's span (1.06 to 4.34 pixels) at
## angles on and between the eight orientations: the width within 10% of
## the line's standard deviation, the orientation within 1 degree, the
## height within 0.05 of the contrast, the ridge map above 0.5 and the blob
## map below 0.2 on the centre line.
%!test
%! for w = [1.5, 2, 3, 4]
%!   for angle = [0, 30, 105]
%!     [on_line, d] = line_pixels (angle);
%!     maps = ZELgetFeatureMaps (0.1 + 0.6 * exp (-d .^ 2 / (2 * w ^ 2)));
%!     what = sprintf ("line of width %g at %g degrees", w, angle);
%!     assert (max (abs (maps.width(on_line) / w - 1)) < 0.10, "%s: width", what);
%!     assert (max (abs (mod (maps.orientation(on_line) - angle + 90, 180) - 90)) < 1, "%s: orientation", what);
%!     assert (max (abs (maps.height(on_line) - 0.6)) < 0.05, "%s: height", what);
%!     assert (min (maps.ridge(on_line)) > 0.5, "%s: ridge", what);
%!     assert (max (maps.blob(on_line)) < 0.2, "%s: blob", what);
%!   endfor
%! endfor

## A dark line is no bright ridge; with 'Polarity', 'dark' it is one, of
## the same score as the bright line's, and its height is its depth.
%!test
%! [on_line, d] = line_pixels (30);
%! profile = exp (-d .^ 2 / 8);
%! bright = ZELgetFeatureMaps (0.1 + 0.6 * profile, "Maps", {"ridge", "height"});
%! dark = ZELgetFeatureMaps (0.7 - 0.6 * profile, "Maps", {"ridge", "height"});
%! dark_sought = ZELgetFeatureMaps (0.7 - 0.6 * profile, "Maps", {"ridge", "height"}, "Polarity", "dark");
%! assert (max (dark.ridge(on_line)) < 0.05);
%! assert (min (dark_sought.ridge(on_line)) > 0.5);
%! assert (max (abs (dark_sought.ridge(on_line) - bright.ridge(on_line))) < 1e-6);
%! assert (max (abs (dark_sought.height(on_line) - 0.6)) < 0.05);

## Round Gaussian spots of several sizes: the blob map above 0.5 at the
## centre.
%!test
%! [x, y] = meshgrid (1:97, 1:97);
%! for w = [1.5, 3, 6]
%!   maps = ZELgetFeatureMaps (0.1 + 0.6 * exp (-((x - 49) .^ 2 + (y - 49) .^ 2) / (2 * w ^ 2)), "Maps", {"blob"});
%!   assert (maps.blob(49, 49) > 0.5, "spot of size %g: blob %g", w, maps.blob(49, 49));
%! endfor

## Steps at several angles: the edge map above 0.5 within half a pixel of
## the step, where the ridge map is 0.
%!test
%! for angle = [0, 45, 120]
%!   [on_step, d] = line_pixels (angle);
%!   maps = ZELgetFeatureMaps (0.1 + 0.6 * (d > 0), "Maps", {"edge", "ridge"});
%!   assert (min (maps.edge(on_step)) > 0.5, "step at %g degrees", angle);
%!   assert (max (maps.ridge(on_step)) == 0, "step at %g degrees", angle);
%! endfor

## Rings of radius r: the curvature map on the thinned ring is between
## 0.85 / r and 1.6 / r at every pixel (about 1/r where the ring runs along
## the rows or columns, more where it runs diagonally), and it covers most
## of the ring.
%!test
%! [x, y] = meshgrid (1:97, 1:97);
%! for r = [8, 16, 32]
%!   maps = ZELgetFeatureMaps (0.1 + 0.6 * exp (-(hypot (x - 49, y - 49) - r) .^ 2 / 4.5), "Maps", {"curvature"});
%!   k = maps.curvature(isfinite (maps.curvature)) * r;
%!   assert (numel (k) > 0.8 * 2 * pi * r, "ring of radius %d: %d curve pixels", r, numel (k));
%!   assert (min (k) > 0.85 && max (k) < 1.6, "ring of radius %d: curvature * r from %g to %g", r, min (k), max (k));
%!   assert (abs (median (k) - 1.1) < 0.1, "ring of radius %d: median curvature * r %g", r, median (k));
%! endfor
