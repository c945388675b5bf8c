## assert_single_and_double_maps (fn, nout, args, reals, maps)
## Makes the inputs of ARGS at positions REALS exact in single precision and
## calls FN with them, then with those inputs as single (each alone, then all
## together) and the index maps at positions MAPS as doubles; fails unless
## every call gives the bits of the first, for all NOUT outputs.
function assert_single_and_double_maps (fn, nout, args, reals, maps)
  for k = reals
    args{k} = double (single (args{k}));
  endfor
  expected = cell (1, nout);
  [expected{:}] = fn (args{:});
  variants = [num2cell(reals), {reals}];
  for v = 1:numel (variants)
    changed = args;
    for k = variants{v}
      changed{k} = single (changed{k});
    endfor
    for k = maps
      changed{k} = double (changed{k});
    endfor
    got = cell (1, nout);
    [got{:}] = fn (changed{:});
    for m = 1:nout
      assert_same_bits (got{m}, expected{m});
    endfor
  endfor
endfunction
