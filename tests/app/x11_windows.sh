# SPDX-License-Identifier: MIT
# Sourced by the window's end-to-end tests, which drive the real program under Xvfb.

# Waits up to thirty seconds for a visible window with this exact name; prints its id.
wait_for_window() {
    for _ in $(seq 300); do
        if id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1) &&
            [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        sleep 0.1
    done
    echo "no window named \"$1\" appeared" >&2
    xdotool search --name . getwindowname %@ >&2 || true
    return 1
}
