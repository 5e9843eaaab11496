#!/usr/bin/env bash
# Screenshots of a texture in the desktop's own applications, for the README: Eye of GNOME
# (through the gdk-pixbuf loader), Gwenview (through the Qt 5 image plugin) and GIMP (through
# the plug-in), each under Xvfb with openbox, on a MIP file korvale-tool makes here. Everything
# is taken from the build folder, nothing is installed. Not part of ./dev.sh test.
#   scripts/desktop-screenshots.sh [BUILD_DIR [OUT_DIR]]   (default: build, docs)
# Needs eog, gwenview and gimp (apt-get install eog gwenview gimp).
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
out=$(realpath "${2:-docs}")
for program in eog gwenview gimp xvfb-run openbox import xdotool; do
    command -v "$program" >/dev/null || { echo "desktop-screenshots: $program is not installed" >&2; exit 1; }
done
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A 256 x 256 picture with colour across and alpha falling off towards the corners, as a
# palettised MIP file with its whole chain of levels.
convert -size 256x256 radial-gradient:white-black \( -size 256x256 plasma:steelblue-orange -seed 7 \) \
    +swap -alpha off -compose CopyOpacity -composite "$work/source.png"
"$build/tools/korvale-tool" import "$work/source.png" "$work/texture.mip" -q --type pal4
texture=$work/texture.mip

# The file types, as the package installs them, in a data folder of this run's own.
mkdir -p "$work/share/mime/packages"
cp editor/desktop/org.korvale.Korvale.mime.xml "$work/share/mime/packages/org.korvale.Korvale.xml"
cp /usr/share/mime/packages/freedesktop.org.xml "$work/share/mime/packages/"
export XDG_DATA_DIRS=$work/share:/usr/share
update-mime-database "$work/share/mime"
# gdk-pixbuf's loaders: the system's and the built one.
loader=$(find "$build/pixbuf" -name 'libpixbufloader-korvale.so' | head -1)
query=$(pkg-config --variable=gdk_pixbuf_query_loaders gdk-pixbuf-2.0)
moduledir=$(pkg-config --variable=gdk_pixbuf_moduledir gdk-pixbuf-2.0)
"$query" "$moduledir"/*.so "$loader" >"$work/loaders.cache"
export GDK_PIXBUF_MODULE_FILE=$work/loaders.cache
# GIMP's folder for this run, with the built plug-in beside GIMP's own.
gimpdir=$work/gimp
mkdir -p "$gimpdir/plug-ins/korvale"
cp "$build/gimp/plug-ins/korvale/korvale" "$gimpdir/plug-ins/korvale/"
export HOME=$work/home
mkdir -p "$HOME"

shoot() {  # NAME WINDOW-NAME COMMAND...: start COMMAND, wait for its window, take the screen
    local name=$1 title=$2
    shift 2
    xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
        name=$1 title=$2 out=$3
        shift 3
        openbox >/dev/null 2>&1 &
        sleep 1
        "$@" >"$out/.$name.log" 2>&1 &
        app=$!
        for _ in $(seq 120); do
            window=$(xdotool search --onlyvisible --name "$title" 2>/dev/null | head -1)
            [ -n "$window" ] && break
            sleep 1
        done
        [ -n "$window" ] || { echo "no window named $title" >&2; cat "$out/.$name.log" >&2; exit 1; }
        sleep "${SETTLE:-4}"
        xdotool windowactivate "$window" 2>/dev/null || true
        sleep 1
        import -window root "$out/in-$name.png"
        kill "$app" 2>/dev/null || true
    ' shoot "$name" "$title" "$work" "$@"
    mv "$work/in-$name.png" "$out/in-$name.png"
    echo "desktop-screenshots: $out/in-$name.png"
}

shoot eog "texture.mip" dbus-run-session -- eog --new-instance "$texture"
QT_PLUGIN_PATH=$build/plugin/qt5 shoot gwenview "texture.mip" dbus-run-session -- gwenview "$texture"
SETTLE=10 GIMP2_DIRECTORY=$gimpdir shoot gimp "texture" gimp --no-splash -d -f "$texture"
