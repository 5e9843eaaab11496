#!/usr/bin/env bash
# The Debian packages as a user gets them: made from the build by CPack, installed with apt-get
# over the single korvale package of 1.0 (one made here with the same files, as that release
# had them), then removed again. Checks that the upgrade goes through without a file clash, that
# each part ends up in its own package where the desktop looks for it, and that gdk-pixbuf's and
# shared-mime-info's triggers ran (the loader cache names the loader, the database the types).
#   install-test.sh CPACK BUILD_DIR
# It changes the system, so it runs only as root and only where no korvale package is installed
# (exit 77: skipped), and it removes everything it installed, whatever happens.
set -euo pipefail
cpack=$1
build=$2
packages=(korvale korvale-common gimp-korvale korvale-pixbuf-loader
          qt6-image-formats-plugin-korvale qt5-image-formats-plugin-korvale)
if [ "$(id -u)" -ne 0 ]; then
    echo "install-test: skipped, installing packages needs root"
    exit 77
fi
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
    if [ -n "$status" ] && [ "$status" != not-installed ]; then
        echo "install-test: skipped, $p is installed on this system and stays as it is"
        exit 77
    fi
done
work=$(mktemp -d)
cleanup() {
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -q "${packages[@]}" >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

"$cpack" -G DEB -B "$work/new" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; exit 1; }
debs=("$work"/new/*.deb)
built=$(for deb in "${debs[@]}"; do dpkg-deb -f "$deb" Package; done | sort | xargs)
[ "$built" = "gimp-korvale korvale korvale-common korvale-pixbuf-loader qt5-image-formats-plugin-korvale qt6-image-formats-plugin-korvale" ] ||
    fail "the packages made are: $built"

# 1.0's single package: every file of the parts, owned by korvale, with its own doc folder.
old=$work/old
for deb in "${debs[@]}"; do dpkg-deb -x "$deb" "$old"; done
find "$old/usr/share/doc" -mindepth 1 -maxdepth 1 ! -name korvale -exec rm -rf {} +
mkdir "$old/DEBIAN"
cat >"$old/DEBIAN/control" <<CONTROL
Package: korvale
Version: 1.0
Architecture: $(dpkg --print-architecture)
Maintainer: The Korvale developers <developers@korvale.org>
Description: editor and tool for SRB and MIP texture files
CONTROL
dpkg-deb --root-owner-group --build "$old" "$work/korvale_1.0.deb" >/dev/null
install_old() {
    dpkg -i "$work/korvale_1.0.deb" >"$work/old.log" 2>&1 || { cat "$work/old.log"; exit 1; }
}
installed() {  # PACKAGE...: each installed and configured at 1.0-1
    local p version
    for p in "$@"; do
        version=$(dpkg-query -W -f='${Status} ${Version}' "$p" 2>/dev/null || true)
        [ "$version" = "install ok installed 1.0-1" ] || fail "$p is '$version', not 1.0-1 installed"
    done
}

# The parts first, while korvale 1.0 still holds their files: each must take its files over (its
# Replaces), korvale 1.0 being deconfigured until it is upgraded (its Breaks); dpkg says so and
# exits non-zero, as it does for any package it leaves unconfigured. apt-get may well upgrade
# korvale first, where no Replaces is needed, so this order is forced with dpkg.
install_old
parts=()
for deb in "${debs[@]}"; do
    [ "$(dpkg-deb -f "$deb" Package)" = korvale ] || parts+=("$deb")
done
dpkg --auto-deconfigure -i "${parts[@]}" >"$work/parts.log" 2>&1 || true
if grep -q "trying to overwrite" "$work/parts.log"; then
    grep "trying to overwrite" "$work/parts.log" >&2
    fail "a part does not take its files over from korvale 1.0"
fi
dpkg -i "$work"/new/korvale_*.deb >"$work/editor.log" 2>&1 ||
    { cat "$work/editor.log"; fail "korvale does not upgrade after its parts"; }
installed "${packages[@]}"
DEBIAN_FRONTEND=noninteractive apt-get purge -y -q "${packages[@]}" >/dev/null 2>&1

# As a user upgrades: every new package at once over korvale 1.0, with apt-get.
install_old
if ! DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${debs[@]}" \
    >"$work/apt.log" 2>&1; then
    cat "$work/apt.log"
    fail "apt-get does not install the packages over korvale 1.0"
fi
installed "${packages[@]}"
owner() { dpkg-query -S "$1" 2>/dev/null | cut -d: -f1; }
triplet=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
loaders=/usr/lib/$triplet/gdk-pixbuf-2.0/2.10.0/loaders
while read -r package file; do
    [ -e "$file" ] || fail "$file is not installed"
    [ "$(owner "$file")" = "$package" ] || fail "$file belongs to '$(owner "$file")', not $package"
    [ -f "/usr/share/doc/$package/copyright" ] || fail "$package has no copyright file"
done <<FILES
korvale /usr/bin/korvale
korvale /usr/bin/korvale-tool
korvale /usr/share/thumbnailers/org.korvale.Korvale.thumbnailer
korvale-common /usr/share/mime/packages/org.korvale.Korvale.xml
gimp-korvale /usr/lib/gimp/2.0/plug-ins/korvale/korvale
korvale-pixbuf-loader $loaders/libpixbufloader-korvale.so
qt6-image-formats-plugin-korvale /usr/lib/$triplet/qt6/plugins/imageformats/libkorvale_imageformat.so
qt5-image-formats-plugin-korvale /usr/lib/$triplet/qt5/plugins/imageformats/libkorvale_imageformat.so
qt5-image-formats-plugin-korvale /usr/lib/$triplet/qt5/plugins/kf5/thumbcreator/korvalethumbnail.so
FILES
cache=$loaders.cache
grep -q libpixbufloader-korvale.so "$cache" || fail "gdk-pixbuf's trigger did not add the loader to $cache"
[ -f /usr/share/mime/application/x-korvale-mip.xml ] ||
    fail "shared-mime-info's trigger did not add the MIP file type"

# Removing the loader takes it out of the cache again.
DEBIAN_FRONTEND=noninteractive apt-get purge -y -q korvale-pixbuf-loader >/dev/null 2>&1 ||
    fail "the loader does not remove"
! grep -q libpixbufloader-korvale.so "$cache" || fail "$cache still names the removed loader"

echo "install-test: $failures of the checks failed"
[ "$failures" -eq 0 ]
