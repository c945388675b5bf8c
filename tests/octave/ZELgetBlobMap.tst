## ZELgetBlobMap called from Octave the way a user calls it.

## One pixel, two orientations (the first selected), one scale.
## x = ((1/1)*8)/8 = 1 samples the last element, P(4) = 4. The weakest
## response is min(3, 1) = 1 and the strongest penalty magnitude
## max(|-0.5|, |0.25|) = 0.5, so r = (1 - 0.5) - 4*0.0625 = 0.25; the
## normaliser is max(|R(o*)|, |0.5*4|) = max(3, 2) = 3.
%!shared R, Q, blob
%! R = reshape ([3, 1], 1, 1, 2);
%! Q = reshape ([-0.5, 0.25], 1, 1, 2);
%! blob = @(b) ZELgetBlobMap (R, Q, uint16 (1), [], 0.0625, [0.5, 1, 2, 4], 8, 1, [1; 1], b);

%!test
%! assert_same_bits (blob (0.5), 0.25 / 3);

## A negative amplitude looks for dark blobs: the weakest response is then
## min(-3, -1) = -3 and the score is floored at +0.
%!test
%! assert_same_bits (blob (-0.5), 0);

## The unused fourth input may be anything.
%!test
%! assert_same_bits (ZELgetBlobMap (R, Q, uint16 (1), {"any", 1}, 0.0625, [0.5, 1, 2, 4], 8, 1, [1; 1], 0.5), 0.25 / 3);

## A stack whose fourth dimension is 0 has no scale: every pixel is 0/0.
%!test
%! B = ZELgetBlobMap (zeros (2, 3, 2, 0), zeros (2, 3, 2, 0), uint16 (ones (2, 3)), [], 1, 1, 1, ones (2, 3), zeros (2, 0), ones (2, 3));
%! assert (size (B), [2, 3]);
%! assert (all (isnan (B(:))));

%!error <Ten input arguments required\.> ZELgetBlobMap (R, Q, uint16 (1), [], 0.0625, [0.5, 1, 2, 4], 8, 1, [1; 1], 0.5, 0)
%!error id=ZELgetBlobMap:invalidClass ZELgetBlobMap (R, Q, uint16 (1), [], 0.0625, int32 ([1, 1, 2, 4]), 8, 1, [1; 1], 0.5)
%!error id=ZELgetBlobMap:tooFewElements ZELgetBlobMap (R, Q, uint16 (1), [], 0.0625, [0.5, 1, 2, 4], 8, 1, 1, 0.5)

%!test
%! try
%!   ZELgetBlobMap (R, R(:, :, 1), uint16 (1), [], 0.0625, [0.5, 1, 2, 4], 8, 1, [1; 1], 0.5);
%!   error ("the call did not fail");
%! catch err
%!   assert (err.identifier, "ZELgetBlobMap:sizeMismatch");
%! end_try_catch

## Single inputs and double index maps give the bits of the double call.
%!test
%! R = randn (17, 31, 3, 2);  Q = 0.1 * randn (size (R));
%! R([3, 17, 40, 41]) = [NaN, -Inf, -0, realmin("single") / 4];
%! [~, o] = max (abs (R(:, :, :, 1)), [], 3);
%! A = 3 * rand (17, 31);  A(5) = NaN;  B = randn (17, 31);  B(7) = -0;
%! args = {R, Q, uint16(o), [], 0.05, linspace(0, 1, 33), 16, A, [1, 2; 1.5, 3; 2, 4], B};
%! assert_single_and_double_maps (@ZELgetBlobMap, 1, args, [1, 2, 5, 6, 7, 8, 9, 10], 3);

## One output only; a transposed scale table (nS x nO) or a map from max
## over the orientations of a 4-D stack (rows x cols x 1 x nS) is read all
## the same, with a warning; an empty image needs no table or map.
%!error id=ZELgetBlobMap:tooManyOutputs [B, X] = blob (0.5)
%!warning id=ZELgetBlobMap:suspiciousShape ZELgetBlobMap (ones (1, 1, 2, 3), ones (1, 1, 2, 3), uint16 (1), [], 0, 1, 1, 1, ones (3, 2), 1);
%!warning id=ZELgetBlobMap:suspiciousShape ZELgetBlobMap (ones (2, 2, 2, 3), ones (2, 2, 2, 3), uint16 (ones (2, 2, 1, 3)), [], 0, 1, 1, ones (2), ones (2, 3), ones (2));
%!assert (size (ZELgetBlobMap ([], [], [], [], 0, [], 1, [], [], [])), [0, 0])

## help ZELgetBlobMap shows the help file; calls go to the MEX file.
%!test assert_help_and_mex ("ZELgetBlobMap", "Blob map: a score per pixel from the weakest oriented response at every scale.")
