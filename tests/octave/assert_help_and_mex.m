## assert_help_and_mex (name, h1)
## Fails unless a call of NAME goes to its MEX file while help NAME shows the
## help file beside it, starting with the H1 line H1.
function assert_help_and_mex (name, h1)
  assert (exist (name), 3);
  mex_file = which (name);
  assert (mex_file(end-3:end), ".mex");
  text = help (name);
  assert (! isempty (strfind (text, [name "  " h1])), "help %s does not show its H1 line", name);
  assert (! isempty (strfind (text, "Errors (identifier: cause):")));
  ## The help file lies beside the MEX file.
  assert (exist ([mex_file(1:end-4) ".m"], "file"), 2);
endfunction
