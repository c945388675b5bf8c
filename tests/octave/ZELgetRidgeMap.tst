## ZELgetRidgeMap called from Octave the way a user calls it.

## One pixel, two orientations of which the second is selected, two scales.
## Scale 1: x = ((1/1)*10)/10 = 1, clamped to 0.5, samples P(5) - P(1) = 4;
##   r = 2 - (4*0.125 + 0.25) = 1.25, normaliser max(2, 4) = 4.
## Scale 2: x = ((1/4)*10)/10 = 0.25, samples P(4) - P(2) = 2;
##   r = 1.25 + 3 - (2*0.125 + 0.5) = 3.5, normaliser 4 + max(3, 2) = 7.
%!shared R, Q, T, ridge
%! R = 100 * ones (1, 1, 2, 2);
%! R(1, 1, 2, :) = [2, 3];
%! Q = 100 * ones (1, 1, 2, 2);
%! Q(1, 1, 2, :) = [0.25, 0.5];
%! T = [7, 7; 1, 4];
%! ridge = @(P, b) ZELgetRidgeMap (R, Q, uint16 (2), [], 0.125, P, 10, 1, T, b);

%!test
%! assert_same_bits (ridge (1:5, 1), 0.5);

## The sign of the profile difference and the polarity of the amplitude
## multiply: a decreasing profile finds the same ridge of the other polarity,
## and misses this one (the sum is floored at +0).
%!test
%! assert_same_bits (ridge (5:-1:1, -1), 0.5);
%! assert_same_bits (ridge (5:-1:1, 1), 0);

## A NaN amplitude makes every normaliser term NaN.
%!test
%! assert (isnan (ridge (1:5, NaN)));

## The profile table is read as a vector whatever its shape.
%!test
%! assert_same_bits (ridge ((1:5)', 1), 0.5);

%!error <Ten input arguments required\.> ZELgetRidgeMap (R, Q, uint16 (2), [], 0.125, 1:5, 10, 1, T)
%!error id=ZELgetRidgeMap:invalidClass ZELgetRidgeMap (R, Q, int32 (2), [], 0.125, 1:5, 10, 1, T, 1)
%!error id=ZELgetRidgeMap:invalidTableLength ZELgetRidgeMap (R, Q, uint16 (2), [], 0.125, [], 10, 1, T, 1)

%!test
%! try
%!   ZELgetRidgeMap (R, Q, uint16 (3), [], 0.125, 1:5, 10, 1, T, 1);
%!   error ("the call did not fail");
%! catch err
%!   assert (err.identifier, "ZELgetRidgeMap:indexOutOfRange");
%! end_try_catch

## Single inputs and double index maps give the bits of the double call.
%!test
%! R = randn (17, 31, 3, 2);  Q = 0.1 * randn (size (R));
%! R([3, 17, 40, 41]) = [NaN, -Inf, -0, realmin("single") / 4];
%! [~, o] = max (abs (R(:, :, :, 1)), [], 3);
%! A = 3 * rand (17, 31);  A(5) = NaN;  B = randn (17, 31);  B(7) = -0;
%! args = {R, Q, uint16(o), [], 0.05, linspace(-1, 1, 33), 16, A, [1, 2; 1.5, 3; 2, 4], B};
%! assert_single_and_double_maps (@ZELgetRidgeMap, 1, args, [1, 2, 5, 6, 7, 8, 9, 10], 3);

## One output only; a transposed size map is read all the same, with a
## warning; an empty image needs no table or map.
%!error id=ZELgetRidgeMap:tooManyOutputs [K, X] = ridge (1:5, 1)
%!warning id=ZELgetRidgeMap:suspiciousShape ZELgetRidgeMap (ones (2, 3), ones (2, 3), uint16 (ones (2, 3)), [], 0, 1, 1, ones (3, 2), 1, ones (2, 3));
%!assert (size (ZELgetRidgeMap ([], [], [], [], 0, [], 1, [], [], [])), [0, 0])

## help ZELgetRidgeMap shows the help file; calls go to the MEX file.
%!test assert_help_and_mex ("ZELgetRidgeMap", "Ridge map: a score per pixel from the response at its selected orientation.")
