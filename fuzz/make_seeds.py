#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes the seed corpora of the fuzz targets from the demo game and small hand-made cases.

Run from the repository root after a build has compiled the demo:
    fuzz/make_seeds.py build/ci/games/demo
"""
import pathlib
import re
import sys

root = pathlib.Path(__file__).resolve().parent / "seeds"
demo_build = pathlib.Path(sys.argv[1])


def plain(path):
    data = bytearray(path.read_bytes())
    for i in range(4, len(data)):
        data[i] ^= i & 0xFF
    return bytes(data[4:])


def random_length(data):
    """The encoding FuzzedDataProvider.ConsumeRandomLengthString reads back as `data`."""
    return data.replace(b"\\", b"\\\\") + b"\\n"


def write(target, name, data):
    folder = root / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data)


commands = plain(demo_build / "Commands.ply")
scenario = plain(demo_build / "Scenario.ply")
typed = ["осмотреться", "север", "взять все", "инвентарь", "vorn telik", "помощь", "Ёлка  ЁЖ"]
lines = b"".join(random_length(line.encode("cp1251")) for line in typed)

# fuzz_game reads sizes from the end of its input and texts from the front.
write("fuzz_game", "demo", random_length(commands) + random_length(scenario)
      + lines + bytes([0, 0, 0, 0, 80, 24]))
write("fuzz_vocabulary", "demo", random_length("идти на север".encode("cp1251")) + commands)
write("fuzz_vocabulary", "empty", b"\\n")
write("fuzz_dump", "demo", random_length(commands) + scenario)
write("fuzz_text_window", "lines", random_length(b"abc def ghi\n" * 20)
      + random_length(b"x" * 300) + random_length(b" " * 50 + b"\n\n") + bytes([40, 10]))

source_dir = pathlib.Path(__file__).resolve().parent.parent
write("fuzz_compile", "demo.nvx", (source_dir / "games/demo/demo.nvx").read_bytes())
reference = (source_dir / "docs/scenario-language.md").read_text(encoding="utf-8")
for number, block in enumerate(re.findall(r"```\n(.*?)```", reference, re.S)):
    if "location" in block or "verb" in block:
        write("fuzz_compile", f"reference-{number}.nvx", block.encode("utf-8"))

saved = b"NVES" + bytes([1, 0]) + bytes(4096)
write("fuzz_load", "whole", saved)
write("fuzz_load", "short", saved[:4101])
write("fuzz_load", "three-bytes", b"NVE")
write("fuzz_load", "wrong-magic", b"nves" + saved[4:])
