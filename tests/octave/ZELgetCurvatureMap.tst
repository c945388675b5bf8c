## ZELgetCurvatureMap called from Octave the way a user calls it.

## A 3 x 3 map computes only its centre; with the first valid neighbour (in
## the scan order: row above, left, right, row below) holding A and the
## second B, K = 2*sin(|wrap(A - c) + wrap(c - B)| * 0.5 * pi / 360).
%!function K = centre (c, first, second)
%!  O = NaN (3);
%!  O(2, 2) = c;
%!  O(1, 1) = first;
%!  O(3, 3) = second;
%!  K = ZELgetCurvatureMap (O);
%!  assert (isnan (K([1:4, 6:9])));
%!  K = K(2, 2);
%!endfunction

%!function K = chord (delta)
%!  s = sin (((abs (delta) * 0.5) * pi) / 360);
%!  K = s + s;
%!endfunction

## Centre 50 between 10 and 170: the step 50 - 170 wraps to 60, 10 - 50 is
## -40, so the orientation turns by 20 degrees.
%!assert (centre (50, 10, 170), chord (20))
## Across the period: 10 between two neighbours at 170 does not turn.
%!assert (centre (10, 170, 170), 0)
%!assert (centre (10, 170, 30), chord (-40))
## A difference of exactly 90 is not wrapped: the largest value, one unit in
## the last place below sqrt(2) (2 sin(pi/4) as glibc's sin gives it; this
## suite runs on Linux).
%!test
%! K = centre (0, 90, -90);
%! assert_same_bits (K, sqrt (2) - eps (sqrt (2)));
%! assert_same_bits (K, chord (180));
## Exchanging the two neighbours changes nothing.
%!assert (centre (50, 170, 10), centre (50, 10, 170))

## A one-pixel-wide straight line: its inner points do not turn, its end
## points (one valid neighbour) and the border are NaN, as is every pixel
## without an orientation.
%!test
%! O = NaN (5, 7);
%! O(3, 2:6) = 45;
%! K = ZELgetCurvatureMap (O);
%! expected = NaN (5, 7);
%! expected(3, 3:5) = 0;
%! assert (K, expected);

## A third valid neighbour marks a junction: NaN.
%!test
%! O = NaN (3);
%! O([1, 5, 9, 3]) = 10;
%! assert (isnan (ZELgetCurvatureMap (O)(2, 2)));

%!assert (size (ZELgetCurvatureMap (zeros (0, 4))), [0, 4])

%!error <One input arguments required\.> ZELgetCurvatureMap ()
%!error <One input arguments required\.> ZELgetCurvatureMap (NaN (3), NaN (3))

%!test
%! try
%!   ZELgetCurvatureMap (uint16 (ones (3)));
%!   error ("the call did not fail");
%! catch err
%!   assert (err.identifier, "ZELgetCurvatureMap:invalidClass");
%! end_try_catch

## A single orientation map gives the bits of the double call.
%!test
%! O = NaN (17, 31);
%! O(9, 2:30) = 180 * rand (1, 29);
%! O(2:16, 12) = [realmin("single") / 4; -0; 170 * rand(13, 1)];
%! assert_single_and_double_maps (@ZELgetCurvatureMap, 1, {O}, 1, []);

## One output only; of a 3-D map only the first rows x cols elements are
## read, with a warning.
%!error id=ZELgetCurvatureMap:tooManyOutputs [K, X] = ZELgetCurvatureMap (NaN (3))
%!warning id=ZELgetCurvatureMap:suspiciousShape ZELgetCurvatureMap (NaN (3, 3, 2));

## help ZELgetCurvatureMap shows the help file; calls go to the MEX file.
%!test assert_help_and_mex ("ZELgetCurvatureMap", "Curvature map: the change of orientation along one-pixel-wide curves.")
