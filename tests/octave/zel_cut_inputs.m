## inputs = zel_cut_inputs (inputs, per_pixel, r, c)
## The inputs of one call cut to rows R and columns C of the image: those at
## the positions PER_PIXEL hold a value per pixel (rows x cols maps, rows x
## cols x orientations x scales stacks) and are cut; tables and scalars stay
## whole.
function inputs = zel_cut_inputs (inputs, per_pixel, r, c)
  for k = per_pixel
    inputs{k} = inputs{k}(r, c, :, :);
  endfor
endfunction
