#!/usr/bin/env bash
# Installs the build into a fresh prefix and checks what a desktop needs from it: the programs,
# the menu entry, the icons at their theme sizes, and file types that shared-mime-info and the
# desktop database accept and tie to Korvale.
#   install-test.sh CMAKE BUILD_DIR
set -euo pipefail
cmake=$1
build=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

"$cmake" --install "$build" --prefix "$prefix" >/dev/null

for program in korvale korvale-tool; do
    [ -x "$prefix/bin/$program" ] || fail "bin/$program is not installed"
done
for file in share/applications/korvale.desktop share/mime/packages/korvale.xml; do
    [ -f "$prefix/$file" ] || fail "$file is not installed"
done

# A PNG starts with its 8-byte signature, then the IHDR chunk: width and height big-endian at
# bytes 16 to 23.
for size in 16 32 48 256; do
    icon=$prefix/share/icons/hicolor/${size}x${size}/apps/korvale.png
    if [ ! -f "$icon" ]; then
        fail "the ${size} px icon is not installed"
        continue
    fi
    signature=$(od -An -tx1 -N8 "$icon" | tr -d ' \n')
    [ "$signature" = 89504e470d0a1a0a ] || fail "$icon is not a PNG"
    read -r width height < <(od -An -tu4 --endian=big -j16 -N8 "$icon")
    [ "$width $height" = "$size $size" ] || fail "$icon is ${width}x$height, not ${size}x$size"
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
    grep -qxF "application/x-korvale-$type=korvale.desktop;" "$apps/mimeinfo.cache" ||
        fail "korvale.desktop does not open application/x-korvale-$type"
done

if [ "$failures" -ne 0 ]; then
    exit 1
fi
echo "installed and registered in $prefix"
