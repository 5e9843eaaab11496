#!/usr/bin/env bash
# Starts the editor under Xvfb, presses Ctrl+T in its window and expects a "Texture" window to
# appear beside it; then Quit still ends the program with status 0. With SCREENSHOTS set to a
# folder, the screen is saved there (ImageMagick's import) once both windows are up.
set -u
editor=$1
exec xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    editor=$1
    "$editor" >/dev/null &
    pid=$!
    fail() {
        echo "$1" >&2
        kill $pid 2>/dev/null
        exit 1
    }
    dialog=$(timeout 20 xdotool search --sync --onlyvisible --name "^Korvale\$" | head -n 1)
    [ -n "$dialog" ] || fail "no Korvale window appeared"
    xdotool windowfocus --sync "$dialog" 2>/dev/null || xdotool windowfocus "$dialog"
    sleep 0.5
    xdotool key ctrl+t
    viewer=$(timeout 20 xdotool search --sync --onlyvisible --name "^Texture\$" | head -n 1)
    [ -n "$viewer" ] || fail "Ctrl+T opened no Texture window"
    echo "Texture window $viewer beside Korvale window $dialog"
    if [ -n "${SCREENSHOTS:-}" ]; then
        sleep 0.5
        import -window root "$SCREENSHOTS/screen.png"
    fi
    xdotool windowfocus --sync "$dialog" 2>/dev/null || xdotool windowfocus "$dialog"
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
' bash "$editor"
