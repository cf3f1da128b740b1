#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# scripts/install-deps run by a user who is not root and has no sudo: for a missing package it
# must stop with one sentence that names the command to run as root, not a shell's "command not
# found"; with nothing missing it must say nothing and succeed.
# Usage: install_deps_test.sh PATH/TO/scripts/install-deps
set -euo pipefail
install_deps=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# A PATH with the tools the script uses, an `id` that answers as an ordinary user, and no sudo.
bin=$work/bin
mkdir "$bin"
for tool in bash dpkg-query grep env; do
    ln -s "$(command -v "$tool")" "$bin/$tool"
done
printf '#!%s\necho 1000\n' "$(command -v bash)" >"$bin/id"
chmod +x "$bin/id"
run() {
    PATH=$bin bash "$install_deps" "$@"
}

missing=narravox-no-such-package
status=0
run dpkg "$missing" >"$work/out" 2>"$work/err" || status=$?
[ "$status" = 1 ] || fail "a missing package without sudo ended with status $status, not 1"
[ ! -s "$work/out" ] || fail "it wrote to standard output: $(cat "$work/out")"
[ "$(wc -l <"$work/err")" = 1 ] || fail "it did not say one line: $(cat "$work/err")"
grep -Fq "\"apt-get install $missing\" as root" "$work/err" ||
    fail "it did not name the command to run as root: $(cat "$work/err")"
if grep -q "not found" "$work/err"; then
    fail "a command was not found: $(cat "$work/err")"
fi

status=0
run dpkg bash >"$work/out" 2>"$work/err" || status=$?
[ "$status" = 0 ] || fail "installed packages ended with status $status"
[ ! -s "$work/out" ] && [ ! -s "$work/err" ] || fail "installed packages made it talk"

if [ "$failures" -gt 0 ]; then
    exit 1
fi
echo "ok: install-deps without root and sudo"
