# SPDX-License-Identifier: MIT
"""Highlights narravox sources in a headless Vim with editors/vim on its runtimepath.

Usage: vim_test.py VIM-RUNTIME-DIR DEMO [NARRAVOX-PLY]

*.nvx must be detected as narravox, with the filetype plugin's options; the demo and the
sample of every construct must have no character in an Error group and the chosen words their
groups; in the sample of mistakes the Error groups must start where narravox-ply reports its
errors. Vim is run as `vim`, or as $VIM_PROGRAM.
"""

import os
import shutil
import subprocess
import sys
import tempfile

import common
from textmate_test import KNOWN_MISTAKES


def highlight(vim, runtime, path):
    """The dump of dump_syntax.vim: the header values, and per line the chain per character."""
    with tempfile.TemporaryDirectory() as work:
        output = os.path.join(work, "dump")
        # -u NONE reads no vimrc; the runtime path holds ours and Vim's own files only. The
        # locale of a test may not be UTF-8, so the encoding is set before anything is read.
        command = [vim, "-N", "-u", "NONE", "-i", "NONE", "-es",
                   "--cmd", "set encoding=utf-8 fileencodings=utf-8",
                   "--cmd", "set runtimepath^=" + runtime.replace(",", "\\,"),
                   "-c", "filetype plugin on", "-c", "syntax on",
                   "-c", "edit " + path.replace(" ", "\\ "),
                   "-c", "let g:dump_output = '" + output.replace("'", "''") + "'",
                   "-c", "source " + os.path.join(common.HERE, "dump_syntax.vim"),
                   "-c", "qall!"]
        run = subprocess.run(command, capture_output=True, text=True, timeout=120, check=False)
        if not os.path.exists(output):
            raise AssertionError(f"vim wrote nothing (status {run.returncode}): "
                                 f"{run.stdout}{run.stderr}")
        with open(output, encoding="utf-8") as dump:
            records = dump.read().split("\n")
    header = dict(record.split("=", 1) for record in records[:5])
    lines = [[] for _ in common.read_lines(path)]
    for record in filter(None, records[5:]):
        number, column, chain = record.split("\t")
        lines[int(number) - 1].append(chain.split(">") if chain else [])
        assert len(lines[int(number) - 1]) == int(column)
    return header, lines


def is_error(chain):
    return "Error" in chain


def main():
    runtime, demo = sys.argv[1], sys.argv[2]
    compiler = sys.argv[3] if len(sys.argv) > 3 else None
    vim = os.environ.get("VIM_PROGRAM") or shutil.which("vim")
    if not vim:
        print("vim is not installed (Debian package vim or vim-nox)")
        sys.exit(77)
    failures = common.Failures("editors.vim")

    for path, expectations in ((demo, common.EXPECTED_IN_DEMO),
                               (common.FEATURES, common.EXPECTED)):
        header, chains = highlight(vim, runtime, path)
        wanted = {"filetype": "narravox", "syntax": "narravox", "commentstring": "# %s",
                  "expandtab": "1", "shiftwidth": "4"}
        for key, value in wanted.items():
            failures.check(header.get(key) == value, f"{path}: {key} is {header.get(key)!r}")
        bad = [(n, c) for n, line in enumerate(chains, 1) for c, chain in enumerate(line, 1)
               if is_error(chain)]
        failures.check(not bad, f"{path}: Error groups at {bad[:10]}")
        lines = common.read_lines(path)
        for number, first, last, word, _, group in common.places(lines, expectations):
            have = [chains[number - 1][column - 1] for column in range(first, last + 1)]
            wrong = [chain for chain in have if group not in chain]
            failures.check(not wrong, f"{path}:{number}:{first}: {word!r} is in {wrong[:1]}, "
                                      f"not {group}")

    _, chains = highlight(vim, runtime, common.MISTAKES)
    expected = common.compiler_errors(compiler, common.MISTAKES) or KNOWN_MISTAKES
    found = common.starts([[is_error(chain) for chain in line] for line in chains])
    failures.check(found == expected,
                   f"mistakes: Error groups start at {sorted(found)}, errors are at "
                   f"{sorted(expected)}")
    failures.finish()


if __name__ == "__main__":
    main()
