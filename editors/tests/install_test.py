# SPDX-License-Identifier: MIT
"""Installs the editor files of a build into a scratch prefix and checks what VS Code and Vim
would load from there.

Usage: install_test.py BUILD-DIR DATADIR EDITORS-SOURCE-DIR PROJECT-VERSION DEMO
"""

import filecmp
import json
import os
import re
import subprocess
import sys
import tempfile

import common


def files_under(top):
    return sorted(os.path.relpath(os.path.join(folder, name), top)
                  for folder, _, names in os.walk(top) for name in names)


def check_indentation_rules(failures, rules, demo):
    """A line raises the indentation when it opens a block: the next line with code is deeper,
    and the line is neither part of a list broken after a comma nor a text continued below.
    The last line of a broken list ends with the ':' of the line that opened the list; a
    pattern of one line cannot see that, so such lines are left out."""
    increase = re.compile(rules["increaseIndentPattern"])
    decrease = re.compile(rules["decreaseIndentPattern"])
    lines = [line for line in common.read_lines(demo) if line.strip()
             and not line.lstrip().startswith("#")]
    for previous, line, following in zip([""] + lines, lines, lines[1:]):
        if previous.split("#")[0].rstrip().endswith(","):
            continue
        indent = len(line) - len(line.lstrip(" "))
        deeper = len(following) - len(following.lstrip(" ")) > indent
        code = line.split("#")[0].rstrip() if '"' not in line else line.rstrip()
        opens = deeper and not code.endswith(",") and not following.lstrip().startswith('"')
        failures.check(bool(increase.search(line)) == opens,
                       f"increaseIndentPattern {'misses' if opens else 'matches'} {line!r}")
        failures.check(bool(decrease.search(line)) == line.lstrip().startswith("else"),
                       f"decreaseIndentPattern is wrong for {line!r}")


def main():
    build, datadir, source, version, demo = sys.argv[1:6]
    failures = common.Failures("editors.install")
    with tempfile.TemporaryDirectory() as prefix:
        run = subprocess.run(["cmake", "--install", build, "--prefix", prefix,
                              "--component", "narravox_editors"],
                             capture_output=True, text=True, check=False)
        if run.returncode != 0:
            print(run.stdout + run.stderr)
            sys.exit(1)
        top = os.path.join(prefix, datadir, "narravox", "editors")
        grammar = os.path.join(source, "textmate", "narravox.tmLanguage.json")
        vim_files = files_under(os.path.join(source, "vim"))
        expected = sorted(["README.md", "textmate/narravox.tmLanguage.json",
                           "vscode/package.json", "vscode/language-configuration.json",
                           "vscode/syntaxes/narravox.tmLanguage.json"]
                          + [os.path.join("vim", name) for name in vim_files])
        failures.check(files_under(prefix) == [os.path.join(datadir, "narravox", "editors", f)
                                               for f in expected],
                       f"installed {files_under(prefix)}, expected {expected}")
        failures.check({"syntax/narravox.vim", "ftdetect/narravox.vim",
                        "ftplugin/narravox.vim"} <= set(vim_files), f"vim files {vim_files}")
        for name in vim_files:
            failures.check(filecmp.cmp(os.path.join(source, "vim", name),
                                       os.path.join(top, "vim", name), shallow=False),
                           f"vim/{name} differs from its source")
        failures.check(filecmp.cmp(grammar, os.path.join(top, "textmate",
                                                         "narravox.tmLanguage.json"),
                                   shallow=False), "the installed grammar differs")

        # What VS Code reads from the extension's folder.
        extension = os.path.join(top, "vscode")
        with open(os.path.join(extension, "package.json"), encoding="utf-8") as file:
            package = json.load(file)
        with open(grammar, encoding="utf-8") as file:
            scope = json.load(file)["scopeName"]
        failures.check(package["version"] == version, f"extension version {package['version']}")
        languages = package["contributes"]["languages"]
        grammars = package["contributes"]["grammars"]
        failures.check(len(languages) == 1 and languages[0]["id"] == "narravox"
                       and languages[0]["extensions"] == [".nvx"], f"languages {languages}")
        failures.check(len(grammars) == 1 and grammars[0]["language"] == "narravox"
                       and grammars[0]["scopeName"] == scope, f"grammars {grammars}")
        grammar_copy = os.path.join(extension, grammars[0]["path"])
        failures.check(os.path.isfile(grammar_copy)
                       and filecmp.cmp(grammar, grammar_copy, shallow=False),
                       f"the extension's grammar {grammars[0]['path']} is not the grammar")
        configuration = os.path.join(extension, languages[0]["configuration"])
        with open(configuration, encoding="utf-8") as file:
            settings = json.load(file)
        failures.check(settings["comments"] == {"lineComment": "#"},
                       f"comments {settings['comments']}")
        failures.check(settings["brackets"] == [], f"brackets {settings['brackets']}")
        failures.check({"open": '"', "close": '"'}.items()
                       <= settings["autoClosingPairs"][0].items(), "quotes do not close")
        check_indentation_rules(failures, settings["indentationRules"], demo)
        check_indentation_rules(failures, settings["indentationRules"], common.FEATURES)
    failures.finish()


if __name__ == "__main__":
    main()
