#!/usr/bin/env bash
# Installs the build into a fresh prefix and checks what a desktop needs from it: the programs,
# the plugin, the menu entry, the icons, file types that shared-mime-info and the desktop
# database accept and tie to Korvale (and no others: PNG pictures stay with their own viewer),
# the AppStream metainfo, the manual pages and completion, and the thumbnailer entry run as a
# file manager runs it.
#   install-test.sh CMAKE BUILD_DIR
set -euo pipefail
cmake=$1
build=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
id=org.korvale.Korvale

"$cmake" --install "$build" --prefix "$prefix" >/dev/null

for program in korvale korvale-tool; do
    [ -x "$prefix/bin/$program" ] || fail "bin/$program is not installed"
done
for file in share/applications/$id.desktop share/mime/packages/$id.xml \
    share/metainfo/$id.metainfo.xml share/thumbnailers/$id.thumbnailer \
    share/icons/hicolor/scalable/apps/$id.svg \
    share/icons/hicolor/scalable/mimetypes/application-x-korvale-srb.svg \
    share/icons/hicolor/scalable/mimetypes/application-x-korvale-mip.svg \
    share/man/man1/korvale.1.gz share/man/man1/korvale-tool.1.gz \
    share/bash-completion/completions/korvale-tool; do
    [ -f "$prefix/$file" ] || fail "$file is not installed"
done
# Qt's plugin folder below the prefix, wherever this Qt keeps it (lib/<triplet>/qt6/plugins).
plugins=$(find "$prefix" -path '*/qt6/plugins/imageformats/libkorvale_imageformat.so')
[ -n "$plugins" ] || fail "the image plugin is not in an imageformats folder of Qt's plugins"

# Qt applications read every level through the installed plugin: the plugin's own tests, with
# Qt looking in the prefix's plugin folder (and the system's) but not in the build.
plugin_tests=$build/tests/plugin/korvale_plugin_tests
if [ -n "$plugins" ] && [ -x "$plugin_tests" ]; then
    qt_plugins=$(dirname "$(dirname "$plugins")")
    QT_PLUGIN_PATH=$qt_plugins QT_QPA_PLATFORM=offscreen "$plugin_tests" >/dev/null 2>&1 ||
        fail "Qt does not read SRB and MIP files through the plugin installed in $qt_plugins"
fi
# The Qt 5 plugins (where the build has them) go below the prefix too, never into the system's
# Qt 5: the image plugin, and the thumbnail plugin in KIO's thumbcreator folder.
for built in plugin/qt5/imageformats/libkorvale_imageformat.so \
    kio/kf5/thumbcreator/korvalethumbnail.so; do
    [ -f "$build/$built" ] || continue
    name=$(basename "$built") folder=$(basename "$(dirname "$built")")
    [ -n "$(find "$prefix" -path "*/qt5/plugins/*$folder/$name")" ] ||
        fail "$name is not in the $folder folder of Qt 5's plugins below the prefix"
done

# A PNG starts with its 8-byte signature, then the IHDR chunk: width and height big-endian at
# bytes 16 to 23.
png_size() {  # FILE: "WIDTH HEIGHT", or nothing when FILE is not a PNG
    [ "$(od -An -tx1 -N8 "$1" | tr -d ' \n')" = 89504e470d0a1a0a ] || return 0
    od -An -tu4 --endian=big -j16 -N8 "$1" | xargs
}
for size in 16 24 32 48 64 128 256; do
    icon=$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png
    if [ ! -f "$icon" ]; then
        fail "the ${size} px icon is not installed"
        continue
    fi
    [ "$(png_size "$icon")" = "$size $size" ] || fail "$icon is not a $size x $size PNG"
done

# Any remark from update-mime-database means the package has a mistake it chose to skip. The
# prefix goes on the data path so that it does not remark on the prefix being off the path.
remarks=$(XDG_DATA_DIRS=$prefix/share update-mime-database "$prefix/share/mime" 2>&1) || fail "update-mime-database failed"
[ -z "$remarks" ] || fail "update-mime-database: $remarks"
mime=$prefix/share/mime
for type in srb mip; do
    [ -f "$mime/application/x-korvale-$type.xml" ] || fail "application/x-korvale-$type is not registered"
    grep -qxF "50:application/x-korvale-$type:*.$type" "$mime/globs2" ||
        fail "*.$type is not a glob of application/x-korvale-$type"
    grep -qxF "application/x-korvale-$type:application-x-korvale-$type" "$mime/icons" ||
        fail "application/x-korvale-$type does not name its icon"
done
# Under each type's header comes its rule: ">0=" (offset 0), the length as 2 bytes big-endian,
# the bytes themselves and a newline.
rule_of() {  # TYPE: the rule's bytes in hex
    sed -n "/^\[50:application\/x-korvale-$1\]\$/{n;p;q}" "$mime/magic" | od -An -tx1 | tr -d ' \n'
}
[ "$(rule_of srb)" = 3e303d0004204252530a ] || fail "application/x-korvale-srb does not match ' BRS' at offset 0"
[ "$(rule_of mip)" = 3e303d000450494d200a ] || fail "application/x-korvale-mip does not match 'PIM ' at offset 0"

apps=$prefix/share/applications
update-desktop-database "$apps" || fail "update-desktop-database failed"
for type in srb mip; do
    grep -qxF "application/x-korvale-$type=$id.desktop;" "$apps/mimeinfo.cache" ||
        fail "$id.desktop does not open application/x-korvale-$type"
done

# What a desktop asks GIO: the prefix's data first, then the system's; no user folders. The
# programs are on PATH, or GIO hides the entry for its TryExec.
empty=$prefix/empty
mkdir -p "$empty"
gio_mime() {
    env PATH="$prefix/bin:$PATH" XDG_DATA_DIRS="$prefix/share:/usr/local/share:/usr/share" \
        XDG_DATA_HOME="$empty" \
        XDG_CONFIG_HOME="$empty" XDG_CONFIG_DIRS="$empty" gio mime "$1" 2>&1
}
answer=$(gio_mime application/x-korvale-mip)
[[ $answer == *"Default application for “application/x-korvale-mip”: $id.desktop"* ]] ||
    fail "gio does not see Korvale open MIP files (so the next check proves nothing): $answer"
answer=$(gio_mime image/png)
[[ $answer != *"$id"* ]] || fail "gio names Korvale for PNG pictures: $answer"

# The thumbnailer as a file manager runs it: the Exec line split into words, %s, %i and %o
# replaced, the program found on PATH, the output a fresh name in a private folder.
[ "$(PATH=$prefix/bin:$PATH korvale-tool --version)" = "korvale-tool 1.0" ] ||
    fail "the installed korvale-tool does not say its version"
work=$prefix/thumbnail
mkdir -p "$work/out"
convert -size 64x32 gradient:red-blue "$work/picture.png"
"$prefix/bin/korvale-tool" import "$work/picture.png" "$work/plant.mip" >/dev/null ||
    fail "cannot make a texture to draw"
exec_line=$(sed -n 's/^Exec=//p' "$prefix/share/thumbnailers/$id.thumbnailer")
read -ra words <<<"$exec_line"
command=()
for word in "${words[@]}"; do
    case $word in
    %s) command+=(128) ;;
    %i) command+=("$work/plant.mip") ;;
    %o) command+=("$work/out/thumbnail.png") ;;
    *) command+=("$word") ;;
    esac
done
(cd / && PATH=$prefix/bin:/usr/bin:/bin "${command[@]}") || fail "the thumbnailer's Exec line failed: ${command[*]}"
[ "$(png_size "$work/out/thumbnail.png")" = "64 32" ] ||
    fail "the thumbnailer did not write the 64 x 32 top level as a PNG"

if [ "$failures" -ne 0 ]; then
    exit 1
fi
echo "installed and registered in $prefix"
