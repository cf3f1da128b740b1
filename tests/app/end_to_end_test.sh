#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Plays the real narravox window under Xvfb at 1024x768 as a player meets it: the warning box
# is dismissed, a Russian command typed and recalled with Shift+F3, the screen photographed and
# checked, and the game quit through its question box. A game folder without data files must
# end the program with a non-zero status after its error box.
#
# Usage: end_to_end_test.sh NARRAVOX NARRAVOX_PLY TEST_GAME_SOURCE CHECK_SCREENSHOT ARTEFACT_FOLDER
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

if [ "${1:-}" != --inside-display ]; then
    for tool in xvfb-run xdotool import; do
        if ! command -v "$tool" >/dev/null; then
            echo "skipped: $tool is not installed" >&2
            exit 77
        fi
    done
    # -noreset: the server must outlive the first program, whose exit may leave it clientless.
    exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp -noreset" "$0" --inside-display "$@"
fi
shift
narravox=$1 ply=$2 test_game=$3 check_screenshot=$4 artefacts=$5
# The window tests' game, compiled from its source into a folder.
write_test_game() {
    "$ply" build "$test_game" -o "$1" >/dev/null
}
mkdir -p "$artefacts"
work=$(mktemp -d)
pid=
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# wait_for_window NAME
source "$here/x11_windows.sh"

# Gives a window the keyboard and presses keys there, through the X server as a keyboard does.
keys_to() {
    local window=$1
    shift
    xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"
    xdotool key --delay 30 "$@"
}

# Waits for the program to end and sets `status` to its exit status.
wait_for_exit() {
    for _ in $(seq 100); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
        echo "FAILED: the program is still running" >&2
        return 1
    fi
    status=0
    wait "$pid" || status=$?
    pid=
}

export QT_QPA_PLATFORM=xcb
write_test_game "$work/game"
cd "$work/game"
"$narravox" &
pid=$!

box=$(wait_for_window '!!!Внимание!!!')
echo "ok: the warning box comes first"
if xdotool search --onlyvisible --name '^Narravox Engine III$' >/dev/null 2>&1; then
    echo "FAILED: the main window is visible before the warning is dismissed" >&2
    exit 1
fi
keys_to "$box" Return

window=$(wait_for_window 'Narravox Engine III')
geometry=$(xdotool getwindowgeometry "$window")
echo "$geometry"
grep -q 'Position: 0,0' <<<"$geometry" && grep -q 'Geometry: 1024x768' <<<"$geometry" || {
    echo "FAILED: the window does not cover the screen" >&2
    exit 1
}
# The keys take effect when the window gets to them, later on a busy machine: look again until
# the screen shows them, for ten seconds at most. Keys that never arrive (the window was not
# yet taking the keyboard when they were pressed, seen on a loaded machine) are pressed again,
# up to three times, the command line cleared first; then the last look is judged.
shot="$artefacts/narravox-1024x768.png"
expected=('>осм' '  Вы во дворе. Здесь старый колодец.' 'осм' ' Двор')
for attempt in 1 2 3; do
    xdotool windowfocus --sync "$window"
    if [ "$attempt" -gt 1 ]; then
        echo "the keys did not show; pressing them again (attempt $attempt)"
        xdotool key ctrl+BackSpace ctrl+BackSpace
    fi
    xdotool type --delay 30 'осм'
    xdotool key Return
    xdotool key shift+F3
    shown=no
    for _ in $(seq 20); do
        sleep 0.5
        import -window root "$shot"
        if "$check_screenshot" "$shot" "${expected[@]}" >/dev/null 2>&1; then
            shown=yes
            break
        fi
    done
    [ "$shown" = yes ] && break
done
echo "screenshot: $shot"
"$check_screenshot" "$shot" "${expected[@]}"

# Quit: the line recalled by F3 is replaced, and the question box is answered Yes.
xdotool key ctrl+BackSpace
xdotool type --delay 30 'quit'
xdotool key Return
question=$(wait_for_window 'Выход')
keys_to "$question" Return
wait_for_exit
[ "$status" = 0 ] || { echo "FAILED: quitting ended with status $status" >&2; exit 1; }
echo "ok: quit through the question box"

# Without data files only the error box shows, then the program ends with a failure status.
mkdir "$work/empty"
cd "$work/empty"
"$narravox" &
pid=$!
error=$(wait_for_window 'Ошибка')
keys_to "$error" Return
wait_for_exit
[ "$status" != 0 ] || { echo "FAILED: a missing vocabulary ended with status 0" >&2; exit 1; }
echo "ok: missing data files end the program with status $status"

# Error boxes are captioned with the program's own name up to its first full stop, lower case
# after the first letter, whatever its alphabet: started through a link named ИГРА.exe, the
# read failure of a data file cut short shows a box named "Игра".
mkdir "$work/bin"
ln -s "$narravox" "$work/bin/ИГРА.exe"
write_test_game "$work/short"
printf SC >"$work/short/Scenario.ply"
cd "$work/short"
"$work/bin/ИГРА.exe" &
pid=$!
error=$(wait_for_window 'Игра')
keys_to "$error" Return
wait_for_window 'Narravox Engine III' >/dev/null
kill "$pid"
wait "$pid" 2>/dev/null || true
pid=
echo "ok: the error box is captioned with the program's Cyrillic name"

# At every scale the glyphs are drawn with a whole number of screen pixels per font pixel (the
# largest the scale allows), and the layout follows: the title from the top left, the prompt
# in the bottom 24 font pixels.
cd "$work/game"
for factor in 1.25 1.5 2 3; do
    QT_SCALE_FACTOR=$factor "$narravox" &
    pid=$!
    box=$(wait_for_window '!!!Внимание!!!')
    keys_to "$box" Return
    wait_for_window 'Narravox Engine III' >/dev/null
    whole=${factor%.*}
    shot="$artefacts/narravox-scale-$factor.png"
    for _ in $(seq 20); do
        sleep 0.5
        import -window root "$shot"
        "$check_screenshot" --scale "$whole" "$shot" ' Двор' >/dev/null 2>&1 && break
    done
    "$check_screenshot" --scale "$whole" "$shot" ' Двор'
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    pid=
    echo "ok: QT_SCALE_FACTOR=$factor draws at $whole screen pixels per font pixel"
done
