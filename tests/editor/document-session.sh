#!/usr/bin/env bash
# A session under Xvfb with openbox on each screen of KORVALE_SCREENS (by default 1366x768 and
# 1920x1080; 1024x600 still puts the Texture window's bottom edge off the screen): a picture named on the command line is
# imported (unsaved), Ctrl+T opens the Texture window beside or below the dialog and wholly on
# the screen, and Quit asks "Save changes?": Cancel keeps the program, Discard ends it.
# KORVALE_SHOTS, when set, names a folder for screenshots of each screen.
#   document-session.sh EDITOR
set -u
editor=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
convert -size 64x64 xc:red "$work/leaf.png" || { echo "convert failed" >&2; exit 1; }
for screen in ${KORVALE_SCREENS:-1366x768 1920x1080}; do
    w=${screen%x*}
    h=${screen#*x}
    xvfb-run -a -s "-screen 0 ${screen}x24" bash -c '
        source "$1"
        editor=$2 picture=$3 w=$4 h=$5 screen=$6
        openbox >/dev/null 2>&1 &
        wm=$!
        sleep 1
        korvale_windows() { xdotool search --onlyvisible --name "^Korvale\$" | wc -l; }
        start_editor "$editor" "$picture"
        open_texture_window "imported: leaf.png\\* — Texture"
        sleep 1
        check_placement "$screen" "$w" "$h"
        [ -n "${KORVALE_SHOTS:-}" ] && import -window root "$KORVALE_SHOTS/session-$screen.png"
        focus "$dialog"
        sleep 0.3
        xdotool key Return  # Quit: the set is unsaved
        sleep 1
        [ "$(korvale_windows)" = 2 ] || fail "$screen: Quit did not ask"
        [ -n "${KORVALE_SHOTS:-}" ] && import -window root "$KORVALE_SHOTS/session-$screen-ask.png"
        xdotool key Escape  # Cancel
        sleep 1
        kill -0 "$pid" 2>/dev/null || fail "$screen: Cancel ended the program"
        [ "$(korvale_windows)" = 1 ] || fail "$screen: the question stayed after Cancel"
        focus "$dialog"
        sleep 0.3
        xdotool key Return
        sleep 1
        xdotool key Tab Return  # from Save to Discard
        for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -0 "$pid" 2>/dev/null && fail "$screen: Discard did not end the program"
        wait "$pid"
        status=$?
        kill "$wm" 2>/dev/null
        echo "$screen: Discard ended the program with status $status"
        exit $status
    ' bash "$(dirname "$0")/session.sh" "$editor" "$work/leaf.png" "$w" "$h" "$screen" || exit 1
done
