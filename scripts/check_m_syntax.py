#!/usr/bin/env python3
"""Finds, in M files, the constructs that GNU Octave runs and MATLAB does not.

    check_m_syntax.py [--root DIR] [FILE ...]

With no FILE it checks what this project ships or tells a user to run:
every .m file under matlab/ and demo/ of the repository (DIR, default the
folder above this script), every .m file that README.md names, and the
README's code blocks marked matlab or octave. It prints one line per finding,
FILE:LINE: what was found, and what to write instead, and exits with 1 when
it found anything, 0 when not, 2 when a file cannot be read.

The check reads tokens, not a parse tree: it knows comments (% and %{ %}
blocks, and the text after ...), single-quoted strings and the transpose
quote, double-quoted strings, brackets and keywords. What it finds:

  - comments and blocks that start with # (#, ##, #{ #});
  - Octave's block ends (endif, endfor, endwhile, endfunction, endswitch,
    end_try_catch, end_unwind_protect, endparfor) and unwind_protect,
    do ... until;
  - ! and != for not; += -= *= /= ^= and ++ --; ** for the power;
  - Octave-only functions called: printf, puts, fputs, fdisp, rows,
    columns, nthargout, ifelse, merge, print_usage; and functions of
    MATLAB's string class that Octave 7 lacks (contains, startsWith, ...);
  - double-quoted strings (MATLAB makes string objects of them, which
    behave otherwise than Octave's char arrays);
  - indexing the result of a call or of a bracket: f(x)(k), f(x){k}, [a b](k);
  - default values in a function's parameter list;
  - a backslash continuing a line, hexadecimal literals (0x1F);
  - blocks that do not balance: as many ends as if, for, parfor, while,
    switch and try, plus either none or all of the functions.

What it cannot see: which functions exist on each host beyond the lists
above, what a name means (a variable called rows and indexed is reported;
a function of the same name as an Octave-only one in a branch that only
Octave takes is reported as well), anything that needs a parse tree or
running the code (MATLAB rejects f(x).field when f is a function; the
semantics of an expression; numeric differences between the hosts).
"""

import os
import re
import sys

OCTAVE_BLOCK_ENDS = {
    "endif", "endfor", "endwhile", "endfunction", "endswitch", "end_try_catch",
    "end_unwind_protect", "endparfor",
}
OCTAVE_KEYWORDS = {"unwind_protect", "unwind_protect_cleanup"}
OPENERS = {"if", "for", "parfor", "while", "switch", "try", "spmd"}
KEYWORDS = OPENERS | OCTAVE_BLOCK_ENDS | OCTAVE_KEYWORDS | {
    "end", "elseif", "else", "case", "otherwise", "catch", "function", "return", "break", "continue",
    "global", "persistent", "do", "until",
}
OCTAVE_FUNCTIONS = {
    "printf": "fprintf", "puts": "fprintf", "fputs": "fprintf", "fdisp": "fprintf or disp",
    "rows": "size(x, 1)", "columns": "size(x, 2)", "nthargout": "[~, b] = f(...)",
    "ifelse": "an if statement", "merge": "an if statement", "print_usage": "error(...)",
}
MATLAB_STRING_FUNCTIONS = {
    "contains", "startsWith", "endsWith", "strlength", "string", "strings", "erase",
    "extractBefore", "extractAfter", "extractBetween", "isStringScalar",
    "convertStringsToChars", "convertCharsToStrings",
}
IDENTIFIER = re.compile(r"[A-Za-z_][A-Za-z0-9_]*")
NUMBER = re.compile(r"(0[xX][0-9A-Fa-f]+)|((\d+\.?\d*|\.\d+)([eEdD][+-]?\d+)?[ij]?)")
VALUE_TOKENS = {"identifier", "number", "close", "transpose", "string"}


class Checker:
    def __init__(self, name):
        self.name = name
        self.findings = []

    def report(self, line, what):
        self.findings.append((line, what))

    def check(self, text, first_line=1):
        brackets = []          # open brackets: '(', '[' or '{'
        previous = None        # kind of the last token on the statement
        block_comment = 0      # depth of %{ ... %} blocks
        openers = 0
        functions = 0
        ends = 0
        in_function_line = False
        parameters_depth = None
        for offset, line in enumerate(text.split("\n")):
            number = first_line + offset
            stripped = line.strip()
            if stripped == "%{" and not brackets:
                block_comment += 1
                continue
            if block_comment:
                if stripped == "%}":
                    block_comment -= 1
                continue
            if stripped in ("#{", "#}"):
                self.report(number, "#{ #} block comment: use %{ %}")
                continue
            continued = False
            command_word = False
            space_before = True
            statement_start = not brackets and previous in (None, "separator")
            i = 0
            n = len(line)
            while i < n:
                ch = line[i]
                if ch in " \t":
                    space_before = True
                    i += 1
                    continue
                if ch == "%":
                    break
                if ch == "#":
                    self.report(number, "# comment: use %")
                    break
                if line.startswith("...", i):
                    continued = True
                    break
                if ch == "'":
                    # A quote after a value is the transpose, except after a
                    # space inside [ ] or { } (a new element) and after the
                    # first word of a statement in command syntax (disp 'x').
                    transpose = previous in VALUE_TOKENS and not (
                        space_before and ((brackets and brackets[-1] in "[{") or command_word))
                    if transpose:
                        previous = "transpose"
                        i += 1
                        space_before = False
                        continue
                    end = self.string_end(line, i, "'")
                    if end is None:
                        self.report(number, "unterminated string")
                        break
                    previous = "string"
                    i = end
                    space_before = False
                    statement_start = False
                    continue
                if ch == '"':
                    self.report(number, "double-quoted string: use single quotes ('...', '' for a quote)")
                    end = self.string_end(line, i, '"')
                    if end is None:
                        break
                    previous = "string"
                    i = end
                    space_before = False
                    statement_start = False
                    continue
                command_word = False
                match = IDENTIFIER.match(line, i)
                if match:
                    word = match.group(0)
                    after = line[match.end():]
                    field = i > 0 and line[i - 1] == "."
                    command_word = statement_start and not field
                    if not field:
                        if word in OCTAVE_BLOCK_ENDS:
                            self.report(number, "%s: use end" % word)
                            ends += 1
                        elif word in OCTAVE_KEYWORDS:
                            self.report(number, "%s: use try ... catch" % word)
                        elif word in ("do", "until") and statement_start and not after.lstrip().startswith("="):
                            self.report(number, "do ... until: use while")
                        elif word == "end" and not brackets:
                            ends += 1
                        elif word in OPENERS and not brackets and not after.lstrip().startswith("="):
                            openers += 1
                        elif word == "function" and not brackets:
                            functions += 1
                            in_function_line = True
                        elif (word in OCTAVE_FUNCTIONS or word in MATLAB_STRING_FUNCTIONS) and (
                                after.lstrip().startswith("(")
                                or (statement_start and after[:1] in (" ", "\t", "")
                                    and not after.lstrip().startswith("="))):
                            if word in OCTAVE_FUNCTIONS:
                                self.report(number, "%s is Octave's only: use %s" % (word, OCTAVE_FUNCTIONS[word]))
                            else:
                                self.report(number, "%s is MATLAB's only (string class): Octave 7 lacks it" % word)
                    keyword = word in KEYWORDS and not field and not (word == "end" and brackets)
                    previous = "keyword" if keyword else "identifier"
                    i = match.end()
                    space_before = False
                    statement_start = False
                    continue
                match = NUMBER.match(line, i)
                if match and (ch.isdigit() or (ch == "." and i + 1 < n and line[i + 1].isdigit())):
                    if match.group(1):
                        self.report(number, "hexadecimal literal %s: MATLAB R2017b reads no 0x numbers" % match.group(1))
                    previous = "number"
                    i = match.end()
                    space_before = False
                    statement_start = False
                    continue
                two = line[i:i + 2]
                if two == ".'":
                    previous = "transpose"
                    i += 2
                    space_before = False
                    continue
                if two == "!=":
                    self.report(number, "!= : use ~=")
                    previous = "operator"
                    i += 2
                    space_before = False
                    continue
                if ch == "!":
                    self.report(number, "! : use ~")
                    previous = "operator"
                    i += 1
                    space_before = False
                    continue
                if two in ("+=", "-=", "*=", "/=", "^=", "|=", "&="):
                    self.report(number, "%s: write x = x %s ..." % (two, two[0]))
                    previous = "operator"
                    i += 2
                    space_before = False
                    continue
                if two in ("++", "--"):
                    self.report(number, "%s: write x = x %s 1" % (two, two[0]))
                    previous = "operator"
                    i += 2
                    space_before = False
                    continue
                if two == "**":
                    self.report(number, "** : use ^")
                    previous = "operator"
                    i += 2
                    space_before = False
                    continue
                if ch in "([{":
                    if ch in "({" and previous == "close" and self.last_close in ")]" and (
                            not space_before or not brackets or brackets[-1] == "("):
                        self.report(number, "%s%s: index a variable, not the result of a call or bracket"
                                    % (self.last_close, ch))
                    # The parameters of an anonymous function, @(x), and a
                    # dynamic field name, s.(name), are no call: what follows
                    # their closing parenthesis may index.
                    before = line[:i].rstrip()[-1:]
                    if ch == "(" and before in ("@", ".") and previous != "number":
                        ch = "p"
                    brackets.append(ch)
                    if in_function_line and ch == "(" and parameters_depth is None:
                        parameters_depth = len(brackets)
                    previous = "open"
                    i += 1
                    space_before = False
                    statement_start = False
                    continue
                if ch in ")]}":
                    if brackets and brackets.pop() == "p":
                        ch = "p"
                    if parameters_depth is not None and len(brackets) < parameters_depth:
                        parameters_depth = None
                        in_function_line = False
                    self.last_close = ch
                    previous = "close"
                    i += 1
                    space_before = False
                    continue
                if ch == "=" and parameters_depth is not None and len(brackets) == parameters_depth \
                        and line[i + 1:i + 2] != "=" and line[i - 1:i] not in ("=", "~", "<", ">"):
                    self.report(number, "default value in a parameter list: test nargin instead")
                if ch in ",;" and not brackets:
                    previous = "separator"
                    statement_start = True
                    in_function_line = False
                    i += 1
                    space_before = True
                    continue
                if ch == "\\" and line[i + 1:].strip() == "" and not brackets:
                    self.report(number, "\\ continuing a line: use ...")
                previous = "operator"
                i += 1
                space_before = False
            if not continued and not brackets:
                previous = None
                in_function_line = False
                parameters_depth = None
        if block_comment:
            self.report(first_line, "%{ block comment not closed")
        if ends not in (openers, openers + functions):
            self.report(first_line, "blocks do not balance: %d end for %d if/for/while/switch/try and %d function"
                        " (every block needs its end, and either every function or none)"
                        % (ends, openers, functions))

    last_close = ")"

    @staticmethod
    def string_end(line, start, quote):
        """Index just past the string that opens at START, or None."""
        i = start + 1
        while i < len(line):
            if line[i] == quote:
                if line[i + 1:i + 2] == quote:
                    i += 2
                    continue
                return i + 1
            if quote == '"' and line[i] == "\\":
                i += 2
                continue
            i += 1
        return None


def readme_targets(root):
    """The .m files README.md names that exist, and its matlab and octave code blocks."""
    readme = os.path.join(root, "README.md")
    if not os.path.exists(readme):
        return [], []
    with open(readme, encoding="utf-8") as f:
        text = f.read()
    files = set()
    for name in re.findall(r"[A-Za-z0-9_./-]+\.m\b", text):
        for candidate in (os.path.join(root, name), os.path.join(root, "matlab", name)):
            if os.path.isfile(candidate):
                files.add(os.path.normpath(candidate))
    blocks = []
    for match in re.finditer(r"```(matlab|octave)\n(.*?)```", text, re.S):
        line = text.count("\n", 0, match.start(2)) + 1
        blocks.append((line, match.group(2)))
    return sorted(files), blocks


def main(argv):
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    files = []
    args = argv[1:]
    while args:
        if args[0] == "--root" and len(args) > 1:
            root = args[1]
            args = args[2:]
        elif args[0].startswith("-"):
            print(__doc__.split("\n\n")[1], file=sys.stderr)
            return 2
        else:
            files.append(args[0])
            args = args[1:]
    blocks = []
    if not files:
        for folder in ("matlab", "demo"):
            path = os.path.join(root, folder)
            if os.path.isdir(path):
                files += [os.path.join(path, f) for f in sorted(os.listdir(path)) if f.endswith(".m")]
        named, blocks = readme_targets(root)
        files = sorted(set(os.path.normpath(f) for f in files) | set(named))
    found = 0
    for path in files:
        try:
            with open(path, encoding="utf-8") as f:
                text = f.read()
        except OSError as error:
            print("%s: cannot be read: %s" % (path, error))
            return 2
        checker = Checker(path)
        checker.check(text)
        for line, what in checker.findings:
            print("%s:%d: %s" % (path, line, what))
        found += len(checker.findings)
    readme = os.path.join(root, "README.md")
    for line, code in blocks:
        checker = Checker(readme)
        checker.check(code, line)
        for at, what in checker.findings:
            print("%s:%d: %s" % (readme, at, what))
        found += len(checker.findings)
    checked = len(files) + len(blocks)
    if found:
        print("%d construct%s MATLAB does not run, in %d file%s and README blocks checked"
              % (found, "" if found == 1 else "s", checked, "" if checked == 1 else "s"))
        return 1
    print("%d M files and README blocks checked: the syntax both hosts run" % checked)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
