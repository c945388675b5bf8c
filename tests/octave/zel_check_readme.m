## zel_check_readme (readme)
## Runs the Octave snippets of README in order, in one session, as a user
## pastes them in the repository's folder, and fails unless each runs and
## prints what its "% prints ..." comments say. Blocks that quote a function
## file are not snippets and are left to the tests of that file.
function zel_check_readme (readme)
  text = fileread (readme);
  blocks = regexp (text, '```octave\n(.*?)```', "tokens");
  ran = 0;
  for k = 1:numel (blocks)
    code = blocks{k}{1};
    if (! isempty (regexp (code, '^function ', "lineanchors", "once")))
      continue;
    endif
    printf ("--- snippet %d ---\n%s", k, code);
    output = evalc (code);
    printf ("%s", output);
    said = regexp (code, '% prints ([^\n]*)', "tokens");
    for j = 1:numel (said)
      expected = strtrim (said{j}{1});
      assert (! isempty (strfind (squeeze_spaces (output), squeeze_spaces (expected))),
              "snippet %d does not print \"%s\"", k, expected);
    endfor
    ran += 1;
  endfor
  printf ("%d snippets ran\n", ran);
endfunction

function text = squeeze_spaces (text)
  text = strtrim (regexprep (text, '\s+', " "));
endfunction
