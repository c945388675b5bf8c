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

## The curvature's scale depends on the direction of the curve. Digital
## circles of radius r (the midpoint circle, one pixel wide), each pixel
## holding the angle of the tangent there: K*r is about 1 where a pixel's
## two neighbours lie in its row or column, 2 pixels apart, and about
## sqrt(2) where both lie diagonally, 2*sqrt(2) apart (one of each: about
## 1.1). Measured over the radii 5 to 100, as the help gives them.
%!function O = circle (r)
%!  n = 2 * r + 5;  c = r + 3;  O = NaN (n);
%!  x = r;  y = 0;  e = 1 - r;
%!  while (x >= y)
%!    for p = [x, y; y, x; -y, x; -x, y; -x, -y; -y, -x; y, -x; x, -y]'
%!      O(c - p(2), c + p(1)) = mod (atan2d (p(2), p(1)) + 90, 180);
%!    endfor
%!    y += 1;
%!    if (e < 0)
%!      e += 2 * y + 1;
%!    else
%!      x -= 1;
%!      e += 2 * (y - x) + 1;
%!    endif
%!  endwhile
%!endfunction

%!test
%! straight = diagonal = mixed = average = [];
%! for r = 5:100
%!   O = circle (r);
%!   K = ZELgetCurvatureMap (O);
%!   on = isfinite (K);
%!   assert (nnz (on) >= 0.85 * nnz (! isnan (O)), "r = %d: too few pixels with two neighbours", r);
%!   in_line = conv2 (double (! isnan (O)), [0, 1, 0; 1, 0, 1; 0, 1, 0], "same");
%!   straight = [straight; K(on & in_line == 2) * r];
%!   diagonal = [diagonal; K(on & in_line == 0) * r];
%!   mixed = [mixed; K(on & in_line == 1) * r];
%!   average(end + 1) = mean (K(on)) * r;
%! endfor
%! assert (mean (straight), 0.98, 0.01);
%! assert (mean (diagonal), 1.40, 0.01);
%! assert (mean (mixed), 1.10, 0.01);
%! assert ([min(diagonal), max(diagonal)], [1.35, 1.47], 0.01);
%! assert ([min(average), max(average)], [1.08, 1.18], 0.01);

## The help gives the unit and the direction dependence in its first
## paragraph.
%!test
%! paragraphs = regexp (help ("ZELgetCurvatureMap"), '\n\s*\n', "split");
%! first = regexprep (paragraphs{2}, '\s+', " ");  # after the H1 and calling lines
%! for part = {"K has no unit", "about 1/r where the curve runs along the rows or columns", "up to about 1.4/r where it runs diagonally"}
%!   assert (! isempty (strfind (first, part{1})), "the first paragraph does not say: %s", part{1});
%! endfor

## Likely mistakes warn, the map computed all the same: angles inside the
## border but no pixel on a one-pixel-wide curve (a map not thinned, NaN
## everywhere), and curve points whose angles look like radians.
%!test
%! [~, id] = lastwarn ("", "");
%! evalc ("K = ZELgetCurvatureMap (90 * ones (16));");
%! [~, id] = lastwarn ();
%! assert (id, "ZELgetCurvatureMap:noCurvePoints");
%! assert (all (isnan (K(:))));
%!warning <input 1 \(orientation map\) holds an angle at 196 pixels inside its border, but none of them has exactly two neighbours with an angle> ZELgetCurvatureMap (90 * ones (16));
%!test
%! O = circle (20);
%! lastwarn ("", "");
%! evalc ("K = ZELgetCurvatureMap (deg2rad (O));");
%! [~, id] = lastwarn ();
%! assert (id, "ZELgetCurvatureMap:looksLikeRadians");
%! assert_same_bits (K, ZELgetCurvatureMap (deg2rad (O)));
%! lastwarn ("", "");
%! ZELgetCurvatureMap (O);
%! ZELgetCurvatureMap (NaN (16));
%! [~, id] = lastwarn ();
%! assert (id, "");
%!warning id=ZELgetCurvatureMap:looksLikeRadians ZELgetCurvatureMap (deg2rad (circle (20)));

## help ZELgetCurvatureMap shows the help file; calls go to the MEX file.
%!test assert_help_and_mex ("ZELgetCurvatureMap", "Curvature map: the change of orientation along one-pixel-wide curves.")
