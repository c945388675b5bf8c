## zel_check_demo_pictures (out_dir)
## Fails unless the demo wrote the input picture and a 512 x 512 colour
## picture of every map with its colour scale below it, the map in at least
## 32 colours.
function zel_check_demo_pictures (out_dir)
  needs = {"input",       {};
           "edge",        {"ZELgetEdgeMap"};
           "height",      {"ZELgetHeightAndWidthMap"};
           "width",       {"ZELgetHeightAndWidthMap"};
           "blob",        {"ZELgetBlobMap", "ZELgetHeightAndWidthMap"};
           "ridge",       {"ZELgetRidgeMap", "ZELgetHeightAndWidthMap"};
           "orientation", {"ZELgetOrientationMap"};
           "curvature",   {"ZELgetCurvatureMap", "ZELgetOrientationMap", "ZELgetRidgeMap"}};
  for k = 1:rows (needs)
    [name, functions] = needs{k, :};
    assert (all (cellfun (@(f) exist (f) == 3, functions)), "%s needs %s", name, strjoin (functions, ", "));
    file = fullfile (out_dir, [name ".png"]);
    assert (exist (file, "file") == 2, "the demo wrote no %s", file);
    picture = imread (file);
    assert (size (picture), [512 + 56, 512, 3]);  # the map and its colour scale
    ## Something is drawn: a map in shades, not one colour or a mask of two.
    colours = rows (unique (reshape (picture(1:512, :, :), [], 3), "rows"));
    assert (colours >= 32, "%s holds %d colours: nothing is drawn", file, colours);
    printf ("%s.png written\n", name);
  endfor
endfunction
