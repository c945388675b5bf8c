## ZELgetHeightAndWidthMap called from Octave the way a user calls it.

## One pixel, one orientation, three scales, the middle one selected:
## s^ = 2 + 0.5/(8 - 5), the width 3 * (2/3)^(2 - s^) and the sampling
## fraction x = (width/3)*4/20.
%!shared R, T, P, hw
%! R = reshape ([1.0, -2.0, 1.5], 1, 1, 1, 3);
%! T = [2, 3, 4.5];
%! P = 10:-1:1;
%! hw = @(mode) ZELgetHeightAndWidthMap (R, uint16 (1), uint16 (2), P, 4, T, uint16 (mode));

## Mode 1 divides by P(1); mode 3 by P sampled at x (x*9 = 1.9258... reads
## P(2)); any other mode by P sampled at 0.5 + x less P sampled at 0.5 - x
## (P(7) - P(3) = 4 - 8).
%!test
%! assert_same_bits (hw (1), -0.2);
%! assert_same_bits (hw (3), -2 / 9);
%! assert_same_bits (hw (2), 0.5);

## Two outputs: the height map first, the width map second. The width holds
## the bits of glibc's pow (this suite runs on Linux).
%!test
%! [H, W] = hw (3);
%! assert_same_bits (H, -2 / 9);
%! assert_same_bits (W, 3.2097395818009886);

## At an end scale no neighbour is read and the width is the table entry.
%!test
%! [H, W] = ZELgetHeightAndWidthMap (R, uint16 (1), uint16 (3), P, 4, T, uint16 (1));
%! assert_same_bits (H, 1.5 / 10);
%! assert_same_bits (W, 4.5);

## Every pixel reads its own orientation and scale.
%!test
%! S = zeros (2, 2, 2, 3);
%! S(:, :, 2, 1) = [1, 2; 3, 4];
%! S(:, :, 1, 3) = [5, 6; 7, 8];
%! [H, W] = ZELgetHeightAndWidthMap (S, uint16 ([2, 2; 1, 1]), uint16 ([1, 1; 3, 3]), 2, 1, [1, 2, 3; 10, 20, 30], uint16 (1));
%! assert_same_bits (H, [1, 2; 7, 8] / 2);
%! assert_same_bits (W, [10, 10; 3, 3]);

%!error <Seven input arguments required\.> ZELgetHeightAndWidthMap (R, uint16 (1), uint16 (2), P, 4, T)
## The mode must be passed as uint16: a double 1 would read as 0.
%!error id=ZELgetHeightAndWidthMap:invalidClass ZELgetHeightAndWidthMap (R, uint16 (1), uint16 (2), P, 4, T, 1)
%!error id=ZELgetHeightAndWidthMap:tooFewElements ZELgetHeightAndWidthMap (R, uint16 (1), uint16 (2), P, 4, T(1:2), uint16 (1))

%!test
%! try
%!   ZELgetHeightAndWidthMap (R, uint16 (1), uint16 (0), P, 4, T, uint16 (1));
%!   error ("the call did not fail");
%! catch err
%!   assert (err.identifier, "ZELgetHeightAndWidthMap:indexOutOfRange");
%! end_try_catch

## Single inputs and double index maps give the bits of the double call.
%!test
%! R = randn (17, 31, 2, 4);
%! R([3, 17, 40, 41]) = [NaN, -Inf, -0, realmin("single") / 4];
%! [~, o] = max (abs (R(:, :, :, 2)), [], 3);
%! [~, s] = max (max (abs (R), [], 3), [], 4);
%! args = {R, uint16(o), uint16(s), linspace(1, 0, 33), 4, [2, 3, 4.5, 6.75; 2, 3, 4.5, 6.75], uint16(3)};
%! assert_single_and_double_maps (@ZELgetHeightAndWidthMap, 2, args, [1, 4, 5, 6], [2, 3]);

## Two outputs at most; a stack with a fifth dimension is read as its first
## four, with a warning; an empty image needs no table or map.
%!error id=ZELgetHeightAndWidthMap:tooManyOutputs [H, W, X] = hw (1)
%!warning id=ZELgetHeightAndWidthMap:suspiciousShape ZELgetHeightAndWidthMap (ones (1, 1, 1, 3, 2), uint16 (1), uint16 (2), P, 4, T, uint16 (1));
%!test
%! [H, W] = ZELgetHeightAndWidthMap ([], [], [], [], 4, [], uint16 (1));
%! assert (size (H), [0, 0]);
%! assert (size (W), [0, 0]);

## help ZELgetHeightAndWidthMap shows the help file; calls go to the MEX file.
%!test assert_help_and_mex ("ZELgetHeightAndWidthMap", "Height and width maps from peak interpolation across scales.")
