#!/usr/bin/env bash
# Starts the editor under Xvfb with a MIP file named on the command line, opens the texture
# window with Ctrl+T, zooms from 1x to 8x in three steps (Ctrl+=) and looks at the screen: every
# texel must be an 8-pixel square of its colour, the transparent ones over the checkerboard.
# Then Quit still ends the program with status 0.
set -u
editor=$1
fixture=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$fixture" make "$work/quads.mip" || exit 1
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    editor=$1 fixture=$2 work=$3
    "$editor" "$work/quads.mip" >/dev/null &
    pid=$!
    fail() {
        echo "$1" >&2
        kill $pid 2>/dev/null
        exit 1
    }
    focus() { xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"; }
    dialog=$(timeout 20 xdotool search --sync --onlyvisible --name "^Korvale\$" | head -n 1)
    [ -n "$dialog" ] || fail "no Korvale window appeared"
    focus "$dialog"
    sleep 0.5
    xdotool key ctrl+t
    viewer=$(timeout 20 xdotool search --sync --onlyvisible --name "^Texture\$" | head -n 1)
    [ -n "$viewer" ] || fail "Ctrl+T opened no Texture window"
    focus "$viewer"
    sleep 0.5
    for _ in 1 2 3; do
        xdotool key ctrl+equal
        sleep 0.2
    done
    # The window may still be drawing: a few looks before giving up.
    for attempt in 1 2 3 4 5; do
        sleep 0.5
        import -window root "$work/shot.png" || fail "no screenshot"
        if "$fixture" check "$work/shot.png"; then
            break
        fi
        [ "$attempt" -lt 5 ] || {
            cp "$work/shot.png" "${TMPDIR:-/tmp}/korvale-zoom-smoke.png"
            fail "the level is not on the screen at 8x (screenshot: ${TMPDIR:-/tmp}/korvale-zoom-smoke.png)"
        }
    done
    focus "$dialog"
    sleep 0.5
    xdotool key Return
    for _ in $(seq 1 100); do
        if ! kill -0 $pid 2>/dev/null; then
            wait $pid
            status=$?
            echo "editor exited with status $status"
            exit $status
        fi
        sleep 0.1
    done
    fail "editor still running after Enter"
' bash "$editor" "$fixture" "$work"
