# SPDX-License-Identifier: MIT
"""Tokenises narravox sources with the TextMate grammar.

Usage: textmate_test.py GRAMMAR DEMO [NARRAVOX-PLY]

The demo and the sample of every construct must have no token marked invalid and the chosen
words their scopes; in the sample of mistakes the invalid tokens must start exactly where
narravox-ply reports its errors (given the compiler; without it, at the known places).
"""

import json
import sys

import common
from tmgrammar import Grammar, oniguruma_refusals

# Where the mistakes sample's errors are, should no compiler be at hand.
KNOWN_MISTAKES = {(10, 31), (11, 31), (12, 33), (13, 9), (14, 18), (15, 36)}


def is_invalid(scopes):
    return any(scope.split(".")[0] == "invalid" for scope in scopes)


def char_scopes(grammar, lines):
    """The scopes of every character, per line."""
    result = []
    for tokens in grammar.tokenize(lines):
        result.append([scopes for text, scopes in tokens for _ in text])
    return result


def main():
    grammar_path, demo = sys.argv[1], sys.argv[2]
    compiler = sys.argv[3] if len(sys.argv) > 3 else None
    failures = common.Failures("editors.textmate")
    with open(grammar_path, encoding="utf-8") as source:
        data = json.load(source)
    grammar = Grammar(data)

    problems = grammar.problems()
    failures.check(not problems, "the grammar: " + "; ".join(problems))
    if problems:
        failures.finish()
    # Where Oniguruma is installed, it is asked too.
    refused = oniguruma_refusals(grammar.patterns())
    failures.check(not refused, f"Oniguruma refuses {refused}")
    failures.check(data["scopeName"] == "source.narravox", "scope name " + data["scopeName"])
    # Every scope belongs to the language and to a family that themes colour.
    families = {"comment", "constant", "entity", "invalid", "keyword", "meta", "punctuation",
                "storage", "string", "support", "variable"}
    for path, rule in grammar.rules():
        names = [rule.get("name"), rule.get("contentName")] + [
            capture["name"] for key in ("captures", "beginCaptures", "endCaptures")
            for capture in rule.get(key, {}).values()]
        for name in filter(None, names):
            failures.check(name.endswith(".narravox") and name.split(".")[0] in families,
                           f"{path}: scope {name}")

    for path, expectations in ((demo, common.EXPECTED_IN_DEMO),
                               (common.FEATURES, common.EXPECTED)):
        lines = common.read_lines(path)
        scopes = char_scopes(grammar, lines)
        bad = [(n, c) for n, line in enumerate(scopes, 1) for c, s in enumerate(line, 1)
               if is_invalid(s)]
        failures.check(not bad, f"{path}: invalid tokens at {bad[:10]}")
        if common.compiler_errors(compiler, path):
            failures.check(False, f"{path}: narravox-ply reports errors")
        for number, first, last, word, scope, _ in common.places(lines, expectations):
            for column in range(first, last + 1):
                have = scopes[number - 1][column - 1]
                if not any(s.startswith(scope + ".") or s == scope for s in have):
                    failures.check(False, f"{path}:{number}:{column}: {word!r} has {have}, "
                                          f"not {scope}")
                    break
            else:
                failures.check(True, "")

    lines = common.read_lines(common.MISTAKES)
    flagged = [[is_invalid(s) for s in line] for line in char_scopes(grammar, lines)]
    expected = common.compiler_errors(compiler, common.MISTAKES) or KNOWN_MISTAKES
    failures.check(expected >= KNOWN_MISTAKES,
                   f"narravox-ply reports {sorted(expected)}, the sample has {KNOWN_MISTAKES}")
    found = common.starts(flagged)
    failures.check(found == expected,
                   f"mistakes: invalid tokens start at {sorted(found)}, errors are at "
                   f"{sorted(expected)}")
    failures.finish()


if __name__ == "__main__":
    main()
