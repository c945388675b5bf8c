## The maps made by two worker processes of the parallel package equal the
## serial calls bit for bit: the demo's image in tiles through
## ZELmapInTiles, and a batch of different images one call per job. Without
## the package ZELmapInTiles makes the tiles itself, one after another.

## Tiles of 41 x 50 pixels: partial tiles of 37 rows and of 10 columns at
## the far borders.
%!test
%! [cases, calls, whole] = zel_tiling_cases (160);
%! for k = 1:rows (cases)
%!   [name, kernel, call, per_pixel, halo] = cases{k, :};
%!   tile_inputs = @(r, c) zel_cut_inputs (calls.(call), per_pixel, r, c);
%!   assert_same_bits (ZELmapInTiles (kernel, tile_inputs, [160, 160], [41, 50], halo, 2), whole.(name));
%! endfor

## The halo is what makes the curvature tiles exact: without it they differ.
%!test
%! [~, calls, whole] = zel_tiling_cases (160);
%! tile_inputs = @(r, c) zel_cut_inputs (calls.ZELgetCurvatureMap, 1, r, c);
%! K = ZELmapInTiles (@ZELgetCurvatureMap, tile_inputs, [160, 160], [41, 50], 0, 2);
%! assert (any (typecast (K(:), "uint64") != typecast (whole.curvature(:), "uint64")));

## Three images of different sizes, every map of each one job; the jobs are
## spread over both workers, neither of them this process.
%!test
%! pkg load parallel
%! sizes = [64, 96, 112];
%! cases = zel_tiling_cases ();
%! [kernels, inputs] = deal ({});
%! for n = sizes
%!   [~, image_calls] = ZELgetFeatureMaps (ZELdemoImage (n));
%!   image_inputs = cellfun (@(call) image_calls.(call), cases(:, 3), "UniformOutput", false);
%!   kernels = [kernels; cases(:, 2)];
%!   inputs = [inputs; image_inputs];
%! endfor
%! [maps, pids] = parcellfun (2, @(kernel, inputs) deal (kernel (inputs{:}), getpid ()), kernels, inputs,
%!                            "UniformOutput", false, "VerboseLevel", 0);
%! pids = cell2mat (pids);
%! assert (numel (unique (pids)), 2);
%! assert (! any (pids == getpid ()));
%! for k = 1:numel (kernels)
%!   assert_same_bits (maps{k}, kernels{k} (inputs{k}{:}));
%! endfor
%! assert (cellfun (@rows, maps), repelem (sizes(:), rows (cases)));

## Both outputs of the height-and-width map from one tiling, by the workers
## and serially.
%!test
%! [~, calls, whole] = zel_tiling_cases (160);
%! tile_inputs = @(r, c) zel_cut_inputs (calls.ZELgetHeightAndWidthMap, [1, 2, 3], r, c);
%! for workers = [2, 0]
%!   [H, W] = ZELmapInTiles (@ZELgetHeightAndWidthMap, tile_inputs, [160, 160], [41, 50], 0, workers);
%!   assert_same_bits (H, whole.height);
%!   assert_same_bits (W, whole.width);
%! endfor

## Where the parallel package is not installed (a pkg that knows none stands
## in for Octave's), the tiles are made one after another, with a warning.
%!test
%! [~, calls, whole] = zel_tiling_cases (160);
%! tile_inputs = @(r, c) zel_cut_inputs (calls.ZELgetEdgeMap, [1, 2, 3, 4], r, c);
%! folder = tempname ();
%! mkdir (folder);
%! fid = fopen (fullfile (folder, "pkg.m"), "w");
%! fprintf (fid, "function pkg (varargin)\n  error ('pkg: package %%s is not installed', varargin{end});\nend\n");
%! fclose (fid);
%! addpath (folder);
%! unwind_protect
%!   lastwarn ("");
%!   E = ZELmapInTiles (@ZELgetEdgeMap, tile_inputs, [160, 160], [41, 50], 0, 2);
%!   [~, id] = lastwarn ();
%! unwind_protect_cleanup
%!   rmpath (folder);
%!   confirm_recursive_rmdir (false, "local");
%!   rmdir (folder, "s");
%! end_unwind_protect
%! assert (id, "ZELmapInTiles:serial");
%! assert_same_bits (E, whole.edge);
