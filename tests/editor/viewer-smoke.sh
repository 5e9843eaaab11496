#!/usr/bin/env bash
# Starts the editor under Xvfb, presses Ctrl+T in its window and expects a "Texture" window to
# appear beside it; then Quit still ends the program with status 0. With SCREENSHOTS set to a
# folder, the screen is saved there (ImageMagick's import) once both windows are up.
set -u
exec xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    source "$1"
    start_editor "$2"
    open_texture_window Texture
    echo "Texture window $viewer beside Korvale window $dialog"
    if [ -n "${SCREENSHOTS:-}" ]; then
        sleep 0.5
        import -window root "$SCREENSHOTS/screen.png"
    fi
    quit_with_enter "$dialog"
' bash "$(dirname "$0")/session.sh" "$1"
