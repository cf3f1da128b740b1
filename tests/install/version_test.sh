#!/usr/bin/env bash
# A program's --version must succeed, without a display, and print exactly "NAME VERSION".
# Usage: version_test.sh PROGRAM NAME VERSION
set -euo pipefail
answer=$(env -u DISPLAY -u WAYLAND_DISPLAY "$1" --version)
if [ "$answer" != "$2 $3" ]; then
    echo "FAIL: $1 --version said \"$answer\", not \"$2 $3\"" >&2
    exit 1
fi
echo "ok: $answer"
