#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Plays the demo game by ear: the real narravox window under Xvfb, with the AT-SPI bus and the
# Orca screen reader writing what it would speak to its debug log (there is no sound device,
# so Orca runs without a speech server and only logs). The log must hold the start-up text, the
# first location's reply to «осмотреться», the next location's title and reply after a move and
# the command F3 recalls, and the command line must never be announced as read-only. The log is
# kept in the artefact folder.
#
# Usage: accessibility_e2e_test.sh NARRAVOX NARRAVOX_PLY DEMO_SOURCE ARTEFACT_FOLDER
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

if [ "${1:-}" != --inside-session ]; then
    for tool in xvfb-run dbus-run-session xdotool setxkbmap orca /usr/libexec/at-spi-bus-launcher; do
        if ! command -v "$tool" >/dev/null; then
            echo "skipped: $tool is not installed" >&2
            exit 77
        fi
    done
    # The buses start services of their own that may outlive the test for a moment; they write
    # to a file rather than to the test runner's pipe, which would wait for them.
    output=$(mktemp)
    status=0
    xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp -noreset" \
        dbus-run-session -- "$0" --inside-session "$@" >"$output" 2>&1 </dev/null || status=$?
    grep -v '^dbus-daemon\[' "$output" || true
    rm -f "$output"
    exit "$status"
fi
shift
narravox=$1 ply=$2 demo_source=$3 artefacts=$4
mkdir -p "$artefacts"
log="$artefacts/orca-speech.log"
work=$(mktemp -d)
pids=()
orca=
cleanup() {
    # Orca does not always leave on SIGTERM, so it is stopped outright; the bus launcher is asked
    # to leave, which ends the accessibility bus with it.
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    [ -n "$orca" ] && kill -9 "$orca" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# Orca keeps its settings under the home folder; a fresh one keeps the player's own out.
export HOME="$work/home"
mkdir -p "$HOME/.local/share/orca"
# Without a sound device the speech server would hang Orca; it speaks to its log alone.
cat >"$HOME/.local/share/orca/orca-customizations.py" <<'EOF'
import orca.settings
orca.settings.speechServerFactory = "none"
orca.settings.speechFactoryModules = []
# The log is read while Orca runs, so each line is written as it comes.
import orca.debug
if orca.debug.debugFile:
    orca.debug.debugFile.reconfigure(line_buffering=True)
EOF
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1
# A Russian keyboard, as a Russian player has: xdotool then types each Cyrillic letter with a
# key of its own. On the default layout it lends one spare key every letter in turn, and a
# letter that the program reads late, as it does while it asks the screen reader about every
# key, comes out as the next one's or not at all.
setxkbmap -layout ru

/usr/libexec/at-spi-bus-launcher --launch-immediately &
pids+=($!)
sleep 1
rm -f "$log"
orca --replace --debug-file="$log" >"$work/orca.out" 2>&1 &
orca=$!
sleep 4
kill -0 "$orca" 2>/dev/null || {
    echo "skipped: Orca did not start" >&2
    cat "$work/orca.out" >&2
    exit 77
}

"$ply" build "$demo_source" -o "$work/demo" >/dev/null
cd "$work/demo"
"$narravox" &
pids+=($!)

# wait_for_window NAME
source "$here/x11_windows.sh"

# What Orca spoke, one utterance per line (line feeds inside an utterance become spaces).
speech() {
    awk '/SPEECH OUTPUT:/ { if (u != "") print u; u = $0; next }
         u != "" && /^[0-9][0-9]:[0-9][0-9]:/ { print u; u = ""; next }
         u != "" { u = u " " $0 }
         END { if (u != "") print u }' "$log" | sed 's/.*SPEECH OUTPUT: //'
}

# Checks that Orca said something matching a pattern.
said() {
    if ! speech | grep -q -- "$1"; then
        echo "FAILED: Orca did not say \"$1\"; it said:" >&2
        speech >&2
        exit 1
    fi
}

box=$(wait_for_window '!!!Внимание!!!')
xdotool windowactivate --sync "$box" 2>/dev/null || xdotool windowfocus --sync "$box"
xdotool key Return
window=$(wait_for_window 'Narravox Engine III')
xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"
sleep 3

# Types a command and waits up to six seconds for Orca to say something matching a pattern.
# Should a key still be lost on a loaded machine, the command is typed again, up to three times,
# the line cleared first.
play() {
    for _ in 1 2 3; do
        xdotool key End shift+Home BackSpace
        xdotool type --delay 60 "$1"
        xdotool key Return
        for _ in $(seq 12); do
            sleep 0.5
            if speech | grep -q -- "$2"; then
                return 0
            fi
        done
    done
    said "$2"
}
play 'осмотреться' ">осмотреться *Вы на старом деревянном причале"
play 'север' "Каменистая тропа петляет"
xdotool key End shift+Home BackSpace F3
sleep 3

said "Причал frame"
echo "ok: the window is announced with the first location"
said "Шторм третий день не отпускает остров"
echo "ok: the start-up text is spoken once the window has the focus"
said ">осмотреться *Вы на старом деревянном причале"
echo "ok: the reply to «осмотреться» is spoken"
said "^' *Тропа'"
said "Каменистая тропа петляет"
echo "ok: a move speaks the new location's title and its description"
said "^'север'"
echo "ok: F3 reads the recalled command"
if speech | grep -q "read only"; then
    echo "FAILED: something was announced as read-only:" >&2
    speech | grep "read only" >&2
    exit 1
fi
echo "ok: nothing was announced as read-only"
echo "Orca's log: $log"
