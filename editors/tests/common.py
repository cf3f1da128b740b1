# SPDX-License-Identifier: MIT
"""What both highlighters are held to: the samples, the compiler's own view of the mistakes,
and the expected colour of chosen words."""

import os
import re
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
SAMPLES = os.path.join(HERE, "samples")
FEATURES = os.path.join(SAMPLES, "features.nvx")
MISTAKES = os.path.join(SAMPLES, "mistakes.nvx")

# (a regex finding the line, the words on it, its TextMate scope, its Vim highlight group).
# The scope is a prefix of one of the token's scopes; the group is one of the highlight groups
# the syntax item links through. None: that highlighter gives the word no colour of its own.
EXPECTED = [
    (r"^# Every", "construct", "comment.line.number-sign", "Comment"),
    (r"^info", "info", "keyword.other.header", "Keyword"),
    (r"^info", "Строка", "string.quoted.double", "String"),
    (r"^info", r"\t", "constant.character.escape", "SpecialChar"),
    (r"^info", r"\n", "constant.character.escape", "SpecialChar"),
    (r"^info", r"\"", "constant.character.escape", "SpecialChar"),
    (r"^info", r"\\", "constant.character.escape", "SpecialChar"),
    (r"^info", r"\xAB", "constant.character.escape", "SpecialChar"),
    (r"^start", "start", "keyword.other.header", "Keyword"),
    (r"^start", "Двор", "variable.other.location", "Identifier"),
    (r"^global", "Везде", "variable.other.location", "Identifier"),
    (r"^arrival", "осмотреть", "variable.other.verb", "Identifier"),
    (r"^verb осмотреть", "verb", "keyword.other.verb", "Keyword"),
    (r"^verb осмотреть", "осмотреть", "entity.name.function.verb", "Function"),
    (r"^verb осмотреть", "3", "constant.numeric", "Number"),
    (r"^verb осмотреть", "=", "keyword.operator.assignment", "Operator"),
    (r"^verb осмотреть", '"о"', "string.quoted.double", "String"),
    (r"^verb войти", "-1", "constant.numeric", "Number"),
    (r"^flag", "flag", "keyword.other.flag", "Keyword"),
    (r"^flag", "ключ_взят", "variable.other.flag", "Identifier"),
    (r"^flag", "7", "constant.numeric", "Number"),
    (r"^flag", "дверь-открыта", "variable.other.flag", "Identifier"),
    (r"^location Двор", "location", "keyword.other.location", "Keyword"),
    (r"^location Двор", "Двор", "entity.name.section.location", "Function"),
    (r"^location Двор", "2", "constant.numeric", "Number"),
    (r"^location Двор", "a trailing comment", "comment.line.number-sign", "Comment"),
    (r"^    object ключ", "object", "keyword.other.object", "Keyword"),
    (r"^    object ключ", '"ржавый ключ"', "string.quoted.double", "String"),
    (r"on осмотреть, войти", "on", "keyword.other.on", "Keyword"),
    (r"on осмотреть, войти", "войти", "variable.other.verb", "Identifier"),
    (r"^ +pass", "pass", "keyword.other.statement", "Statement"),
    (r"text \"Вы во", "text", "keyword.other.statement", "Statement"),
    (r"^ +\"Вторая", '"Вторая строка."', "string.quoted.double", "String"),
    (r"jump Сад", "jump", "keyword.control", "Statement"),
    (r"jump Сад", "Сад", "variable.other.location", "Identifier"),
    (r"if not", "if", "keyword.control.conditional", "Conditional"),
    (r"if not", "not", "keyword.operator.logical", "Operator"),
    (r"if not", "ключ_взят", "variable.other.flag", "Identifier"),
    (r"set ключ_взят", "set", "keyword.other.statement", "Statement"),
    (r"set ключ_взят", "ключ_взят", "variable.other.flag", "Identifier"),
    (r"else if", "else", "keyword.control.conditional", "Conditional"),
    (r"else if", "if", "keyword.control.conditional", "Conditional"),
    (r"else if", "дверь-открыта", "variable.other.flag", "Identifier"),
    (r"clear дверь", "clear", "keyword.other.statement", "Statement"),
    (r"clear дверь", "дверь-открыта", "variable.other.flag", "Identifier"),
    (r"clear flags", "flags", "keyword.other.statement", "Statement"),
    (r"clear screen", "screen", "keyword.other.statement", "Statement"),
    (r"center on", "on", "keyword.other.statement", "Statement"),
    (r"center off", "center", "keyword.other.statement", "Statement"),
    (r"center off", "off", "keyword.other.statement", "Statement"),
]

# Where the demo shows the same things, so that its own text is checked too.
EXPECTED_IN_DEMO = [
    (r"^# «Последний", "Последний", "comment.line.number-sign", "Comment"),
    (r"^verb взять", "verb", "keyword.other.verb", "Keyword"),
    (r"^location Бухта", "10", "constant.numeric", "Number"),
    (r"^ +if not ", "if", "keyword.control.conditional", "Conditional"),
    (r"^ +set ", "set", "keyword.other.statement", "Statement"),
    (r"^ +center on", "on", "keyword.other.statement", "Statement"),
    (r"^ +text \"", "text", "keyword.other.statement", "Statement"),
]


def read_lines(path):
    with open(path, encoding="utf-8") as source:
        return source.read().split("\n")[:-1]


def places(lines, expectations):
    """Yields (line number, first column, last column, word, scope, group), counting from 1."""
    for pattern, word, scope, group in expectations:
        number = next((n for n, line in enumerate(lines, 1) if re.search(pattern, line)), None)
        if number is None:
            raise AssertionError(f"no line matches {pattern!r}")
        # Chosen words stand apart: not inside a longer word, unless they hold a space.
        line = lines[number - 1]
        found = re.search(r"(?<![\w-])" + re.escape(word) + r"(?![\w-])", line)
        if found is None and not word[0].isalnum():
            found = re.search(re.escape(word), line)
        if found is None:
            raise AssertionError(f"{word!r} is not on line {number}: {line!r}")
        yield number, found.start() + 1, found.end(), word, scope, group


def compiler_errors(compiler, path):
    """The (line, column) of every error narravox-ply reports for `path`, or None without it."""
    if not compiler:
        return None
    with tempfile.TemporaryDirectory() as output:
        run = subprocess.run([compiler, "build", path, "-o", output], capture_output=True,
                             text=True, encoding="utf-8", check=False)
    found = set()
    for line in run.stderr.splitlines():
        match = re.match(r".*:(\d+):(\d+): error: ", line)
        if match:
            found.add((int(match.group(1)), int(match.group(2))))
    if (run.returncode == 0) != (not found):
        raise AssertionError(f"narravox-ply exit status {run.returncode} with errors {found}")
    return found


def starts(flags):
    """The (line, column) where each run of flagged characters starts; flags[line][column]."""
    found = set()
    for number, line in enumerate(flags, 1):
        for column, flagged in enumerate(line, 1):
            if flagged and (column == 1 or not line[column - 2]):
                found.add((number, column))
    return found


class Failures:
    def __init__(self, name):
        self.name = name
        self.messages = []
        self.checks = 0

    def check(self, condition, message):
        self.checks += 1
        if not condition:
            self.messages.append(message)

    def finish(self):
        for message in self.messages:
            print(f"FAIL: {message}")
        print(f"{self.name}: {self.checks - len(self.messages)} of {self.checks} checks passed")
        sys.exit(1 if self.messages else 0)
