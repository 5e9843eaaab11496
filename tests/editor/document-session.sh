#!/usr/bin/env bash
# A session under Xvfb with openbox on each screen of KORVALE_SCREENS (by default a low netbook
# screen, a common laptop, a full HD one and the full HD one at twice the scale, written WxH@2,
# as a high-density display runs): a picture named on the command line is imported (unsaved),
# Ctrl+T opens the Texture window beside or below the dialog and wholly on the screen, and Quit
# asks "Save changes?": Cancel keeps the program. The size then makes the round trip a user
# makes: typed as 2.5, Save SRB, Load SRB of that file and Save SRB again keep 2.5 in both
# companions. A value typed after that is unsaved again: Quit asks, Discard ends the program.
# KORVALE_SHOTS, when set, names a folder for screenshots of each screen.
#   document-session.sh EDITOR TOOL
set -u
editor=$1
tool=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
convert -size 64x64 xc:red "$work/leaf.png" || { echo "convert failed" >&2; exit 1; }
for entry in ${KORVALE_SCREENS:-1024x600 1366x768 1920x1080 1920x1080@2}; do
    screen=${entry%@*}
    scale=1
    [ "$entry" != "$screen" ] && scale=${entry#*@}
    w=${screen%x*}
    h=${screen#*x}
    mkdir -p "$work/$entry"
    QT_SCALE_FACTOR=$scale xvfb-run -a -s "-screen 0 ${screen}x24" bash -c '
        source "$1"
        editor=$2 picture=$3 w=$4 h=$5 screen=$6 tool=$7 out=$8
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

        # choose FILE: types a path into the file chooser that has just opened, and takes it.
        choose() {
            sleep 1
            xdotool type --delay 20 "$1"
            xdotool key Return
            sleep 1
        }
        # size_of SRB: the size in metres info reads from its companion.
        size_of() { "$tool" info "$1" | sed -n "s/^size in metres: \([^ ]*\) .*/\1/p"; }
        focus "$dialog"
        sleep 0.3
        xdotool key shift+Tab shift+Tab ctrl+a  # from Quit back to Size (Metres)
        xdotool type "2.5"
        xdotool key alt+s
        choose "$out/first.srb"
        [ "$(size_of "$out/first.srb")" = 2.5 ] || fail "$screen: Save SRB did not keep 2.5"
        focus "$dialog"
        xdotool key alt+l
        choose "$out/first.srb"
        focus "$dialog"
        xdotool key alt+s
        choose "$out/again.srb"
        [ "$(size_of "$out/again.srb")" = 2.5 ] || fail "$screen: loaded and saved again, the size was lost"
        echo "$screen: the size 2.5 came back through Load SRB"

        focus "$dialog"
        sleep 0.3
        xdotool key shift+Tab shift+Tab ctrl+a
        xdotool type "3"  # unsaved again
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
    ' bash "$(dirname "$0")/session.sh" "$editor" "$work/leaf.png" "$w" "$h" "$entry" "$tool" \
        "$work/$entry" || exit 1
done
