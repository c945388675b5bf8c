## zel_run_tests (name, test_file)
## Runs the %! blocks of TEST_FILE for the MEX function NAME and exits
## Octave with 0 when all pass and 1 when one fails or NAME.mex is not on
## the path.
function zel_run_tests (name, test_file)
  if (exist (name) != 3)
    printf ("FAILED %s: %s.mex is not on the path\n", name, name);
    exit (1);
  endif
  printf ("%s from %s\n", name, which (name));
  [passed, total] = test (test_file, "normal", stdout);
  printf ("%s: %d of %d tests passed\n", name, passed, total);
  exit (double (total == 0 || passed < total));
endfunction
