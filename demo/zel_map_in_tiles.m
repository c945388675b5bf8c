## map = zel_map_in_tiles (kernel, tile_inputs, image_size, tile, halo, workers)
## KERNEL's map (a handle, @ZELgetEdgeMap, or an anonymous function that
## captures no variable) of an image of IMAGE_SIZE, made in tiles of
## TILE = [rows, cols] pixels by WORKERS processes and put together.
## TILE_INPUTS (r, c) gives KERNEL's inputs for rows r, columns c of the image.
## HALO = 1 for ZELgetCurvatureMap, 0 for the others.
function map = zel_map_in_tiles (kernel, tile_inputs, image_size, tile, halo, workers)
  pkg load parallel
  [r0, c0] = ndgrid (1:tile(1):image_size(1), 1:tile(2):image_size(2));
  one_tile = @map_of_tile;   # workers find a subfunction by its handle, not by its name
  kernel = func2str (kernel);  # the pool outlives the call: it keeps no handle to a MEX file
  parts = parcellfun (workers, @(r0, c0) one_tile (kernel, tile_inputs, image_size, tile, halo, r0, c0),
                      num2cell (r0), num2cell (c0), "UniformOutput", false, "VerboseLevel", 0);
  map = cell2mat (parts);
endfunction

function map = map_of_tile (kernel, tile_inputs, image_size, tile, halo, r0, c0)
  r = r0:min (r0 + tile(1) - 1, image_size(1));                  # the tile
  c = c0:min (c0 + tile(2) - 1, image_size(2));
  rh = max (r(1) - halo, 1):min (r(end) + halo, image_size(1));  # and its halo
  ch = max (c(1) - halo, 1):min (c(end) + halo, image_size(2));
  inputs = tile_inputs (rh, ch);
  map = feval (str2func (kernel), inputs{:})(r - rh(1) + 1, c - ch(1) + 1);  # the halo's output dropped
endfunction
