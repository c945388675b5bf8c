#!/usr/bin/env python3
"""The syntax check, run as the test command runs it, on small M files: each
Octave-only construct is reported at its line, and what MATLAB and Octave
both run (transposes, quotes in strings, comments that hold Octave syntax,
indexing after a cell or a dynamic field) passes.

    check_m_syntax_test.py CHECKER
"""

import os
import subprocess
import sys
import tempfile

# name, source, the report expected (None: the file must pass).
CASES = [
    ("hash comments", "## a comment\nx = 1;\n", "1: # comment"),
    ("trailing hash comment", "x = 1;  # set x\n", "1: # comment"),
    ("hash block comment", "#{\nx\n#}\ny = 1;\n", "1: #{ #} block comment"),
    ("endif", "if x\n  y = 1;\nendif\n", "3: endif"),
    ("endfor", "for k = 1:3\n  y = k;\nendfor\n", "3: endfor"),
    ("endwhile", "while x\n  x = x - 1;\nendwhile\n", "3: endwhile"),
    ("endfunction", "function f()\n  x = 1;\nendfunction\n", "3: endfunction"),
    ("end_try_catch", "try\n  x = 1;\ncatch\n  x = 2;\nend_try_catch\n", "5: end_try_catch"),
    ("unwind_protect", "unwind_protect\n  x = 1;\nunwind_protect_cleanup\n  y = 1;\nend\n",
     "1: unwind_protect"),
    ("do until", "do\n  x = x + 1;\nuntil x > 3\n", "1: do ... until"),
    ("not", "y = !x;\n", "1: ! : use ~"),
    ("not equal", "if a != b\n  c = 1;\nend\n", "1: != : use ~="),
    ("plus assign", "x += 1;\n", "1: +=: write x = x +"),
    ("minus assign", "x -= 1;\n", "1: -=: write x = x -"),
    ("times assign", "x .*= 2;\n", "1: *=: write x = x *"),
    ("divide assign", "x /= 2;\n", "1: /=: write x = x /"),
    ("increment", "k++;\n", "1: ++: write x = x + 1"),
    ("power", "y = x ** 2;\n", "1: ** : use ^"),
    ("printf", "printf('%d\\n', 3);\n", "1: printf is Octave's only: use fprintf"),
    ("printf as a command", "printf hello\n", "1: printf is Octave's only"),
    ("puts", "puts('x');\n", "1: puts is Octave's only"),
    ("fputs", "fputs(stdout, 'x');\n", "1: fputs is Octave's only"),
    ("rows", "n = rows(x);\n", "1: rows is Octave's only: use size(x, 1)"),
    ("columns", "n = columns (x);\n", "1: columns is Octave's only: use size(x, 2)"),
    ("nthargout", "w = nthargout(2, @max, x);\n", "1: nthargout is Octave's only"),
    ("ifelse", "y = ifelse(c, 1, 2);\n", "1: ifelse is Octave's only"),
    ("string class", "if contains(name, 'x')\n  y = 1;\nend\n", "1: contains is MATLAB's only"),
    ("double quotes", "x = \"text\";\n", "1: double-quoted string"),
    ("double quotes with an escape", "x = \"a\\\"b\"; y = 'c';\n", "1: double-quoted string"),
    ("index a call", "y = size(x)(1);\n", "1: )(: index a variable"),
    ("index a call after a space", "y = f(x) (2);\n", "1: )(: index a variable"),
    ("brace after a call", "y = f(x){1};\n", "1: ){: index a variable"),
    ("index a bracket", "y = [1, 2, 3](2);\n", "1: ](: index a variable"),
    ("default parameter", "function y = f(x, n = 3)\n  y = x + n;\nend\n", "1: default value"),
    ("backslash continuation", "x = [1, 2] + \\\n    3;\n", "1: \\ continuing a line"),
    ("hexadecimal", "x = 0x1F;\n", "1: hexadecimal literal 0x1F"),
    ("missing end", "function f(x)\n  if x\n    y = 1;\nend\n\nfunction g()\nend\n", "1: blocks do not balance"),
    ("end on some functions only", "function f()\n  x = 1;\nend\n\nfunction g()\n  y = 2;\n", "1: blocks do not balance"),
    ("unclosed block comment", "%{\nx = 1;\n", "1: %{ block comment not closed"),
    ("the language both run", """function [a, b] = f(x, varargin)
%F  Help with Octave in it: ## endif x += 1 printf("%d") != rows(x)
%   and a quote: it's
%{
   ## endif !x printf("%d")
%}
%!test
%! assert (f (1) != 2)
a = x';                          % transpose
b = x.';
c = [x' x'];                     % transposes in a bracket
d = {'one' 'two', 'it''s # not a comment', '%'};
e = [x 'a'];                     % a string after a space in a bracket
if a ~= b && ~isempty(c)
    e = c{1}(2);                 % index into a cell's content
end
s.name = 1;
v = s.('name')(1);               % dynamic field, then index
g = @(r, c) {x(r, c), x(r, c)'}; % anonymous function returning a cell
h = @(k) (k + 1);
m = x(end)' + x(end - 1);
for k = 1:3, m = m + k; end
parfor (k = 1:3, 0)
    m(k) = k;
end
switch lower('A')
    case 'a'
        disp 'lower'
    otherwise
        fprintf('%d\\n', ...  ## the rest of a continued line is a comment
                3);
end
try
    error('f:x', 'x');
catch err
    disp(err.identifier);
end
warning off
rows_of = size(x, 1);
z = 1e-3 + .5 + 3.;
end

function y = helper(x)
y = x;
end
""", None),
]


def run(checker, source):
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "case.m")
        with open(path, "w", encoding="utf-8") as f:
            f.write(source)
        done = subprocess.run([sys.executable, checker, path], capture_output=True, text=True)
        return done.returncode, done.stdout.replace(path + ":", "")


def main(argv):
    checker = argv[1]
    failures = 0
    for name, source, expected in CASES:
        status, output = run(checker, source)
        if expected is None:
            ok = status == 0
        else:
            ok = status == 1 and any(line.startswith(expected) for line in output.splitlines())
        if not ok:
            failures += 1
            print("FAILED %s: status %d, expected %s\n%s" % (name, status, expected or "no report", output))
        else:
            print("ok %s" % name)
    print("%d of %d cases passed" % (len(CASES) - failures, len(CASES)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
