## zel_check_cross_host (cases_file)
## Reads the cases that cross_host_writer ran through the .mexa64 files in
## the stand-in host, makes the same calls to the .mex files in Octave and
## compares: the same error identifier, or outputs of the same class and
## size with the same bits (compared as unsigned integers of the class's
## width). Exits Octave with 0 when every case agrees and 1 otherwise, a
## function without cases included.
function zel_check_cross_host (cases_file)
  ## The kernels of the kernel list, kernels/kernels.txt.
  here = fileparts (mfilename ("fullpath"));
  list = fileread (fullfile (here, "..", "..", "kernels", "kernels.txt"));
  kernels = regexp (list, '^[A-Za-z]\w*', "match", "lineanchors");
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
    [count, finite, payloads, largest] = tally ([mine.outputs]);
    printf ("%s: %d of %d cases agree bit for bit (%d rejected alike; %d output values, %d finite, %d NaNs with a payload; largest output %d values)\n",
            name, numel (mine) - wrong, numel (mine), sum (! cellfun (@isempty, {mine.error_id})),
            count, finite, payloads, largest);
    failures += wrong;
  endfor
  exit (double (failures > 0));
endfunction

## Counts over the outputs: values, finite ones, NaNs whose payload is not
## the default one's (they show that the operands' NaNs come through in the
## written order), and the size of the largest output.
function [count, finite, payloads, largest] = tally (outputs)
  count = finite = payloads = largest = 0;
  for k = 1:numel (outputs)
    out = outputs{k}(:);
    count += numel (out);
    largest = max (largest, numel (out));
    finite += sum (isfinite (out));
    if (isfloat (out))
      [~, type, mantissa] = bit_type (out);
      payloads += sum (bitand (typecast (out(isnan (out)), type), mantissa) != 0);
    endif
  endfor
endfunction

## The unsigned type of X's width, its name, and the payload bits of a quiet
## NaN of X's class (the mantissa less its top bit).
function [width, type, mantissa] = bit_type (x)
  switch (class (x))
    case "double"
      width = 64; type = "uint64"; mantissa = uint64 (2^51 - 1);
    case "single"
      width = 32; type = "uint32"; mantissa = uint32 (2^22 - 1);
    otherwise
      width = 16; type = "uint16"; mantissa = uint16 (0);
  endswitch
endfunction

function problem = compare_case (c)
  problem = "";
  outputs = cell (1, c.nlhs);
  try
    if (c.nlhs == 0)
      ## No output asked for: what the call gives goes to ans.
      feval (c.kernel, c.inputs{:});
      if (exist ("ans", "var"))
        outputs = {ans};
      endif
    else
      [outputs{:}] = feval (c.kernel, c.inputs{:});
    endif
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
  if (numel (outputs) < numel (c.outputs))
    problem = sprintf ("%d outputs, expected %d", numel (outputs), numel (c.outputs));
    return;
  endif
  outputs = outputs(1:numel (c.outputs));
  for k = 1:numel (c.outputs)
    got = outputs{k};
    expected = c.outputs{k};
    if (! strcmp (class (got), class (expected)) || ! isequal (size (got), size (expected)))
      problem = sprintf ("output %d is %s of %s, expected %s of %s", k, class (got), mat2str (size (got)),
                         class (expected), mat2str (size (expected)));
      return;
    endif
    [~, type] = bit_type (expected);
    differ = find (typecast (got(:), type) != typecast (expected(:), type));
    if (! isempty (differ))
      e = differ(1);
      problem = sprintf ("output %d: %d of %d elements differ, first at %d: %s, expected %s", k,
                         numel (differ), numel (got), e, hex_bits (got(e)), hex_bits (expected(e)));
      return;
    endif
  endfor
endfunction

function text = hex_bits (x)
  if (isfloat (x))
    text = num2hex (x);
  else
    text = sprintf ("%d", x);
  endif
endfunction

function cases = read_cases (file)
  [fid, msg] = fopen (file, "r", "ieee-le");
  if (fid < 0)
    error ("zel_check_cross_host: cannot open %s: %s", file, msg);
  endif
  magic = char (fread (fid, 8, "uchar=>uchar")');
  version = u64 (fid);
  if (! strcmp (magic, "ZELCASES") || version != 3)
    error ("zel_check_cross_host: %s is not a version 3 case file", file);
  endif
  count = u64 (fid);
  cases = struct ("kernel", cell (1, count), "nlhs", [], "inputs", [], "error_id", [], "outputs", []);
  for c = 1:count
    cases(c).kernel = text (fid);
    cases(c).nlhs = u64 (fid);
    inputs = cell (1, u64 (fid));
    for k = 1:numel (inputs)
      inputs{k} = array (fid);
    endfor
    cases(c).inputs = inputs;
    cases(c).error_id = text (fid);
    outputs = cell (1, u64 (fid));
    for k = 1:numel (outputs)
      outputs{k} = array (fid);
    endfor
    cases(c).outputs = outputs;
  endfor
  fclose (fid);
endfunction

## An array as case_file.h lays it out: class code, sizes, elements in the
## class's own width.
function values = array (fid)
  class_code = u64 (fid);
  dims = sizes (fid);
  n = prod (dims);
  switch (class_code)
    case 0
      values = typecast (fread (fid, n, "uint64=>uint64"), "double");
    case 1
      values = fread (fid, n, "uint16=>uint16");
    case 2
      values = typecast (fread (fid, n, "uint32=>uint32"), "single");
    case 3
      values = fread (fid, n, "uint8=>uint8");
    case 4
      values = logical (fread (fid, n, "uint8=>uint8"));
    case 5
      values = char (fread (fid, n, "uint16=>uint16"));
    otherwise
      error ("zel_check_cross_host: an array of class code %d", class_code);
  endswitch
  values = reshape (values, dims);
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
