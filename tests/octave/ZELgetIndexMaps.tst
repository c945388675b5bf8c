## ZELgetIndexMaps called from Octave the way a user calls it.

## The M code of the help, verbatim.
%!function [o, s] = recipe (R)
%!  [best, at] = max(abs(R), [], 3);     % per scale, the first strongest orientation
%!  [~, s] = max(best, [], 4);           % the first scale where that is strongest
%!  [rows, cols] = size(s);
%!  o = at(reshape(1:rows*cols, rows, cols) + rows*cols*(s - 1));
%!  o = uint16(o);  s = uint16(s);
%!endfunction

## A stack whose magnitudes tie often: values from a few levels of both
## signs (and both zeros), NaNs, infinities, and pixels whose responses are
## all NaN (the last pixel of the first column).
%!function R = tying (dims)
%!  levels = [0, -0, 0.5, -0.5, 1, -1, 2, -2, NaN, -NaN, Inf];
%!  R = levels(randi (numel (levels), dims));
%!  R(end, 1, :, :) = NaN;
%!endfunction

## Against the help's M code, exactly, for double and single stacks of
## several shapes: more pixels than a run of 512 with a partial last one, 3-D
## (one scale), one orientation, one pixel.
%!test
%! rand ("seed", 5);  randn ("seed", 5);
%! for dims = {[6, 5, 4, 3], [7, 3, 5], [601, 1, 2, 2], [9, 4, 1, 3], [1, 1, 8, 2], [24, 30, 8, 4]}
%!   R = tying (dims{1});
%!   for stack = {R, single(R), randn(dims{1})}
%!     [o, s] = ZELgetIndexMaps (stack{1});
%!     [eo, es] = recipe (stack{1});
%!     assert (isequal (o, eo) && isequal (s, es), "%s stack of %s", class (stack{1}), mat2str (dims{1}));
%!   endfor
%! endfor

## One pixel, three orientations, two scales (columns: scales), worked by
## hand: a tie keeps the first, a sign does not count, NaN never wins, an
## infinity does.
%!test
%! cases = {[1, -1, 0; 0, 0, 0],          1, 1;
%!          [NaN, 2, -2; 0, 1, 1],         2, 1;
%!          [1, 2, 1; -3, 0, 3],           1, 2;
%!          [NaN, NaN, NaN; NaN, 5, NaN],  2, 2;
%!          [NaN, NaN, NaN; NaN, NaN, NaN], 1, 1;
%!          [-0, 0, -0; 0, -0, 0],         1, 1;
%!          [7, -Inf, 1e300; 0, 0, 0],     2, 1};
%! for k = 1:rows (cases)
%!   R = reshape (cases{k, 1}', 1, 1, 3, 2);
%!   [o, s] = ZELgetIndexMaps (R);
%!   assert (isequal ([o, s], uint16 ([cases{k, 2}, cases{k, 3}])), "case %d", k);
%!   [o, s] = ZELgetIndexMaps (single (R));
%!   assert (isequal ([o, s], uint16 ([cases{k, 2}, cases{k, 3}])), "case %d in single", k);
%! endfor

## The maps are uint16 rows x cols; the scale map is made only when asked
## for; an empty image gives empty maps.
%!test
%! R = randn (5, 7, 3, 2);
%! [o, s] = ZELgetIndexMaps (R);
%! assert (class (o), "uint16");  assert (class (s), "uint16");
%! assert (size (o), [5, 7]);  assert (size (s), [5, 7]);
%! assert (isequal (ZELgetIndexMaps (R), o));
%! [o, s] = ZELgetIndexMaps (zeros (0, 4, 2, 3));
%! assert (size (o), [0, 4]);  assert (size (s), [0, 4]);

## 65534 orientations, the most a size may be: the largest is found at the end.
%!test
%! R = zeros (1, 2, 65534);
%! R(1, 1, 65534) = -1;  R(1, 2, 40000) = 1;
%! assert (ZELgetIndexMaps (R), uint16 ([65534, 40000]));

%!error <One input arguments required\.> ZELgetIndexMaps ()
%!error <One input arguments required\.> ZELgetIndexMaps (ones (2, 2, 2), 1)
%!error id=ZELgetIndexMaps:invalidClass ZELgetIndexMaps (uint16 (ones (2, 2, 2)))
%!error id=ZELgetIndexMaps:invalidClass ZELgetIndexMaps (true (2, 2, 2))
%!error id=ZELgetIndexMaps:invalidClass ZELgetIndexMaps (ones (2, 2, 2) + 1i)
%!error id=ZELgetIndexMaps:tooFewElements ZELgetIndexMaps (zeros (2, 3, 0, 2))
%!error id=ZELgetIndexMaps:tooManyOutputs [o, s, x] = ZELgetIndexMaps (ones (2, 2, 2))
%!warning id=ZELgetIndexMaps:suspiciousShape ZELgetIndexMaps (ones (2, 2, 2, 2, 2));

## help ZELgetIndexMaps shows the help file; calls go to the MEX file.
%!test assert_help_and_mex ("ZELgetIndexMaps", "Index maps: the orientation and scale of the peak of |R| at every pixel.")
