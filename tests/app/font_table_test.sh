#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The committed glyph table must be exactly what the generator makes of Debian's VGA font.
# Usage: font_table_test.sh GENERATOR TABLE
set -euo pipefail
font=/usr/share/consolefonts/Uni2-VGA16.psf.gz
if ! command -v python3 >/dev/null || [ ! -f "$font" ]; then
    echo "skipped: needs python3 and $font (console-setup-linux)" >&2
    exit 77
fi
diff -u "$2" <(python3 "$1" "$font")
echo "ok: the glyph table matches $font"
