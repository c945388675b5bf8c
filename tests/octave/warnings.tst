## The warnings for likely mistakes, on the demo's image. The demo's own
## calls make no mistake and raise no warning, whole or in tiles; the same
## inputs with the mistakes a new user makes raise each its own warning, once,
## and give the map of the call as the contract reads it.

## The warnings CALL (a function of no input) raises, as the number printed
## and the identifier of the last; and its first output.
%!function [count, id, map] = warnings_of (call)
%!  lastwarn ("", "");
%!  text = evalc ("map = call ();");
%!  count = numel (regexp (text, '(^|\n)warning: (?!called from)', "start"));
%!  [~, id] = lastwarn ();
%!endfunction

%!shared calls
%! [~, calls] = ZELgetFeatureMaps (ZELdemoImage (160));

## The demo's six calls warn of nothing.
%!test
%! for name = fieldnames (calls)'
%!   [count, id] = warnings_of (@() feval (name{1}, calls.(name{1}){:}));
%!   assert (count == 0, "%s warns: %s", name{1}, id);
%! endfor

## The curvature map of the demo's orientation map in degrees never looks
## like radians, whole or in tiles of 16 to 64 pixels (with a one-pixel
## halo); the same map in radians does, whole and in most tiles large enough.
%!test
%! O = calls.ZELgetCurvatureMap{1};
%! [count, id] = warnings_of (@() ZELgetCurvatureMap (deg2rad (O)));
%! assert ({count, id}, {1, "ZELgetCurvatureMap:looksLikeRadians"});
%! for tile = [16, 32, 64]
%!   detected = 0;
%!   for r0 = 1:tile:160
%!     for c0 = 1:tile:160
%!       r = max (r0 - 1, 1):min (r0 + tile, 160);
%!       c = max (c0 - 1, 1):min (c0 + tile, 160);
%!       [~, id] = warnings_of (@() ZELgetCurvatureMap (O(r, c)));
%!       assert (! strcmp (id, "ZELgetCurvatureMap:looksLikeRadians"), "a tile at (%d, %d) in degrees", r0, c0);
%!       [~, id] = warnings_of (@() ZELgetCurvatureMap (deg2rad (O(r, c))));
%!       detected += strcmp (id, "ZELgetCurvatureMap:looksLikeRadians");
%!     endfor
%!   endfor
%!   assert (detected > 0, "no tile of %d in radians warns", tile);
%! endfor

## A scalar given as a vector or a matrix: read as its first element, with
## a warning. ones(16) as the ridge map's penalty weight reads c = 1;
## [10 0.05] as the edge map's c and b reads c = 10 (every pixel 0);
## uint16([0 1]) as the angle mapping flag reads 0; uint16([3 1]) as the
## normalisation mode reads 3.
%!test
%! mistakes = {"ZELgetRidgeMap",          5, ones(16),         1;
%!             "ZELgetEdgeMap",           5, [10, 0.05],       10;
%!             "ZELgetOrientationMap",    4, uint16([0, 1]),   uint16(0);
%!             "ZELgetHeightAndWidthMap", 7, uint16([3, 1]),   uint16(3)};
%! for k = 1:rows (mistakes)
%!   [name, slot, given, read] = mistakes{k, :};
%!   inputs = calls.(name);
%!   inputs{slot} = given;
%!   [count, id, map] = warnings_of (@() feval (name, inputs{:}));
%!   assert ({count, id}, {1, [name ":suspiciousShape"]});
%!   inputs{slot} = read;
%!   assert_same_bits (map, feval (name, inputs{:}));
%! endfor
%! inputs = calls.ZELgetEdgeMap;
%! assert (all (feval ("ZELgetEdgeMap", inputs{1:4}, [10, 0.05], inputs{6})(:) == 0));

## The orientation map before thinning: no pixel has exactly two
## neighbours with an angle, and the curvature map is NaN everywhere.
%!test
%! A = ZELgetOrientationMap (calls.ZELgetOrientationMap{:});
%! [count, id, K] = warnings_of (@() ZELgetCurvatureMap (A));
%! assert ({count, id}, {1, "ZELgetCurvatureMap:noCurvePoints"});
%! assert (all (isnan (K(:))));

## The arctangent mapping with the demo's 8 orientations: every angle is 0,
## 90 or 180 (or NaN).
%!test
%! inputs = calls.ZELgetOrientationMap;
%! inputs{4} = uint16 (1);
%! [count, id, A] = warnings_of (@() ZELgetOrientationMap (inputs{:}));
%! assert ({count, id}, {1, "ZELgetOrientationMap:tooFewOrientations"});
%! assert (all (ismember (A(isfinite (A)), [0, 90, 180])));

## A stack with no scale has none for the edge map's scale index map to
## select, as for the height-and-width and orientation maps.
%!test
%! inputs = calls.ZELgetEdgeMap;
%! for name = {"ZELgetEdgeMap", "ZELgetHeightAndWidthMap", "ZELgetOrientationMap"}
%!   switch (name{1})
%!     case "ZELgetEdgeMap"
%!       args = {zeros(160, 160, 8, 0), zeros(160, 160, 8, 0), inputs{3:end}};
%!     case "ZELgetHeightAndWidthMap"
%!       args = calls.ZELgetHeightAndWidthMap;
%!       args{1} = zeros (160, 160, 8, 0);
%!     otherwise
%!       args = calls.ZELgetOrientationMap;
%!       args{1} = zeros (160, 160, 8, 0);
%!   endswitch
%!   try
%!     feval (name{1}, args{:});
%!     error ("%s did not fail", name{1});
%!   catch err
%!     assert (err.identifier, [name{1} ":indexOutOfRange"]);
%!     assert (! isempty (strfind (err.message, "has no scale to select")), err.message);
%!   end_try_catch
%! endfor
