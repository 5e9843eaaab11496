#!/usr/bin/env bash
# Starts the editor under Xvfb, waits for its "Korvale" window, presses Enter (Quit is the
# default button) and expects the program to exit with status 0.
set -u
editor=$1
exec xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    editor=$1
    "$editor" >/dev/null &
    pid=$!
    window=$(timeout 20 xdotool search --sync --onlyvisible --name "^Korvale\$" | head -n 1)
    if [ -z "$window" ]; then
        echo "no Korvale window appeared" >&2
        kill $pid 2>/dev/null
        exit 1
    fi
    xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
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
    echo "editor still running after Enter" >&2
    kill $pid
    exit 1
' bash "$editor"
