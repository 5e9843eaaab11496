#!/usr/bin/env bash
# Starts the editor under Xvfb, waits for its "Korvale" window, presses Enter (Quit is the
# default button) and expects the program to exit with status 0.
set -u
exec xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    source "$1"
    start_editor "$2"
    dialog=$(wait_window Korvale) || exit 1
    quit_with_enter "$dialog"
' bash "$(dirname "$0")/session.sh" "$1"
