## assert_help_and_mex (name, h1)
## Fails unless a call of NAME goes to its MEX file while help NAME shows the
## help file beside it, starting with the H1 line H1, and unless the example
## in the help runs.
function assert_help_and_mex (name, h1)
  assert (exist (name), 3);
  mex_file = which (name);
  assert (mex_file(end-3:end), ".mex");
  ## The help file lies beside the MEX file.
  assert (exist ([mex_file(1:end-4) ".m"], "file"), 2);
  text = help (name);
  assert (! isempty (strfind (text, [name "  " h1])), "help %s does not show its H1 line", name);
  assert (! isempty (strfind (text, "Errors (identifier: cause):")));
  run_example (text);
endfunction

## The lines under "Example:" up to the next blank line or "See also", run
## as a user would paste them.
function run_example (text)
  lines = strsplit (text, "\n");
  first = find (strcmp (strtrim (lines), "Example:"), 1);
  assert (! isempty (first), "the help has no example");
  ends = cellfun (@(line) isempty (strtrim (line)) || strncmp (strtrim (line), "See also", 8), lines);
  last = first + find (ends(first+1:end), 1) - 1;
  code = strjoin (strtrim (lines(first+1:last)), "\n");
  evalc (code);
endfunction
