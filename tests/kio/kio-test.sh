#!/bin/bash
# The KIO thumbnail plugin as Dolphin's previews meet it: KIO lists it with Korvale's two MIME
# types, and its thumbnails of textures korvale-tool made (MIP and SRB, several pixel types) are
# the very pictures `korvale-tool thumbnail` draws; a damaged file or a picture gives none, and
# no crash.
# Each file is asked of the plugin directly and through KIO's preview job, which starts the
# thumbnail worker as Dolphin does.
#   kio-test.sh KORVALE_TOOL KORVALE_KIO_THUMBNAIL_TEST PLUGIN MIME_XML
set -u
tool=$1 asker=$2 plugin=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# KIO finds thumbnailers in kf5/thumbcreator below each plugin folder: the build's is two up.
# The preview job picks thumbnailers by MIME type, so Korvale's types go into a MIME database of
# the test's own; thumbnails are cached in the test's folder, never the user's.
mkdir -p "$work/share/mime/packages" "$work/runtime"
cp "$4" "$work/share/mime/packages/"
update-mime-database "$work/share/mime" >/dev/null 2>&1
chmod 700 "$work/runtime"
export QT_PLUGIN_PATH=$(dirname "$(dirname "$(dirname "$plugin")")") QT_QPA_PLATFORM=offscreen \
    XDG_DATA_DIRS=$work/share:/usr/share XDG_CACHE_HOME=$work/cache XDG_RUNTIME_DIR=$work/runtime \
    XDG_CONFIG_HOME=$work/config KDE_FORK_SLAVES=1
failed=0

listed=$("$asker" --list)
expected=$(printf 'korvalethumbnail\tKorvale textures (SRB, MIP)\tapplication/x-korvale-srb;application/x-korvale-mip')
[ "$listed" = "$expected" ] || { echo "FAIL: KIO lists '$listed'"; failed=1; }

# A 256 x 128 picture, colour across and alpha down: its thumbnail of 128 is 128 x 64, halved.
/usr/bin/python3 - "$work/source.png" <<'PY'
import struct, sys, zlib
w, h = 256, 128
rows = b"".join(b"\0" + b"".join(bytes((x, y * 2, 255 - x, 255 - y * 2)) for x in range(w))
                for y in range(h))
def chunk(t, d): return struct.pack(">I", len(d)) + t + d + struct.pack(">I", zlib.crc32(t + d))
open(sys.argv[1], "wb").write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
                              + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))
PY
for type in 0 3 5; do
    for kind in mip srb; do
        t="$work/t$type.$kind"
        "$tool" import "$work/source.png" "$t" --type "$type" -f -q &&
            "$tool" thumbnail --size 128 "$t" "$t.png" -f -q ||
            { echo "FAIL: making $t"; failed=1; continue; }
        got=$("$asker" "$plugin" "$t" "$t.png")
        [ "$got" = "same 128x64" ] || { echo "FAIL: type $type $kind: $got"; failed=1; }
        got=$(timeout 30 "$asker" --preview "$t" "$t.png")
        [ "$got" = "same 128x64" ] || { echo "FAIL: preview of type $type $kind: $got"; failed=1; }
    done
done

# A file cut in its header, and a PNG picture named as a MIP file: no thumbnail, no crash.
head -c 30 "$work/t3.mip" >"$work/cut.mip"
cp "$work/source.png" "$work/picture.mip"
for bad in cut.mip picture.mip; do
    "$asker" "$plugin" "$work/$bad" "$work/t3.mip.png" >"$work/out" 2>&1
    status=$?
    [ $status = 3 ] || { echo "FAIL: $bad gave status $status: $(cat "$work/out")"; failed=1; }
done
timeout 30 "$asker" --preview "$work/cut.mip" "$work/t3.mip.png" >"$work/out" 2>&1
status=$?
[ $status = 3 ] || { echo "FAIL: preview of cut.mip gave status $status: $(cat "$work/out")"; failed=1; }
echo "kio-test: $([ $failed = 0 ] && echo passed || echo FAILED)"
exit $failed
