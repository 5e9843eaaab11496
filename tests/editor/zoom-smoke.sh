#!/usr/bin/env bash
# Starts the editor under Xvfb with a MIP file named on the command line, opens the texture
# window with Ctrl+T (the 16 x 16 level opens at 16x, the largest step that fits), zooms out one
# step (Ctrl+minus) and looks at the screen: every texel must be an 8-pixel square of its
# colour, the transparent ones over the checkerboard.
# Then Quit still ends the program with status 0.
set -u
editor=$1
fixture=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$fixture" make "$work/quads.mip" || exit 1
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    source "$1"
    fixture=$3 work=$4
    start_editor "$2" "$work/quads.mip"
    open_texture_window ".* Texture"
    focus "$viewer"
    sleep 0.5
    xdotool key ctrl+minus
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
    quit_with_enter "$dialog"
' bash "$(dirname "$0")/session.sh" "$editor" "$fixture" "$work"
