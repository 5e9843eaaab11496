#!/usr/bin/env bash
# The external-edit round trip in the real program under Xvfb, for a pal4 and an argb4444 level.
# The desktop's default image editor is played by a stand-in: an xdg-open early in PATH (the
# program Qt asks to open a file on a desktop it does not know) that runs the fixture's "edit",
# which paints one pixel and saves the PNG as editors do, by renaming a new file over it. Each
# run opens a 4 x 4 MIP file, opens the Texture window (Ctrl+T), chooses Edit Level Externally
# (Ctrl+Shift+X), waits for the title to show the set changed, saves with Save MIP (typing the
# name into the chooser) and checks the saved level. Then Quit still ends the program with 0.
#   edit-smoke.sh EDITOR FIXTURE
set -u
editor=$1
fixture=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
cat >"$work/bin/xdg-open" <<SCRIPT
#!/bin/sh
# Stand-in for the desktop's image editor.
path=\${1#file://}
"$fixture" edit "\$path" && echo "\$path" >>"$work/edited"
SCRIPT
chmod +x "$work/bin/xdg-open"
for type in pal4 argb4444; do
    "$fixture" make-edit "$type" "$work/$type.mip" || exit 1
done
PATH="$work/bin:$PATH" xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    source "$1"
    fixture=$3 work=$4
    for type in pal4 argb4444; do
        start_editor "$2" "$work/$type.mip"
        open_texture_window "$type.mip — Texture"
        focus "$viewer"
        sleep 0.5
        xdotool key ctrl+shift+x
        wait_window "$type.mip\* — Texture" >/dev/null || fail "the edited $type level did not come back"
        echo "$type: the level came back from the stand-in editor"
        focus "$dialog"
        sleep 0.3
        xdotool key shift+Tab space  # Save MIP, just before Quit in the tab order
        chooser=$(wait_window "Save MIP...") || fail "Save MIP opened no chooser"
        sleep 0.5
        xdotool type --delay 20 "$work/saved-$type.mip"
        xdotool key Return
        for _ in $(seq 1 50); do [ -s "$work/saved-$type.mip" ] && break; sleep 0.1; done
        "$fixture" check-edit "$type" "$work/saved-$type.mip" >"$work/check" ||
            { cat "$work/check"; fail "$type: the saved level is not the edited one"; }
        echo "$type: Save MIP wrote the edited level"
        focus "$dialog"
        xdotool key Tab  # from Save MIP back to Quit
        sleep 0.3
        xdotool key Return
        for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -0 "$pid" 2>/dev/null && fail "editor still running after Enter"
        wait "$pid" || fail "editor exited with status $?"
        echo "$type: editor exited with status 0"
    done
' bash "$(dirname "$0")/session.sh" "$editor" "$fixture" "$work"
