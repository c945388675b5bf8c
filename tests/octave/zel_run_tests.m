## zel_run_tests (name, test_file)
## Runs the %! blocks of TEST_FILE for the MEX function NAME and exits
## Octave with 0 when all pass, 1 when one fails, and 77 (which ctest reports
## as skipped) when NAME.mex is not on the path because its kernel is not
## built yet.
function zel_run_tests (name, test_file)
  if (exist (name) != 3)
    printf ("SKIPPED %s: %s.mex is not built (no kernel source yet)\n", name, name);
    exit (77);
  endif
  printf ("%s from %s\n", name, which (name));
  [passed, total] = test (test_file, "normal", stdout);
  printf ("%s: %d of %d tests passed\n", name, passed, total);
  exit (double (total == 0 || passed < total));
endfunction
