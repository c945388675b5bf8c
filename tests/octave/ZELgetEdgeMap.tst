## ZELgetEdgeMap called from Octave the way a user calls it.

%!shared R, Q
%! R = reshape ([2, -1, 4], 1, 1, 1, 3);
%! Q = reshape ([0.5, 0, 0.25], 1, 1, 1, 3);

## One pixel, one orientation, three scales: the summed response is 5, the
## numerator (((((5 - 0.5) - 0.2) - 0) - 0.2) - 0.25) - 0.2 and the
## normaliser 4 + 4 + 4, against the reference response at scale 3.
%!test
%! E = ZELgetEdgeMap (R, Q, uint16 (1), uint16 (3), 0.1, -2);
%! assert_same_bits (E, 0.30416666666666664);

## The selected scale enters only the normaliser: at scale 1 it is 2 + 2 + 4.
%!test
%! E = ZELgetEdgeMap (R, Q, uint16 (1), uint16 (1), 0.1, -2);
%! assert_same_bits (E, 3.6499999999999995 / 8);

## Responses that cancel: the accumulated +0 turns into -0 under the own
## absolute value and the pixel is -0.
%!test
%! E = ZELgetEdgeMap (reshape ([1, -1], 1, 1, 1, 2), zeros (1, 1, 1, 2), uint16 (1), uint16 (1), 0, -0);
%! assert_same_bits (E, -0);

## A map of 4 x 5 pixels, 3 orientations and one scale: every pixel reads its
## own orientation, E = max(0, (|R| - Q) - |b|*c) / |R| at it.
%!test
%! rand ("seed", 7);
%! R3 = rand (4, 5, 3) - 0.5;
%! Q3 = 0.1 * rand (4, 5, 3);
%! o = uint16 (randi (3, 4, 5));
%! [i, j] = ndgrid (1:4, 1:5);
%! picked = sub2ind (size (R3), i, j, double (o));
%! expected = max (0, (abs (R3(picked)) - Q3(picked)) - 2 * 0.05) ./ abs (R3(picked));
%! E = ZELgetEdgeMap (R3, Q3, o, uint16 (ones (4, 5)), 0.05, -2);
%! assert_same_bits (E, expected);

## rows or cols 0: an empty map of that shape.
%!assert (size (ZELgetEdgeMap (zeros (0, 3, 2), zeros (0, 3, 2), uint16 (zeros (0, 3)), uint16 (zeros (0, 3)), 1, 1)), [0, 3])

%!error <Six input arguments required\.> ZELgetEdgeMap (R, Q, uint16 (1), uint16 (3), 0.1)
%!error <Six input arguments required\.> ZELgetEdgeMap (R, Q, uint16 (1), uint16 (3), 0.1, -2, 0)
%!error id=ZELgetEdgeMap:invalidClass ZELgetEdgeMap (R, Q, int8 (1), uint16 (3), 0.1, -2)
%!error id=ZELgetEdgeMap:sizeMismatch ZELgetEdgeMap (R, Q(:, :, :, 1:2), uint16 (1), uint16 (3), 0.1, -2)

## As a caller would handle it: the identifier names the kernel and the cause.
%!test
%! try
%!   ZELgetEdgeMap (R, Q, uint16 (1), uint16 (4), 0.1, -2);
%!   error ("the call did not fail");
%! catch err
%!   assert (err.identifier, "ZELgetEdgeMap:indexOutOfRange");
%!   assert (! isempty (strfind (err.message, "input 4 (scale index map)")));
%!   ## The function's name leads the message once.
%!   assert (strncmp (err.message, "ZELgetEdgeMap: input 4", 22), err.message);
%! end_try_catch

## Single inputs and double index maps give the bits of the double call.
%!test
%! R = randn (17, 31, 3, 2);  Q = 0.1 * randn (size (R));
%! R([3, 17, 40, 41]) = [NaN, -Inf, -0, realmin("single") / 4];
%! [~, o] = max (abs (R(:, :, :, 1)), [], 3);
%! [~, s] = max (max (abs (R), [], 3), [], 4);
%! assert_single_and_double_maps (@ZELgetEdgeMap, 1, {R, Q, uint16(o), uint16(s), 0.05, 1}, [1, 2, 5, 6], [3, 4]);

## A scalar with more than one element is read as its first, with a
## warning naming it (once for the call); an empty one ends the call.
## (R and Q are the worked example's again: a test above changed them.)
%!test
%! R = reshape ([2, -1, 4], 1, 1, 1, 3);
%! Q = reshape ([0.5, 0, 0.25], 1, 1, 1, 3);
%!warning <input 5 \(penalty weight\) is 1 x 2, not a scalar; only its first element, 0.1, is read\.> ZELgetEdgeMap (R, Q, uint16 (1), uint16 (3), [0.1, 5], [-2, 1]);
%!test
%! warning ("off", "ZELgetEdgeMap:suspiciousShape", "local");
%! assert_same_bits (ZELgetEdgeMap (R, Q, uint16 (1), uint16 (3), [0.1, 5], [-2; 1]), 0.30416666666666664);
%!error <input 6 \(penalty factor\) has no element: its first element is its value, so the call ends here\.> ZELgetEdgeMap (R, Q, uint16 (1), uint16 (3), 0.1, zeros (1, 0))

## A stack with no scale has none to select: a call with pixels fails, one
## without pixels gives an empty map.
%!error <input 1 \(response stack\) has no scale to select \(its scale count is 0\), yet input 4 \(scale index map\) selects one at pixel \(1, 1\)\.> ZELgetEdgeMap (zeros (2, 3, 2, 0), zeros (2, 3, 2, 0), uint16 (ones (2, 3)), uint16 (ones (2, 3)), 1, 1)
%!assert (size (ZELgetEdgeMap (zeros (0, 3, 2, 0), zeros (0, 3, 2, 0), uint16 (zeros (0, 3)), uint16 (zeros (0, 3)), 1, 1)), [0, 3])

## One output only; a transposed index map is read all the same, with a
## warning; an empty image needs no table or map.
%!error id=ZELgetEdgeMap:tooManyOutputs [E, X] = ZELgetEdgeMap (R, Q, uint16 (1), uint16 (3), 0.1, -2)
%!warning id=ZELgetEdgeMap:suspiciousShape ZELgetEdgeMap (zeros (2, 3), zeros (2, 3), uint16 (ones (3, 2)), uint16 (ones (2, 3)), 0, 0);
%!assert (size (ZELgetEdgeMap ([], [], [], [], 0, 0)), [0, 0])

## help ZELgetEdgeMap shows the help file; calls go to the MEX file.
%!test assert_help_and_mex ("ZELgetEdgeMap", "Edge map: a score per pixel from the response summed over the scales.")
