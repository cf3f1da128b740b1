#!/bin/sh
# SPDX-License-Identifier: MIT
# Plays the demo game from start to ending through narravox-term in batch mode (or another
# program with that batch mode, such as narravox-node), one command a line of the walkthrough,
# and compares the transcript with the expected one byte for byte.
#
# Usage: walkthrough_test.sh NARRAVOX_TERM GAME_FOLDER WALKTHROUGH EXPECTED
# To accept a changed transcript, run with UPDATE=1: EXPECTED is then rewritten.
set -eu
term=$1 game=$2 walkthrough=$3 expected=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A fixed window, so that centred lines and the empty lines before the title never depend on
# the terminal the test runs in. The warning box goes to standard error and is not compared.
status=0
"$term" --batch --columns 80 --lines 24 --game "$game" <"$walkthrough" >"$work/actual" \
    2>"$work/err" || status=$?
if [ "$status" != 0 ]; then
    echo "FAILED: $(basename "$term") ended with status $status" >&2
    cat "$work/err" >&2
    exit 1
fi
if [ "${UPDATE:-}" = 1 ]; then
    cp "$work/actual" "$expected"
    echo "rewrote $expected"
    exit 0
fi
if ! cmp -s "$expected" "$work/actual"; then
    echo "FAILED: the transcript differs from $expected:" >&2
    diff -u "$expected" "$work/actual" >&2 || true
    exit 1
fi
# The transcript being the expected one, make sure that it is one that ends the game.
grep -q 'КОНЕЦ' "$work/actual" || { echo "FAILED: the walkthrough never reaches the ending" >&2; exit 1; }
echo "ok: $(wc -l <"$walkthrough") commands, the transcript is $expected"
