## ZELgetOrientationMap called from Octave the way a user calls it.

## Eight orientations, one scale, a 1 x 8 map in which pixel k selects
## orientation k, where the response is 2 against 1 at both neighbours: the
## peak stays at k, and the linear mapping gives (k - 1) * 22.5 degrees.
%!shared R8
%! R8 = ones (1, 8, 8);
%! for k = 1:8
%!   R8(1, k, k) = 2;
%! endfor

%!test
%! A = ZELgetOrientationMap (R8, uint16 (1:8), uint16 (ones (1, 8)), uint16 (0));
%! assert_same_bits (A, (0:7) * 22.5);

## The neighbours wrap around: at orientation 1 with 1.5 at orientation 8
## and 1 at orientation 2 the peak lies at 1 + (1 - 1.5)/(8 - 5), below 1,
## and moves up by 8 to 8.8333..., which is 176.25 degrees.
%!test
%! R = ones (1, 1, 8);
%! R(1, 1, [1, 8, 2]) = [2, 1.5, 1];
%! A = ZELgetOrientationMap (R, uint16 (1), uint16 (1), uint16 (0));
%! assert_same_bits (A, 176.25);

## The two-half arctangent mapping of 14 orientations.
%!test
%! R = ones (1, 14, 14);
%! for k = 1:14
%!   R(1, k, k) = 2;
%! endfor
%! A = ZELgetOrientationMap (R, uint16 (1:14), uint16 (ones (1, 14)), uint16 (1));
%! expected = [33.690068, 45, 63.434949, 90, 116.565051, 135, 146.309932, ...
%!             123.690068, 135, 153.434949, 0, 26.565051, 45, 56.309932];
%! assert (A, expected, 5e-7);

## Equal magnitudes leave the peak undefined: NaN.
%!assert (isnan (ZELgetOrientationMap (zeros (1, 1, 8), uint16 (3), uint16 (1), uint16 (0))))

%!error <Four input arguments required\.> ZELgetOrientationMap (R8, uint16 (1:8), uint16 (ones (1, 8)))
## The flag must be passed as uint16.
%!error id=ZELgetOrientationMap:invalidClass ZELgetOrientationMap (R8, uint16 (1:8), uint16 (ones (1, 8)), 0)
%!error id=ZELgetOrientationMap:tooFewElements ZELgetOrientationMap (R8, uint16 (1:7), uint16 (ones (1, 8)), uint16 (0))

%!test
%! try
%!   ZELgetOrientationMap (R8, uint16 (1:8), uint16 (2 * ones (1, 8)), uint16 (0));
%!   error ("the call did not fail");
%! catch err
%!   assert (err.identifier, "ZELgetOrientationMap:indexOutOfRange");
%! end_try_catch

## Single inputs and double index maps give the bits of the double call.
%!test
%! R = randn (17, 31, 8, 2);
%! R([3, 17, 40, 41]) = [NaN, -Inf, -0, realmin("single") / 4];
%! [~, o] = max (abs (R(:, :, :, 1)), [], 3);
%! assert_single_and_double_maps (@ZELgetOrientationMap, 1, {R, uint16(o), uint16(ones (17, 31)), uint16(0)}, 1, [2, 3]);

## NaN and infinities in a double index map are named as the hosts print them.
%!error <input 2 \(orientation index map\) holds NaN at pixel \(1, 2\)> ZELgetOrientationMap (R8, [1, NaN, 3:8], uint16 (ones (1, 8)), uint16 (0))
%!error <input 3 \(scale index map\) holds -Inf at pixel \(1, 8\)> ZELgetOrientationMap (R8, uint16 (1:8), [ones(1, 7), -Inf], uint16 (0))
%!error <holds Inf at pixel> ZELgetOrientationMap (R8, [Inf, 2:8], uint16 (ones (1, 8)), uint16 (0))

## The arctangent mapping with fewer than 10 orientations warns: with 8, it
## gives only 0, 90 and 180. The linear mapping does not, nor does 10.
%!warning id=ZELgetOrientationMap:tooFewOrientations ZELgetOrientationMap (R8, uint16 (1:8), uint16 (ones (1, 8)), uint16 (1));
%!test
%! warning ("off", "ZELgetOrientationMap:tooFewOrientations", "local");
%! A = ZELgetOrientationMap (R8, uint16 (1:8), uint16 (ones (1, 8)), uint16 (1));
%! assert (all (ismember (A(! isnan (A)), [0, 90, 180])));
%!test
%! lastwarn ("", "");
%! ZELgetOrientationMap (R8, uint16 (1:8), uint16 (ones (1, 8)), uint16 (0));
%! R10 = ones (1, 10, 10);
%! ZELgetOrientationMap (R10, uint16 (1:10), uint16 (ones (1, 10)), uint16 (1));
%! [~, id] = lastwarn ();
%! assert (id, "");

## The help states the angle convention and the layout each mapping is for.
%!test
%! text = help ("ZELgetOrientationMap");
%! for part = {"0 is a line along the", "grow counterclockwise as seen on screen with rows downwards", ...
%!             "period of 180", "orientation o is the line at (o-1)*180/nO degrees", ...
%!             "It is meant for nO = 10, 14,", "needs nO >= 10"}
%!   assert (! isempty (strfind (regexprep (text, '\s+', " "), part{1})), "the help does not say: %s", part{1});
%! endfor

## One output only; a transposed scale map is read all the same, with a warning.
%!error id=ZELgetOrientationMap:tooManyOutputs [A, X] = ZELgetOrientationMap (R8, uint16 (1:8), uint16 (ones (1, 8)), uint16 (0))
%!warning id=ZELgetOrientationMap:suspiciousShape ZELgetOrientationMap (R8, uint16 (1:8), uint16 (ones (8, 1, 2)), uint16 (0));

## help ZELgetOrientationMap shows the help file; calls go to the MEX file.
%!test assert_help_and_mex ("ZELgetOrientationMap", "Orientation map: an angle in degrees per pixel from peak interpolation.")
