## zel_check_not_built (names)
## With only the help files on the path (the repository's matlab folder), each
## function of NAMES shows its help and a call fails with NAME:notBuilt and a
## message that says how to get the MEX file.
function zel_check_not_built (names)
  for k = 1:numel (names)
    name = names{k};
    assert (exist (name), 2);
    assert (! isempty (strfind (help (name), [name "  "])), "help %s shows no H1 line", name);
    try
      feval (name, 1);
      error ("%s did not fail", name);
    catch err
      assert (err.identifier, [name ":notBuilt"]);
      assert (! isempty (strfind (err.message, "pkg install")), err.message);
      assert (! isempty (strfind (err.message, "build_zel_mex")), err.message);
    end_try_catch
    printf ("%s: %s\n", name, err.message);
  endfor
endfunction
