#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Makes the player template: the page of the site folder as one HTML file, its style, its
script and the engine inside it (the WebAssembly gzip-compressed, in base64), for
`narravox-ply publish` to put a game into.

    make_player_template.py SITE_FOLDER OUTPUT
"""
import base64
import gzip
import os
import sys


def inline_script(text, name):
    # A script's text ends at the first "</script"; none may hold one.
    if "</script" in text.lower():
        sys.exit(f"make_player_template.py: {name} holds </script and cannot be inlined")
    return text


def main():
    site, output = sys.argv[1], sys.argv[2]

    def read(name, binary=False):
        path = os.path.join(site, name)
        with open(path, "rb") if binary else open(path, encoding="utf-8") as stream:
            return stream.read()

    page = read("index.html")
    wasm = gzip.compress(read("narravox-engine.wasm", binary=True), compresslevel=9, mtime=0)
    replacements = {
        '<link rel="stylesheet" href="narravox.css">':
            "<style>\n" + read("narravox.css") + "</style>",
        '<script src="narravox-engine.js"></script>':
            '<script id="narravox-wasm" type="application/octet-stream">'
            + base64.b64encode(wasm).decode("ascii") + "</script>\n<script>"
            + inline_script(read("narravox-engine.js"), "narravox-engine.js") + "</script>",
        '<script src="narravox.js"></script>':
            "<script>" + inline_script(read("narravox.js"), "narravox.js") + "</script>",
    }
    for old, new in replacements.items():
        if page.count(old) != 1:
            sys.exit(f"make_player_template.py: index.html must hold {old} once")
        page = page.replace(old, new)
    for marker in ("<title>Narravox</title>", '<div id="loading" role="status">Narravox</div>',
                   "<!--narravox-game-->"):
        if page.count(marker) != 1:
            sys.exit(f"make_player_template.py: index.html must hold {marker} once")
    with open(output + ".new", "w", encoding="utf-8") as stream:
        stream.write(page)
    os.replace(output + ".new", output)


if __name__ == "__main__":
    main()
