#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A program's --version must succeed, without a display, and print exactly "NAME VERSION";
# its --help must print the usage the same way.
# Usage: version_test.sh PROGRAM NAME VERSION
set -euo pipefail
answer=$(env -u DISPLAY -u WAYLAND_DISPLAY "$1" --version)
if [ "$answer" != "$2 $3" ]; then
    echo "FAIL: $1 --version said \"$answer\", not \"$2 $3\"" >&2
    exit 1
fi
# --help is an answer too: the usage on standard output, nothing on standard error, status 0,
# and no window or game started on the way.
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
status=0
help=$(env -u DISPLAY -u WAYLAND_DISPLAY "$1" --help 2>"$errors" </dev/null) || status=$?
if [ "$status" -ne 0 ]; then
    echo "FAIL: $1 --help exited with status $status: $(cat "$errors")" >&2
    exit 1
fi
if [ -s "$errors" ]; then
    echo "FAIL: $1 --help wrote to standard error: $(cat "$errors")" >&2
    exit 1
fi
case "$help" in
    *"$2"*--version*) ;;
    *)
        echo "FAIL: $1 --help printed no usage naming $2 and --version: "$help"" >&2
        exit 1
        ;;
esac
echo "ok: $answer"
echo "ok: $2 --help"
