# SPDX-License-Identifier: MIT
"""A small TextMate tokenizer on Python's re, enough for the grammar of narravox sources.

Editors run TextMate grammars on Oniguruma; check_regex() refuses what the two engines would
read differently, so that what this tokenizer shows is what an editor shows.
"""

import ctypes
import re

# The keys a rule of ours may have; anything else would be silently ignored here.
RULE_KEYS = {"match", "name", "captures", "begin", "end", "beginCaptures", "endCaptures",
             "patterns", "include", "contentName", "comment"}
GRAMMAR_KEYS = {"name", "scopeName", "fileTypes", "patterns", "repository", "$schema"}


def check_regex(pattern):
    """Returns the reasons why `pattern` may not mean the same to re and to Oniguruma."""
    problems = []
    i = 0
    in_class = False
    previous_quantifier = False
    while i < len(pattern):
        c = pattern[i]
        quantifier = False
        if c == "\\":
            e = pattern[i + 1] if i + 1 < len(pattern) else ""
            if e in "wWsSdDbBhHAzZGKkgpPuUxNRXQEOo0123456789":
                # Class shorthands and anchors differ in their Unicode reading or do not exist
                # in one engine; digits would be back-references. Classes are spelled out.
                problems.append(f"escape \\{e} at {i}")
            i += 2
            previous_quantifier = False
            continue
        if in_class:
            if c == "[":
                problems.append(f"'[' inside a class at {i} (a nested class in Oniguruma)")
            elif c == "&" and pattern[i + 1:i + 2] == "&":
                problems.append(f"'&&' inside a class at {i} (an intersection in Oniguruma)")
            elif c == "]":
                in_class = False
        elif c == "[":
            in_class = True
            # A ']' or '^]' right at the start is literal in re but closes the class in
            # neither engine the same way; not worth the doubt.
            if pattern[i + 1:i + 2] == "]" or pattern[i + 1:i + 3] == "^]":
                problems.append(f"']' first in a class at {i}")
        elif c == "(" and pattern[i + 1:i + 2] == "?":
            group = pattern[i + 2:i + 4]
            if not (group.startswith(":") or group.startswith("=") or group.startswith("!")
                    or group in ("<=", "<!")):
                problems.append(f"group '(?{group}' at {i}")
        elif c in "*+?}":
            if previous_quantifier and c == "+":
                problems.append(f"possessive quantifier at {i}")
            # '?' after a quantifier makes it lazy, which both engines read alike.
            quantifier = not (previous_quantifier and c == "?") and not (
                c == "?" and pattern[i - 1:i] == "(")
        i += 1
        previous_quantifier = quantifier
    if in_class:
        problems.append("unterminated class")
    try:
        re.compile(pattern)
    except re.error as error:
        problems.append(f"re cannot compile it: {error}")
    return problems


def oniguruma_refusals(patterns):
    """The patterns that Oniguruma itself (libonig5, when installed) cannot compile, or None
    without the library."""
    try:
        lib = ctypes.CDLL("libonig.so.5")
    except OSError:
        return None
    encoding = ctypes.addressof(ctypes.c_void_p.in_dll(lib, "OnigEncodingUTF8"))
    syntax = ctypes.addressof(ctypes.c_void_p.in_dll(lib, "OnigSyntaxOniguruma"))
    lib.onig_initialize((ctypes.c_void_p * 1)(encoding), 1)
    lib.onig_new.argtypes = [ctypes.POINTER(ctypes.c_void_p)] + [ctypes.c_void_p] * 6
    refused = []
    for pattern in patterns:
        text = pattern.encode("utf-8")
        buffer = ctypes.create_string_buffer(text, len(text))
        start = ctypes.addressof(buffer)
        regex = ctypes.c_void_p()
        error_info = ctypes.create_string_buffer(64)
        if lib.onig_new(ctypes.byref(regex), start, start + len(text), 0, encoding, syntax,
                        ctypes.addressof(error_info)) != 0:
            refused.append(pattern)
        else:
            lib.onig_free(regex)
    return refused


class Grammar:
    def __init__(self, data):
        self.data = data
        self.repository = data.get("repository", {})
        self._compiled = {}

    def rules(self):
        """Every rule of the grammar, each once, with the path to it."""
        seen = []

        def walk(rule, path):
            seen.append((path, rule))
            for index, inner in enumerate(rule.get("patterns", [])):
                walk(inner, f"{path}/patterns[{index}]")

        walk({"patterns": self.data["patterns"]}, "$self")
        for key, rule in self.repository.items():
            walk(rule, f"#{key}")
        return seen

    def problems(self):
        """What in the grammar this tokenizer or Oniguruma would not take as meant."""
        found = []
        for key in self.data:
            if key not in GRAMMAR_KEYS:
                found.append(f"unknown grammar key {key!r}")
        for path, rule in self.rules():
            for key in rule:
                if key not in RULE_KEYS:
                    found.append(f"{path}: unknown key {key!r}")
            if "include" in rule:
                target = rule["include"]
                if target not in ("$self", "$base") and target[1:] not in self.repository:
                    found.append(f"{path}: include {target} names nothing")
            if ("begin" in rule) != ("end" in rule):
                found.append(f"{path}: begin without end or end without begin")
            for key in ("match", "begin", "end"):
                if key in rule:
                    found.extend(f"{path}/{key}: {p}" for p in check_regex(rule[key]))
            for key in ("captures", "beginCaptures", "endCaptures"):
                for group, capture in rule.get(key, {}).items():
                    if set(capture) != {"name"}:
                        found.append(f"{path}/{key}/{group}: only a name is supported")
        return found

    def patterns(self):
        """Every regular expression of the grammar."""
        return [rule[key] for _, rule in self.rules() for key in ("match", "begin", "end")
                if key in rule]

    def _regex(self, pattern):
        if pattern not in self._compiled:
            self._compiled[pattern] = re.compile(pattern)
        return self._compiled[pattern]

    def _flatten(self, patterns, out):
        """Replaces includes by what they name, keeping the order: the candidates to try."""
        for rule in patterns:
            if "include" in rule:
                target = rule["include"]
                if target in ("$self", "$base"):
                    self._flatten(self.data["patterns"], out)
                else:
                    self._flatten([self.repository[target[1:]]], out)
            elif "match" in rule or "begin" in rule:
                out.append(rule)
            else:
                self._flatten(rule.get("patterns", []), out)
        return out

    def tokenize(self, lines):
        """Yields, per line, a list of (text, scopes) with the scopes outermost first."""
        root = self.data["scopeName"]
        # The open begin/end rules, innermost last, with the scopes in force inside each.
        stack = []
        for line in lines:
            # Editors match each line with its line break, as Oniguruma sees it.
            subject = line + "\n"
            scopes = [[root] for _ in subject]
            pos = 0
            progress_guard = 0
            while pos < len(subject):
                inside = stack[-1] if stack else None
                base = inside[1] if inside else [root]
                candidates = []
                if inside:
                    candidates.append(("end", inside[0]))
                    patterns = inside[0].get("patterns", [])
                else:
                    patterns = self.data["patterns"]
                candidates += [("rule", rule) for rule in self._flatten(patterns, [])]
                best = None
                for kind, rule in candidates:
                    regex = rule["end"] if kind == "end" else rule.get("match", rule.get("begin"))
                    found = self._regex(regex).search(subject, pos)
                    if found and (best is None or found.start() < best[2].start()):
                        best = (kind, rule, found)
                for at in range(pos, best[2].start() if best else len(subject)):
                    scopes[at] = list(base)
                if best is None:
                    break
                kind, rule, found = best
                if found.end() == found.start():
                    progress_guard += 1
                    if progress_guard > 2:
                        raise RuntimeError(f"the grammar loops at {line!r}:{pos}")
                else:
                    progress_guard = 0
                if kind == "end":
                    outer = base[:-1] if rule.get("contentName") else base
                    self._paint(scopes, found, outer, rule.get("endCaptures",
                                                               rule.get("captures", {})))
                    stack.pop()
                elif "match" in rule:
                    own = base + ([rule["name"]] if "name" in rule else [])
                    self._paint(scopes, found, own, rule.get("captures", {}))
                else:
                    own = base + ([rule["name"]] if "name" in rule else [])
                    self._paint(scopes, found, own, rule.get("beginCaptures",
                                                             rule.get("captures", {})))
                    content = own + ([rule["contentName"]] if "contentName" in rule else [])
                    stack.append((rule, content))
                pos = found.end()
            yield self._tokens(line, scopes[:len(line)])

    @staticmethod
    def _paint(scopes, found, own, captures):
        for at in range(found.start(), found.end()):
            names = [captures[str(group)]["name"] for group in range(found.re.groups + 1)
                     if str(group) in captures and found.start(group) <= at < found.end(group)]
            scopes[at] = own + names

    @staticmethod
    def _tokens(line, scopes):
        tokens = []
        for at, char in enumerate(line):
            if tokens and tokens[-1][1] == scopes[at]:
                tokens[-1] = (tokens[-1][0] + char, tokens[-1][1])
            else:
                tokens.append((char, scopes[at]))
        return tokens
