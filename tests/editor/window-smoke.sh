#!/usr/bin/env bash
# On a 1280 x 800 screen under Xvfb: Ctrl+T opens the Texture window without covering the
# dialog; the window is then moved (clear of the dialog) and resized, the program quits, and started again it
# reopens the window where it was left. The settings live in a folder of the test's own.
#   window-smoke.sh EDITOR
set -u
exec xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
    source "$1"
    editor=$2
    # x y w h of a window, from xdotool.
    geometry() {
        xdotool getwindowgeometry --shell "$1" | awk -F= "/^(X|Y|WIDTH|HEIGHT)=/ { printf \"%s \", \$2 }"
    }
    start_editor "$editor"
    open_texture_window Texture
    sleep 0.5
    check_placement 1280x800 1280 800
    # Clear of the dialog where it opens (the middle of the screen): a placement over it would
    # be moved aside at the next start.
    xdotool windowmove "$viewer" 930 40 windowsize "$viewer" 340 700
    sleep 0.5
    read -r mx my mw mh <<<"$(geometry "$viewer")"
    echo "moved to $mx,$my ${mw}x$mh"
    ( quit_with_enter "$dialog" ) >/dev/null 2>&1
    for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$pid" 2>/dev/null && fail "editor still running after Enter"

    start_editor "$editor"
    dialog=$(wait_window Korvale) || exit 1
    viewer=$(wait_window Texture) || fail "the Texture window did not come back"
    sleep 0.5
    read -r rx ry rw rh <<<"$(geometry "$viewer")"
    echo "restored at $rx,$ry ${rw}x$rh"
    [ "$rx $ry $rw $rh" = "$mx $my $mw $mh" ] || fail "the Texture window came back elsewhere"
    quit_with_enter "$dialog"
' bash "$(dirname "$0")/session.sh" "$1"
