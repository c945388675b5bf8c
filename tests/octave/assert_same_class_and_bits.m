## assert_same_class_and_bits (actual, expected)
## Fails unless ACTUAL is of the class and size of EXPECTED (double or
## single) and holds the same bits in every element: NaN payloads and
## signed zeros included.
function assert_same_class_and_bits (actual, expected)
  assert (class (actual), class (expected));
  assert (size (actual), size (expected));
  type = bits_type (expected);
  a = typecast (actual(:), type);
  e = typecast (expected(:), type);
  differ = find (a != e);
  if (! isempty (differ))
    k = differ(1);
    error ("assert_same_class_and_bits: %d of %d %s elements differ; first at %d: %.9g (%s), expected %.9g (%s)",
           numel (differ), numel (a), class (expected), k, actual(k), num2hex (actual(k)),
           expected(k), num2hex (expected(k)));
  endif
endfunction

function type = bits_type (x)
  if (isa (x, "double"))
    type = "uint64";
  elseif (isa (x, "single"))
    type = "uint32";
  else
    error ("assert_same_class_and_bits: %s is not double or single", class (x));
  endif
endfunction
