## zel_check_demo_pictures (out_dir)
## Runs ZELdemo on its own 512 x 512 image and on a small colour image file,
## each into a folder of OUT_DIR, and fails unless it wrote the input
## picture and a colour picture of every map of the image's size with its
## colour scale below it, the map in shades (at least 32 colours on the
## demo's image), and found every map again from the inputs, to the bit.
function zel_check_demo_pictures (out_dir)
  names = {"input", "edge", "height", "width", "blob", "ridge", "orientation", "curvature"};

  synthetic = fullfile (out_dir, "synthetic");
  said = evalc ("ZELdemo (synthetic);");
  printf ("%s", said);
  assert (numel (strfind (said, "same bits")), 6);
  check_pictures (synthetic, names, [512, 512], 32);

  ## A colour photograph of another size, as a file.
  photo = uint8 (255 * min (max (ZELdemoImage (120)(31:90, 11:100), 0), 1));
  file = fullfile (out_dir, "photo.png");
  if (! isfolder (out_dir))
    mkdir (out_dir);
  endif
  imwrite (cat (3, photo, photo, 255 - photo), file);
  from_file = fullfile (out_dir, "from_file");
  said = evalc ("maps = ZELdemo (from_file, file);");
  assert (numel (strfind (said, "same bits")), 6);
  assert (size (maps.ridge), [60, 90]);
  check_pictures (from_file, names, [60, 90], 8);
endfunction

function check_pictures (folder, names, image_size, least_colours)
  for k = 1:numel (names)
    file = fullfile (folder, [names{k} ".png"]);
    assert (exist (file, "file") == 2, "the demo wrote no %s", file);
    picture = imread (file);
    assert (size (picture), [image_size(1) + 56, image_size(2), 3]);  # the map and its colour scale
    ## Something is drawn: a map in shades, not one colour or a mask of two.
    colours = rows (unique (reshape (picture(1:image_size(1), :, :), [], 3), "rows"));
    assert (colours >= least_colours, "%s holds %d colours: nothing is drawn", file, colours);
    printf ("%s written\n", file);
  endfor
endfunction
