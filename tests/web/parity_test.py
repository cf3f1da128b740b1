#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Plays random games through two programs and compares everything they do.

    parity_test.py --ply narravox-ply --reference narravox-term --candidate narravox-node \\
                   --games N [--seed S]

For each seed from S on (random_game.py makes a game, a script and a window size from it),
the game is compiled once into a fresh folder and copied into two; each program runs in its own
copy with the same arguments (`--batch` and the window size) and the script on standard input.
The check compares standard output, standard error, the exit status and every file left in the
folder (saved games above all), byte for byte. In standard error the candidate's own name is
replaced by the reference's: error boxes are captioned with the program's name as the engine's
ProgramTitle makes it ("[narravox-node]" against "[narravox-term]"; a name starting with a
capital keeps it) and notes start with it ("narravox-node:" against "narravox-term:").

On the first difference it prints the seed, where the case is kept (the game's source, the
script, both folders and both outputs) and the first line that differs, and exits with status
1; otherwise it prints a summary of what the scripts did and "N games: identical", status 0.
Games are played two at a time; a run that takes longer than the timeout (30 s) is a failure.

Standard input is a file for even seeds and a pipe for odd ones (--stdin to choose one).

    parity_test.py --ply narravox-ply --reference narravox-term --self-check

proves that the check can fail: the reference against itself must be identical, against a
link to it named narravox-node too (names normalised), and against wrappers that change one
line of standard output, add a line to standard error, change the exit status, leave a file
behind or hang, each difference must be found and reported.
"""

import argparse
import concurrent.futures
import os
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import threading
import time

# The generator beside this file; no __pycache__ is left in the source tree.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import random_game  # noqa: E402

DEFAULT_TIMEOUT = 30.0
WORKERS = 2
# The names the web build goes by, whatever the path of the program given as candidate.
KNOWN_CANDIDATE_NAMES = ["narravox-node"]


def program_title(path):
    """The caption of error boxes, as the engine makes it (ProgramTitle in io_error.cpp)."""
    name = os.path.basename(path).split(".")[0]
    return name[:1] + name[1:].lower()


class Run:
    def __init__(self):
        self.stdout = b""
        self.stderr = b""
        self.status = None
        self.timed_out = False
        self.seconds = 0.0
        self.files = {}


def snapshot(folder):
    """Every file, folder and link under `folder`: relative name -> bytes (or a marker)."""
    files = {}
    for root, dirs, names in os.walk(folder):
        for name in dirs + names:
            path = os.path.join(root, name)
            relative = os.path.relpath(path, folder)
            info = os.lstat(path)
            if stat.S_ISLNK(info.st_mode):
                files[relative] = b"<link to " + os.fsencode(os.readlink(path)) + b">"
            elif stat.S_ISDIR(info.st_mode):
                files[relative + "/"] = b"<folder>"
            elif stat.S_ISREG(info.st_mode):
                with open(path, "rb") as f:
                    files[relative] = f.read()
                mode = stat.S_IMODE(info.st_mode)
                files[relative + " (mode)"] = oct(mode).encode()
            else:
                files[relative] = b"<special file>"
    return files


def run_program(program, args, folder, script, stdin_kind, timeout):
    run = Run()
    started = time.monotonic()
    stdin_file = None
    if stdin_kind == "file":
        script_path = folder + ".stdin"
        with open(script_path, "wb") as f:
            f.write(script)
        stdin_file = open(script_path, "rb")
    env = dict(os.environ)
    env["LC_ALL"] = "C.UTF-8"
    env.pop("TERM", None)
    try:
        # A session of its own, so that a hung program and whatever it started can be stopped.
        process = subprocess.Popen([program] + args, cwd=folder,
                                   stdin=stdin_file if stdin_file else subprocess.PIPE,
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env,
                                   start_new_session=True)
        try:
            run.stdout, run.stderr = process.communicate(
                None if stdin_file else script, timeout=timeout)
        except subprocess.TimeoutExpired:
            run.timed_out = True
            try:
                os.killpg(process.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            run.stdout, run.stderr = process.communicate()
        run.status = process.returncode
    finally:
        if stdin_file:
            stdin_file.close()
    run.seconds = time.monotonic() - started
    run.files = snapshot(folder)
    return run


def normalise_names(data, candidate, reference):
    """The candidate's standard error with its own name replaced by the reference's, where the
    name stands: at the start of a line, as a box caption or a note's prefix."""
    ref_name = os.path.basename(reference).encode()
    ref_title = program_title(reference).encode()
    names = [os.path.basename(candidate)] + KNOWN_CANDIDATE_NAMES
    lines = data.split(b"\n")
    for i, line in enumerate(lines):
        for name in names:
            name_bytes = name.encode()
            title = program_title(name).encode()
            if line.startswith(b"[" + title + b"] "):
                lines[i] = b"[" + ref_title + b"] " + line[len(title) + 3:]
                break
            if line.startswith(name_bytes + b": "):
                lines[i] = ref_name + line[len(name_bytes):]
                break
    return b"\n".join(lines)


def show(line):
    if line is None:
        return "(no line: the output ends before)"
    return repr(line.decode("utf-8", "backslashreplace"))


def first_difference(reference, candidate):
    """(line number, reference line, candidate line) of the first lines that differ."""
    ref_lines = reference.split(b"\n")
    cand_lines = candidate.split(b"\n")
    for i in range(max(len(ref_lines), len(cand_lines))):
        a = ref_lines[i] if i < len(ref_lines) else None
        b = cand_lines[i] if i < len(cand_lines) else None
        if a != b:
            return i + 1, a, b
    return None


def compare(ref, cand, candidate_path, reference_path):
    """Descriptions of every difference, the first in full."""
    problems = []
    for who, run in (("reference", ref), ("candidate", cand)):
        if run.timed_out:
            problems.append(f"the {who} did not finish within the timeout "
                            f"({run.seconds:.1f} s); it was stopped")
    if ref.stdout != cand.stdout:
        line, a, b = first_difference(ref.stdout, cand.stdout)
        problems.append(f"standard output differs at line {line}:\n"
                        f"    reference: {show(a)}\n    candidate: {show(b)}")
    cand_err = normalise_names(cand.stderr, candidate_path, reference_path)
    if ref.stderr != cand_err:
        line, a, b = first_difference(ref.stderr, cand_err)
        problems.append(f"standard error differs at line {line} (names normalised):\n"
                        f"    reference: {show(a)}\n    candidate: {show(b)}")
    if ref.status != cand.status:
        problems.append(f"exit status differs: reference {ref.status}, candidate {cand.status}")
    if ref.files != cand.files:
        for name in sorted(set(ref.files) | set(cand.files)):
            a, b = ref.files.get(name), cand.files.get(name)
            if a == b:
                continue
            if a is None:
                problems.append(f"file {name!r} is left only by the candidate ({len(b)} bytes)")
            elif b is None:
                problems.append(f"file {name!r} is left only by the reference ({len(a)} bytes)")
            else:
                offset = next((i for i in range(min(len(a), len(b))) if a[i] != b[i]),
                              min(len(a), len(b)))
                problems.append(f"file {name!r} differs: {len(a)} bytes against {len(b)}, "
                                f"first at byte {offset}")
            break
    return problems


class Totals:
    def __init__(self):
        self.lock = threading.Lock()
        self.values = {}

    def add(self, key, n=1):
        with self.lock:
            self.values[key] = self.values.get(key, 0) + n

    def get(self, key):
        return self.values.get(key, 0)


def play_case(seed, options, work, totals, cancelled):
    """Plays one seed; returns None when identical, or a report."""
    if cancelled.is_set():
        return "cancelled"
    case = random_game.generate(seed)
    folder = os.path.join(work, f"seed-{seed}")
    os.makedirs(folder)
    source_path = os.path.join(folder, "game.nvx")
    script_path = os.path.join(folder, "game.in")
    with open(source_path, "wb") as f:
        f.write(case.source)
    with open(script_path, "wb") as f:
        f.write(case.script)
    compiled = os.path.join(folder, "compiled")
    status, messages = random_game.compile_game(options.ply, source_path, compiled)
    if status != 0 or ": error:" in messages:
        return (f"seed {seed}: the generated game does not compile (status {status}); "
                f"the generator must only make valid games\n"
                f"game source kept: {source_path}\n{messages.rstrip()}")
    totals.add("compiler warnings", messages.count(": warning:"))
    stdin_kind = options.stdin
    if stdin_kind == "mixed":
        stdin_kind = "file" if seed % 2 == 0 else "pipe"
    runs = {}
    for who, program in (("reference", options.reference), ("candidate", options.candidate)):
        target = os.path.join(folder, who)
        shutil.copytree(compiled, target)
        runs[who] = run_program(program, case.args, target, case.script, stdin_kind,
                                options.timeout)
        with open(os.path.join(folder, who + ".stdout"), "wb") as f:
            f.write(runs[who].stdout)
        with open(os.path.join(folder, who + ".stderr"), "wb") as f:
            f.write(runs[who].stderr)
    ref, cand = runs["reference"], runs["candidate"]
    problems = compare(ref, cand, options.candidate, options.reference)

    totals.add("games")
    totals.add("commands", case.stats.get("script: commands", 0))
    totals.add("scripts from 20 to 80 commands",
               20 <= case.stats.get("script: commands", 0) <= 80)
    totals.add("script lines", case.stats.get("script lines", 0))
    totals.add("echoed commands", ref.stdout.count(b"\n>") + ref.stdout.startswith(b">"))
    totals.add("transcript lines", ref.stdout.count(b"\n"))
    saves = [n for n in ref.files if n not in ("Commands.ply", "Scenario.ply")
             and not n.endswith(" (mode)")]
    totals.add("saved games left", len(saves))
    totals.add("runs with a saved game", bool(saves))
    err_lines = ref.stderr.split(b"\n")
    title = b"[" + program_title(options.reference).encode() + b"] "
    error_boxes = sum(1 for l in err_lines if l.startswith(title) or
                      l.startswith("[Ошибка] ".encode()))
    totals.add("error boxes", error_boxes)
    totals.add("runs with an error box", bool(error_boxes))
    quit_boxes = sum(1 for l in err_lines if l.startswith("[Выход] ".encode()))
    totals.add("quit questions", quit_boxes)
    notes = sum(1 for l in err_lines
                if l.startswith(os.path.basename(options.reference).encode() + b": "))
    totals.add("dropped-character notes", notes)
    totals.add("runs with a box on standard error", bool(ref.stderr.strip()))
    totals.add("runs on a pipe" if stdin_kind == "pipe" else "runs on a file")
    if os.path.basename(options.candidate).encode() != os.path.basename(
            options.reference).encode():
        raw = cand.stderr
        cand_name = os.path.basename(options.candidate).encode()
        cand_title = program_title(options.candidate).encode()
        if b"\n" + cand_name + b": " in b"\n" + raw or b"[" + cand_title + b"]" in raw:
            totals.add("runs whose names were normalised")
    for key in ("jump", "if", "else", "else if", "if not", "center", "clear screen", "clear",
                "clear flags", "set", "text", "pass", "deep nest",
                "jumps to the global location"):
        totals.add("statements: " + key, case.stats.get(key, 0))
    for key, value in case.stats.items():
        if key.startswith("script: ") and key != "script: commands":
            totals.add(key, value)
    if ref.status != 0:
        totals.add("runs with a non-zero status")

    if not problems:
        shutil.rmtree(folder)
        return None
    args = " ".join(case.args)
    again = f"{options.candidate} {args} < ../game.in" if stdin_kind == "file" else \
        f"cat ../game.in | {options.candidate} {args}"
    report = [f"seed {seed}: the candidate differs from the reference",
              f"game source kept: {source_path}",
              f"script: {script_path}",
              f"arguments: {args}; standard input: {stdin_kind}",
              f"runs: {folder}/reference and {folder}/candidate "
              f"(their outputs beside them: reference.stdout, candidate.stderr, ...)",
              f"again: rm -rf {folder}/again && cp -r {folder}/compiled {folder}/again && "
              f"cd {folder}/again && {again}"]
    report += problems
    return "\n".join(report)


def run_parity(options, seeds, quiet=False):
    """Returns (status, text printed)."""
    work = tempfile.mkdtemp(prefix="narravox-parity-")
    totals = Totals()
    cancelled = threading.Event()
    failures = {}
    with concurrent.futures.ThreadPoolExecutor(max_workers=WORKERS) as pool:
        futures = {pool.submit(play_case, seed, options, work, totals, cancelled): seed
                   for seed in seeds}
        for future in concurrent.futures.as_completed(futures):
            seed = futures[future]
            if future.cancelled():
                continue
            try:
                result = future.result()
            except Exception as error:  # a bug here must fail loudly, not pass
                result = f"seed {seed}: the check itself failed: {error!r}"
            if result is not None and result != "cancelled":
                failures[seed] = result
                if not getattr(options, "keep_going", False):
                    cancelled.set()
                    for other in futures:
                        other.cancel()
    output = []
    if failures:
        first = min(failures)
        output.append(failures[first])
        if len(failures) > 1 and getattr(options, "keep_going", False):
            output.append(f"{len(failures)} of {len(seeds)} games differ; the first "
                          f"difference of each:")
            for seed in sorted(failures):
                lines = failures[seed].splitlines()
                details = next((i for i, l in enumerate(lines) if l.startswith("again: ")), 0)
                output.append(f"  seed {seed}: " + " / ".join(
                    l.strip() for l in lines[details + 1:details + 4]))
        elif len(failures) > 1:
            output.append(f"(other seeds that failed: {sorted(failures)[1:]}; --keep-going "
                          f"plays every game)")
        status = 1
    else:
        shutil.rmtree(work, ignore_errors=True)
        v = totals.values
        output.append(
            f"summary: {v.get('commands', 0)} commands in {v.get('script lines', 0)} script "
            f"lines ({v.get('echoed commands', 0)} echoed; {v.get('script: answer lines', 0)} answer "
            f"lines, {v.get('script: commands never read', 0)} commands after a quit), "
            f"{v.get('transcript lines', 0)} transcript lines")
        output.append(
            f"  saves asked {v.get('script: saves', 0)}, saved games left "
            f"{v.get('saved games left', 0)} in {v.get('runs with a saved game', 0)} runs; "
            f"loads of saved games {v.get('script: loads of saved games', 0)}, "
            f"of missing files {v.get('script: loads of missing files', 0)}")
        output.append(
            f"  runs with a box on standard error {v.get('runs with a box on standard error', 0)}"
            f", with an error box {v.get('runs with an error box', 0)} "
            f"({v.get('error boxes', 0)} error boxes), quit questions "
            f"{v.get('quit questions', 0)}, dropped-character notes "
            f"{v.get('dropped-character notes', 0)}, runs whose names were normalised "
            f"{v.get('runs whose names were normalised', 0)}")
        output.append(
            f"  standard input: {v.get('runs on a file', 0)} files, "
            f"{v.get('runs on a pipe', 0)} pipes; non-zero status "
            f"{v.get('runs with a non-zero status', 0)}; compiler warnings "
            f"{v.get('compiler warnings', 0)}; scripts of 20 to 80 commands "
            f"{v.get('scripts from 20 to 80 commands', 0)} of {v.get('games', 0)}")
        statements = ", ".join(f"{k[len('statements: '):]} {n}" for k, n in sorted(v.items())
                               if k.startswith("statements: "))
        output.append(f"  statements generated: {statements}")
        # With enough games every kind of thing must have happened at least once; a generator
        # that stopped making them would leave the check passing while testing less.
        lacking = []
        if len(seeds) >= 20:
            for key in ("saved games left", "script: loads of saved games",
                        "script: loads of missing files", "error boxes", "quit questions",
                        "dropped-character notes", "script: lines beyond the width",
                        "script: empty lines", "statements: center", "statements: jump",
                        "statements: clear screen", "statements: else if"):
                if v.get(key, 0) == 0:
                    lacking.append(key)
            if v.get("scripts from 20 to 80 commands", 0) != v.get("games", 0):
                lacking.append("scripts of 20 to 80 commands")
        if lacking:
            output.append(f"the scripts exercise too little: none of {', '.join(lacking)}")
            status = 1
        else:
            output.append(f"{len(seeds)} games: identical")
            status = 0
    text = "\n".join(output)
    if not quiet:
        print(text, flush=True)
    return status, text, totals


WRAPPER = """#!/usr/bin/python3
# A candidate that is the reference with one deliberate change ({mode}), for --self-check.
import os, subprocess, sys, time
result = subprocess.run([{reference!r}] + sys.argv[1:], stdin=sys.stdin, capture_output=True)
out, err, status = result.stdout, result.stderr, result.returncode
mode = {mode!r}
if mode == "stdout":
    lines = out.split(b"\\n")
    lines[len(lines) // 2] += b"!"
    out = b"\\n".join(lines)
elif mode == "stderr":
    err += b"[Narravox-term] One more box.\\n"
elif mode == "status":
    status += 1
elif mode == "file":
    open("extra.nvs", "wb").write(b"NVS")
elif mode == "hang":
    time.sleep(3600)
sys.stdout.buffer.write(out)
sys.stderr.buffer.write(err)
sys.exit(status)
"""


def self_check(options):
    """Proves that the check passes what is the same and fails what is not."""
    failed = []
    seeds = list(range(options.seed, options.seed + options.games))
    helpers = tempfile.mkdtemp(prefix="narravox-parity-self-")

    def expect(name, candidate, should_pass, must_say, timeout=None, run_seeds=None):
        checked = argparse.Namespace(**vars(options))
        checked.candidate = candidate
        if timeout:
            checked.timeout = timeout
        status, text, totals = run_parity(checked, run_seeds or seeds, quiet=True)
        ok = (status == 0) == should_pass and must_say in text
        print(f"self-check {name}: {'ok' if ok else 'FAILED'} "
              f"({'identical' if status == 0 else 'difference reported'})", flush=True)
        if not ok:
            failed.append(name)
            print("    " + text.replace("\n", "\n    "))
        else:
            # The kept cases of the expected failures are of no further use.
            for line in text.splitlines():
                if line.startswith("game source kept: "):
                    shutil.rmtree(os.path.dirname(os.path.dirname(line.split(": ", 1)[1])),
                                  ignore_errors=True)
        return text, totals

    text, _ = expect("reference against itself", options.reference, True,
                     f"{len(seeds)} games: identical")
    print("    " + text.replace("\n", "\n    "))
    # A link named as the web build: its boxes and notes carry another name, which the
    # check must see through; it must have had names to normalise.
    link = os.path.join(helpers, "narravox-node")
    os.symlink(os.path.abspath(options.reference), link)
    _, totals = expect("names normalised", link, True, "identical")
    if totals.get("runs whose names were normalised") == 0:
        failed.append("names normalised: no run had a name to normalise")
        print("self-check names normalised: FAILED (no run had a name to normalise)")
    for mode, says in (("stdout", "standard output differs at line"),
                       ("stderr", "standard error differs at line"),
                       ("status", "exit status differs"),
                       ("file", "file 'extra.nvs' is left only by the candidate"),
                       ("hang", "did not finish within the timeout")):
        wrapper = os.path.join(helpers, f"narravox-altered-{mode}")
        with open(wrapper, "w") as f:
            f.write(WRAPPER.format(mode=mode, reference=os.path.abspath(options.reference)))
        os.chmod(wrapper, 0o755)
        expect(f"changed {mode}", wrapper, False, says,
               timeout=3 if mode == "hang" else None,
               run_seeds=seeds[:2] if mode == "hang" else seeds[:4])
    shutil.rmtree(helpers, ignore_errors=True)
    if failed:
        print(f"self-check failed: {', '.join(failed)}")
        return 1
    print("self-check passed: the check finds each kind of difference and passes the same "
          "program")
    return 0


def main():
    parser = argparse.ArgumentParser(
        description="Plays random games through two programs and compares everything.")
    parser.add_argument("--ply", required=True, help="narravox-ply, to compile the games")
    parser.add_argument("--reference", required=True, help="the reference, narravox-term")
    parser.add_argument("--candidate", help="the program checked, e.g. narravox-node")
    parser.add_argument("--games", type=int, default=None, help="how many seeds (default 50; "
                        "10 for --self-check)")
    parser.add_argument("--seed", type=int, default=1, help="the first seed (default 1)")
    parser.add_argument("--timeout", type=float, default=DEFAULT_TIMEOUT,
                        help="seconds a run may take (default 30)")
    parser.add_argument("--stdin", choices=["mixed", "file", "pipe"], default="mixed",
                        help="standard input: a file, a pipe, or by seed (default)")
    parser.add_argument("--keep-going", action="store_true",
                        help="play every game and list each that differs, not only the first")
    parser.add_argument("--self-check", action="store_true",
                        help="prove that the check finds differences (no --candidate)")
    options = parser.parse_args()
    for name in ("ply", "reference", "candidate"):
        path = getattr(options, name)
        if path is None:
            continue
        if os.sep in path or os.path.exists(path):
            path = os.path.abspath(path)
        else:
            path = shutil.which(path) or path
        if not os.access(path, os.X_OK):
            parser.error(f"--{name} {path}: no such program")
        setattr(options, name, path)
    if options.self_check:
        if options.games is None:
            options.games = 10
        return self_check(options)
    if not options.candidate:
        parser.error("--candidate is needed (or --self-check)")
    if options.games is None:
        options.games = 50
    status, _, _ = run_parity(options, list(range(options.seed, options.seed + options.games)))
    return status


if __name__ == "__main__":
    sys.exit(main())
