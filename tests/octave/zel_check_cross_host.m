## zel_check_cross_host (cases_file)
## Reads the cases that cross_host_writer ran through the .mexa64 files in
## the stand-in host, makes the same calls to the .mex files in Octave and
## compares: the same error identifier, or outputs of the same size with the
## same bits (compared as uint64). Exits Octave with 0 when every case
## agrees and 1 otherwise, a function without cases included.
function zel_check_cross_host (cases_file)
  kernels = {"ZELgetBlobMap", "ZELgetRidgeMap", "ZELgetEdgeMap", ...
             "ZELgetHeightAndWidthMap", "ZELgetOrientationMap", "ZELgetCurvatureMap"};
  cases = read_cases (cases_file);
  failures = 0;
  for k = 1:numel (kernels)
    name = kernels{k};
    mine = cases(strcmp ({cases.kernel}, name));
    if (isempty (mine))
      printf ("FAILED %s: no cases were written (is its .mexa64 built?)\n", name);
      failures += 1;
      continue;
    endif
    if (exist (name) != 3)
      printf ("FAILED %s: cases were written but %s.mex is not on the path\n", name, name);
      failures += 1;
      continue;
    endif
    wrong = 0;
    for c = 1:numel (mine)
      problem = compare_case (mine(c));
      if (! isempty (problem))
        printf ("  %s case %d: %s\n", name, c, problem);
        wrong += 1;
      endif
    endfor
    values = cellfun (@(out) out(:), [mine.outputs], "uniformoutput", false);
    largest = max ([0, cellfun(@numel, values)]);
    values = vertcat (values{:}, zeros (0, 1));
    ## NaNs whose payload is not the default one's: they show that the
    ## operands' NaNs come through in the written order.
    payloads = sum (bitand (typecast (values(isnan (values)), "uint64"), uint64 (2^51 - 1)) != 0);
    printf ("%s: %d of %d cases agree bit for bit (%d rejected alike; %d output values, %d finite, %d NaNs with a payload; largest map %d values)\n",
            name, numel (mine) - wrong, numel (mine), sum (! cellfun (@isempty, {mine.error_id})),
            numel (values), sum (isfinite (values)), payloads, largest);
    failures += wrong;
  endfor
  exit (double (failures > 0));
endfunction

function problem = compare_case (c)
  problem = "";
  outputs = cell (1, c.nlhs);
  try
    [outputs{:}] = feval (c.kernel, c.inputs{:});
    id = "";
  catch err
    id = err.identifier;
    if (isempty (id))
      id = ["(no identifier) " err.message];
    endif
  end_try_catch
  if (! strcmp (id, c.error_id))
    problem = sprintf ("error identifier '%s', expected '%s'", id, c.error_id);
    return;
  endif
  if (! isempty (id))
    return;
  endif
  outputs = outputs(1:numel (c.outputs));
  for k = 1:numel (c.outputs)
    got = outputs{k};
    expected = c.outputs{k};
    if (! isa (got, "double") || ! isequal (size (got), size (expected)))
      problem = sprintf ("output %d is %s of %s, expected double of %s", k, class (got),
                         mat2str (size (got)), mat2str (size (expected)));
      return;
    endif
    differ = find (typecast (got(:), "uint64") != typecast (expected(:), "uint64"));
    if (! isempty (differ))
      e = differ(1);
      problem = sprintf ("output %d: %d of %d elements differ, first at %d: %s, expected %s", k,
                         numel (differ), numel (got), e, num2hex (got(e)), num2hex (expected(e)));
      return;
    endif
  endfor
endfunction

function cases = read_cases (file)
  [fid, msg] = fopen (file, "r", "ieee-le");
  if (fid < 0)
    error ("zel_check_cross_host: cannot open %s: %s", file, msg);
  endif
  magic = char (fread (fid, 8, "uchar=>uchar")');
  version = u64 (fid);
  if (! strcmp (magic, "ZELCASES") || version != 2)
    error ("zel_check_cross_host: %s is not a version 2 case file", file);
  endif
  count = u64 (fid);
  cases = struct ("kernel", cell (1, count), "nlhs", [], "inputs", [], "error_id", [], "outputs", []);
  for c = 1:count
    cases(c).kernel = text (fid);
    cases(c).nlhs = u64 (fid);
    inputs = cell (1, u64 (fid));
    for k = 1:numel (inputs)
      class_code = u64 (fid);
      dims = sizes (fid);
      switch (class_code)
        case 1
          values = fread (fid, prod (dims), "uint16=>uint16");
        case 2
          values = typecast (fread (fid, prod (dims), "uint32=>uint32"), "single");
        otherwise
          values = typecast (fread (fid, prod (dims), "uint64=>uint64"), "double");
      endswitch
      inputs{k} = reshape (values, dims);
    endfor
    cases(c).inputs = inputs;
    cases(c).error_id = text (fid);
    outputs = cell (1, u64 (fid));
    for k = 1:numel (outputs)
      dims = sizes (fid);
      outputs{k} = reshape (typecast (fread (fid, prod (dims), "uint64=>uint64"), "double"), dims);
    endfor
    cases(c).outputs = outputs;
  endfor
  fclose (fid);
endfunction

function value = u64 (fid)
  value = double (fread (fid, 1, "uint64=>uint64"));
endfunction

function s = text (fid)
  s = char (fread (fid, u64 (fid), "uchar=>uchar")');
  if (isempty (s))
    s = "";
  endif
endfunction

function dims = sizes (fid)
  dims = double (fread (fid, u64 (fid), "uint64=>uint64")');
endfunction
