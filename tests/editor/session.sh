# Shared by the end-to-end scripts, sourced inside an Xvfb session: start the editor, find its
# windows, focus them, and end with Quit, expecting the program to exit with status 0. The
# editor's settings go to a folder of the session's own, never to the user's.

if [ -z "${KORVALE_TEST_CONFIG:-}" ]; then
    KORVALE_TEST_CONFIG=$(mktemp -d)
    trap 'rm -rf "$KORVALE_TEST_CONFIG"' EXIT
fi
export XDG_CONFIG_HOME=$KORVALE_TEST_CONFIG

# start_editor EDITOR [ARGS...]: runs it in the background; its pid is in $pid.
start_editor() {
    "$@" >/dev/null &
    pid=$!
}

fail() {
    echo "$1" >&2
    kill "$pid" 2>/dev/null
    exit 1
}

focus() { xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"; }

# wait_window TITLE: prints the id of the visible window with that exact title, or fails.
wait_window() {
    local id
    id=$(timeout 20 xdotool search --sync --onlyvisible --name "^$1\$" | head -n 1)
    [ -n "$id" ] || fail "no $1 window appeared"
    echo "$id"
}

# open_texture_window TITLE: waits for the main dialog, presses Ctrl+T in it and waits for the
# Texture window titled TITLE (a pattern); their ids are in $dialog and $viewer.
open_texture_window() {
    dialog=$(wait_window Korvale) || exit 1
    focus "$dialog"
    sleep 0.5
    xdotool key ctrl+t
    viewer=$(wait_window "$1") || fail "Ctrl+T opened no Texture window"
}

# quit_with_enter DIALOG: Enter presses Quit, the default button; the exit status is the editor's.
quit_with_enter() {
    focus "$1"
    sleep 0.5
    xdotool key Return
    for _ in $(seq 1 100); do
        if ! kill -0 "$pid" 2>/dev/null; then
            wait "$pid"
            local status=$?
            echo "editor exited with status $status"
            exit $status
        fi
        sleep 0.1
    done
    fail "editor still running after Enter"
}

# frame_of WINDOW: prints the window's frame rectangle "X Y WIDTH HEIGHT", title bar and borders
# included. Taken from xwininfo's absolute position and the frame extents the window manager
# sets: xdotool's getwindowgeometry adds the frame's offset a second time under openbox.
frame_of() {
    local x y w h extents
    read -r x y w h <<<"$(xwininfo -id "$1" | awk -F: '
        /Absolute upper-left X/ { x = $2 } /Absolute upper-left Y/ { y = $2 }
        /^ *Width/ { w = $2 } /^ *Height/ { h = $2 }
        END { print x + 0, y + 0, w + 0, h + 0 }')"
    extents=$(xprop -id "$1" _NET_FRAME_EXTENTS | sed -n 's/.*= *//p' | tr -d ' ')
    local left=0 right=0 top=0 bottom=0
    [ -n "$extents" ] && IFS=, read -r left right top bottom <<<"$extents"
    echo "$((x - left)) $((y - top)) $((w + left + right)) $((h + top + bottom))"
}

# check_placement LABEL SCREEN-WIDTH SCREEN-HEIGHT: prints where the dialog ($dialog) and the
# Texture window ($viewer) are (their frames), and fails unless the window is wholly on the
# screen and covers none of the dialog.
check_placement() {
    local dx dy dw dh vx vy vw vh
    read -r dx dy dw dh <<<"$(frame_of "$dialog")"
    read -r vx vy vw vh <<<"$(frame_of "$viewer")"
    echo "$1: dialog frame $dx,$dy ${dw}x$dh, Texture window frame $vx,$vy ${vw}x$vh"
    if [ $((vx < dx + dw && dx < vx + vw && vy < dy + dh && dy < vy + vh)) = 1 ]; then
        fail "$1: the Texture window covers the dialog"
    fi
    [ $((vx >= 0 && vy >= 0 && vx + vw <= $2 && vy + vh <= $3)) = 1 ] ||
        fail "$1: the Texture window is off the screen"
}
