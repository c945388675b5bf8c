## Every map cut into uneven tiles, computed tile by tile and put together
## equals the whole image's map bit for bit. Tiles are cut from the demo's
## inputs at rows 1 | 2-37 | 38 | 39-101 | 102-160 and columns
## 1-52 | 53 | 54-119 | 120-159 | 160: single rows and columns inside the image
## and on its border, long and short tiles.

%!shared row_edges, col_edges
%! row_edges = [0, 1, 37, 38, 101, 160];
%! col_edges = [0, 52, 53, 119, 159, 160];

## The map of every tile widened by HALO pixels inside the image, the halo's
## own output dropped. Pixels no tile writes keep a NaN payload no kernel
## makes, so a tile left out cannot pass for a NaN of the map.
%!function map = tiled (kernel, inputs, per_pixel, halo, row_edges, col_edges)
%!  image_size = [row_edges(end), col_edges(end)];
%!  map = repmat (typecast (uint64 (0x7FF80000DEADBEEF), "double"), image_size);
%!  for i = 1:numel (row_edges) - 1
%!    for j = 1:numel (col_edges) - 1
%!      r = row_edges(i) + 1:row_edges(i + 1);
%!      c = col_edges(j) + 1:col_edges(j + 1);
%!      rh = max (r(1) - halo, 1):min (r(end) + halo, image_size(1));
%!      ch = max (c(1) - halo, 1):min (c(end) + halo, image_size(2));
%!      tile = kernel (zel_cut_inputs (inputs, per_pixel, rh, ch){:});
%!      map(r, c) = tile(r - rh(1) + 1, c - ch(1) + 1);
%!    endfor
%!  endfor
%!endfunction

## The demo's maps hold something to compare: values that differ from pixel
## to pixel, and curves for the curvature map.
%!test
%! [cases, ~, whole] = zel_tiling_cases (160);
%! for k = 1:rows (cases)
%!   map = whole.(cases{k, 1});
%!   assert (size (map), [160, 160]);
%!   assert (numel (unique (map(isfinite (map)))) > 100, "%s map is nearly constant", cases{k, 1});
%! endfor

## The pixel-wise maps need no halo; the curvature map gets one pixel.
%!test
%! [cases, calls, whole] = zel_tiling_cases (160);
%! for k = 1:rows (cases)
%!   [name, kernel, call, per_pixel, halo] = cases{k, :};
%!   assert_same_bits (tiled (kernel, calls.(call), per_pixel, halo, row_edges, col_edges), whole.(name));
%! endfor

## Without its halo a curvature tile makes NaN of its own border, where the
## whole map has curves; everywhere else the maps agree.
%!test
%! [~, calls, whole] = zel_tiling_cases (160);
%! K = tiled (@ZELgetCurvatureMap, calls.ZELgetCurvatureMap, 1, 0, row_edges, col_edges);
%! on_tile_border = false (160, 160);
%! on_tile_border([row_edges(1:end-1) + 1, row_edges(2:end)], :) = true;
%! on_tile_border(:, [col_edges(1:end-1) + 1, col_edges(2:end)]) = true;
%! differ = typecast (K(:), "uint64") != typecast (whole.curvature(:), "uint64");
%! assert (any (differ));
%! assert (! any (differ & ! on_tile_border(:)));
%! assert (all (isnan (K(differ))) && all (isfinite (whole.curvature(differ))));
