## assert_same_bits (actual, expected)
## Fails unless ACTUAL is a double array of the size of EXPECTED holding the
## same bits in every element: NaN payloads and signed zeros included.
function assert_same_bits (actual, expected)
  assert (class (actual), "double");
  assert (size (actual), size (expected));
  a = typecast (actual(:), "uint64");
  e = typecast (double (expected(:)), "uint64");
  differ = find (a != e);
  if (! isempty (differ))
    k = differ(1);
    error ("assert_same_bits: %d of %d elements differ; first at %d: %.17g (%s), expected %.17g (%s)",
           numel (differ), numel (a), k, actual(k), num2hex (actual(k)), expected(k), num2hex (expected(k)));
  endif
endfunction
