## ZELgetResponseStack called from Octave the way a user calls it.

## The definition in the help, written with conv2: the sampled kernels, the
## image mirrored at its borders (as often as the radius needs, for images
## narrower than it) and the steering with sind and cosd.
%!function [R2, R1] = reference (I, sigmas, nO)
%!  [rows, cols] = size (I);
%!  R2 = R1 = zeros (rows, cols, nO, numel (sigmas));
%!  for k = 1:numel (sigmas)
%!    sigma = sigmas(k);
%!    r = ceil (4 * sigma);
%!    t = (0:r)';
%!    e = exp (-(t .* t) / ((sigma * sigma) * 2));
%!    S0 = e(1) + 2 * sum (e(2:end));  S2 = 2 * sum (t.^2 .* e);
%!    S4 = 2 * sum (t.^4 .* e);  m = S2 / S0;  D = (S4 - m * S2) / 2;
%!    smooth = e / S0;  first = (t .* e) / S2;  second = ((t.^2 - m) .* e) / D;
%!    g0 = [flipud(smooth(2:end)); smooth];
%!    g1 = [-flipud(first(2:end)); first];
%!    g2 = [flipud(second(2:end)); second];
%!    J = I(mirror (rows, r), mirror (cols, r));
%!    Ixx = conv2 (flip (g0), flip (g2), J, "valid");
%!    Ix = conv2 (flip (g0), flip (g1), J, "valid");
%!    Ixy = conv2 (flip (g1), flip (g1), J, "valid");
%!    Iy = conv2 (flip (g1), flip (g0), J, "valid");
%!    Iyy = conv2 (flip (g2), flip (g0), J, "valid");
%!    for o = 1:nO
%!      theta = (o - 1) * 180 / nO;
%!      s = sind (theta);  c = cosd (theta);
%!      R2(:, :, o, k) = -(sigma * sigma) * ((s * s * Ixx + 2 * s * c * Ixy) + c * c * Iyy);
%!      R1(:, :, o, k) = sigma * (-s * Ix - c * Iy);
%!    endfor
%!  endfor
%!endfunction

## Samples -r .. len + r - 1 of a line of len samples mirrored at both ends,
## ..., 2, 1 | 1, 2, ..., len | len, len - 1, ..., with period 2 * len.
%!function index = mirror (len, r)
%!  m = mod (-r:len+r-1, 2 * len);
%!  index = m + 1;
%!  index(m >= len) = 2 * len - m(m >= len);
%!endfunction

## Fails unless the stacks agree within tol of the largest magnitude of the
## reference: conv2 sums in another order, and exp, sind and cosd are the
## host's where the MEX file has its own.
%!function assert_close (got, expected, tol)
%!  assert (size (got), size (expected));
%!  scale = max (abs (expected(:)));
%!  assert (scale > 0);
%!  worst = max (abs (double (got(:)) - expected(:))) / scale;
%!  assert (worst <= tol, "largest difference %.3g of the largest response", worst);
%!endfunction

%!shared I, sigmas
%! rand ("seed", 21);
%! I = rand (23, 17);
%! sigmas = [0.7, 1.5, 3.2];

## Both stacks against the definition: 6 orientations (0, 30, ..., 150
## degrees) and three scales, the largest reaching 13 pixels past a 17-wide
## image's border.
%!test
%! [R2, R1] = ZELgetResponseStack (I, sigmas, 6);
%! [E2, E1] = reference (I, sigmas, 6);
%! assert (class (R2), "double");
%! assert_close (R2, E2, 1e-12);
%! assert_close (R1, E1, 1e-12);

## Images narrower than the kernels' reach: one row, two columns, mirrored
## several times over.
%!test
%! for shape = {[1, 9], [2, 30], [30, 2]}
%!   J = rand (shape{1});
%!   [R2, R1] = ZELgetResponseStack (J, [1.2, 2.5], 4);
%!   [E2, E1] = reference (J, [1.2, 2.5], 4);
%!   assert_close (R2, E2, 1e-12);
%!   assert_close (R1, E1, 1e-12);
%! endfor

## In single precision: within single's rounding of the double definition.
%!test
%! [R2, R1] = ZELgetResponseStack (I, sigmas, 6, [2, 1], "single");
%! [E2, E1] = reference (double (single (I)), sigmas, 6);
%! assert (class (R2), "single");
%! assert (class (R1), "single");
%! assert_close (R2, E2, 4e-6);
%! assert_close (R1, E1, 4e-6);

## A bright line of Gaussian profile (standard deviation 2) drawn at 30
## degrees, rising to the right as the image is shown: at its centre the
## second-order response peaks at orientation 2 of 6 (30 degrees), and
## ZELgetIndexMaps says so.
%!test
%! [x, y] = meshgrid (1:41, 1:41);
%! across = (x - 21) * sind (30) + (y - 21) * cosd (30);
%! line = exp (-across.^2 / (2 * 2^2));
%! R2 = ZELgetResponseStack (line, [1.5, 2, 2.8], 6);
%! [~, peak] = max (R2(21, 21, :, 2));
%! assert (peak, 2);
%! assert (R2(21, 21, 2, 2) > 0);
%! o = ZELgetIndexMaps (R2);
%! assert (o(21, 21), uint16 (2));

## Classes: uint8 and uint16 images are read as I / 255 and I / 65535,
## logical as 0 and 1, a single image computes in single and gives the bits
## of the call on it with 'single' asked for; a double image with 'single'
## gives the bits of single(I); singles in sigmas and nO read as doubles.
%!test
%! I8 = uint8 (floor (255 * I));
%! I16 = uint16 (floor (65535 * I));
%! L = I > 0.5;
%! [A, B] = ZELgetResponseStack (I8, [1, 2], 4);
%! [C, D] = ZELgetResponseStack (double (I8) / 255, [1, 2], 4);
%! assert_same_class_and_bits (A, C);  assert_same_class_and_bits (B, D);
%! assert_same_class_and_bits (ZELgetResponseStack (I16, [1, 2], 4), ZELgetResponseStack (double (I16) / 65535, [1, 2], 4));
%! assert_same_class_and_bits (ZELgetResponseStack (L, [1, 2], 4), ZELgetResponseStack (double (L), [1, 2], 4));
%! S = ZELgetResponseStack (single (I), [1, 2], 4);
%! assert (class (S), "single");
%! assert_same_class_and_bits (ZELgetResponseStack (I, [1, 2], 4, 2, "single"), S);
%! assert_same_class_and_bits (ZELgetResponseStack (single (I), [1, 2], 4, 2, "SINGLE"), S);
%! assert_same_class_and_bits (ZELgetResponseStack (single (I), [1, 2], 4, 2, "double"),
%!                             ZELgetResponseStack (double (single (I)), [1, 2], 4));
%! assert_same_class_and_bits (ZELgetResponseStack (I, single ([1, 2]), single (4)), ZELgetResponseStack (I, [1, 2], 4));

## Orders: each stack alone, or both in either order, has the bits of the
## call that makes both; with no orders, one output is the second order.
## Two orientations (too few for the stacks to hold the working planes) give
## orientations 1 and 3 of four: 0 and 90 degrees.
%!test
%! [R2, R1] = ZELgetResponseStack (I, sigmas, 4);
%! assert_same_class_and_bits (ZELgetResponseStack (I, sigmas, 4), R2);
%! assert_same_class_and_bits (ZELgetResponseStack (I, sigmas, 4, 2), R2);
%! assert_same_class_and_bits (ZELgetResponseStack (I, sigmas, 4, 1), R1);
%! [A, B] = ZELgetResponseStack (I, sigmas, 4, [1, 2]);
%! assert_same_class_and_bits (A, R1);  assert_same_class_and_bits (B, R2);
%! [A, B] = ZELgetResponseStack (I, sigmas, 2);
%! assert_same_class_and_bits (A, R2(:, :, [1, 3], :));
%! assert_same_class_and_bits (B, R1(:, :, [1, 3], :));
%! assert_same_class_and_bits (ZELgetResponseStack (I, sigmas, 1, 1), R1(:, :, 1, :));

## A constant image has no derivative: the responses are zeros, to within
## the rounding of kernels that sum to 0.
%!test
%! [R2, R1] = ZELgetResponseStack (7 * ones (9, 8), [0.5, 2], 3);
%! assert (max (abs ([R2(:); R1(:)])) < 1e-13);

## NaN pixels spread to the responses that reach them, and no further.
%!test
%! J = I;  J(12, 9) = NaN;
%! R2 = ZELgetResponseStack (J, 0.7, 2);     # radius 3
%! assert (all (all (isnan (R2(9:15, 6:12, 1)))));
%! far = true (23, 17);  far(9:15, 6:12) = false;
%! assert (! any (isnan (R2(repmat (far, [1, 1, 2])))));

%!error <Three to five input arguments required\.> ZELgetResponseStack (I, sigmas)
%!error <Three to five input arguments required\.> ZELgetResponseStack (I, sigmas, 4, [2, 1], "double", 0)
%!error id=ZELgetResponseStack:invalidClass ZELgetResponseStack (int16 (I), sigmas, 4)
%!error id=ZELgetResponseStack:invalidClass ZELgetResponseStack (I + 1i, sigmas, 4)
%!error id=ZELgetResponseStack:invalidClass ZELgetResponseStack (I, sigmas, 4, [2, 1], 1)
%!error id=ZELgetResponseStack:invalidShape ZELgetResponseStack (rand (4, 4, 3), sigmas, 4)
%!error id=ZELgetResponseStack:emptyInput ZELgetResponseStack (zeros (0, 5), sigmas, 4)
%!error id=ZELgetResponseStack:invalidScale ZELgetResponseStack (I, [1, NaN], 4)
%!error id=ZELgetResponseStack:invalidScale ZELgetResponseStack (I, 0.05, 4)
%!error id=ZELgetResponseStack:scalesNotAscending ZELgetResponseStack (I, [2, 1], 4)
%!error id=ZELgetResponseStack:invalidOrientationCount ZELgetResponseStack (I, sigmas, 0)
%!error id=ZELgetResponseStack:invalidOrientationCount ZELgetResponseStack (I, sigmas, 65535)
%!error id=ZELgetResponseStack:invalidOrders ZELgetResponseStack (I, sigmas, 4, [2, 2])
%!error id=ZELgetResponseStack:invalidPrecision ZELgetResponseStack (I, sigmas, 4, 2, "half")
%!error id=ZELgetResponseStack:tooManyOutputs [A, B] = ZELgetResponseStack (I, sigmas, 4, 1)
%!error id=ZELgetResponseStack:tooLarge ZELgetResponseStack (zeros (64, 64, "uint8"), 1:9, 65534)

## As a caller would handle it: the identifier names the function and the
## cause, the message the input.
%!test
%! try
%!   ZELgetResponseStack (I, [1, 3, 2], 4);
%!   error ("the call did not fail");
%! catch err
%!   assert (err.identifier, "ZELgetResponseStack:scalesNotAscending");
%!   assert (strncmp (err.message, "ZELgetResponseStack: input 2 (scales)", 37), err.message);
%! end_try_catch

## help ZELgetResponseStack shows the help file; calls go to the MEX file.
%!test assert_help_and_mex ("ZELgetResponseStack", "Oriented filter bank: Gaussian-derivative responses of an image.")
