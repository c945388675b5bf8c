## The maps made by two worker processes of the parallel package equal the
## serial calls bit for bit: the demo's image in tiles through
## zel_map_in_tiles, the example the README quotes, and a batch of
## different images one call per job.

## Tiles of 41 x 50 pixels: partial tiles of 37 rows and of 10 columns at
## the far borders.
%!test
%! [cases, calls, whole] = zel_tiling_cases (160);
%! for k = 1:rows (cases)
%!   [name, kernel, call, per_pixel, halo] = cases{k, :};
%!   tile_inputs = @(r, c) zel_cut_inputs (calls.(call), per_pixel, r, c);
%!   assert_same_bits (zel_map_in_tiles (kernel, tile_inputs, [160, 160], [41, 50], halo, 2), whole.(name));
%! endfor

## The halo is what makes the curvature tiles exact: without it they differ.
%!test
%! [~, calls, whole] = zel_tiling_cases (160);
%! tile_inputs = @(r, c) zel_cut_inputs (calls.ZELgetCurvatureMap, 1, r, c);
%! K = zel_map_in_tiles (@ZELgetCurvatureMap, tile_inputs, [160, 160], [41, 50], 0, 2);
%! assert (any (typecast (K(:), "uint64") != typecast (whole.curvature(:), "uint64")));

## Three images of different sizes, every map of each one job; the jobs are
## spread over both workers, neither of them this process.
%!test
%! pkg load parallel
%! sizes = [64, 96, 112];
%! cases = zel_tiling_cases ();
%! [kernels, inputs] = deal ({});
%! for n = sizes
%!   image_calls = zel_demo_inputs (n);
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

## The README's Octave example is this very file.
%!test
%! example = fileread (which ("zel_map_in_tiles"));
%! readme = fileread (fullfile (fileparts (which ("zel_map_in_tiles")), "..", "README.md"));
%! assert (! isempty (strfind (readme, ["```octave\n", example, "```\n"])), "README.md does not quote %s", which ("zel_map_in_tiles"));
