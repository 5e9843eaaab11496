#!/bin/bash
# The Qt 5 plugin as a Qt 5 application meets it: through QT_PLUGIN_PATH, on textures that
# korvale-tool made in every pixel type, as MIP and SRB files (one renamed), and a damaged file.
#   qt5-test.sh KORVALE_TOOL KORVALE_QT5_READ PLUGIN_DIR
set -u
tool=$1 reader=$2
export QT_PLUGIN_PATH=$3 QT_QPA_PLATFORM=offscreen
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
# A 64 x 32 picture, colour across and alpha down, so every type keeps something of both.
/usr/bin/python3 - "$work/source.png" <<'PY'
import struct, sys, zlib
w, h = 64, 32
rows = b"".join(b"\0" + b"".join(bytes((x * 4, y * 8, 255 - x * 4, 255 - y * 8)) for x in range(w))
                for y in range(h))
def chunk(t, d): return struct.pack(">I", len(d)) + t + d + struct.pack(">I", zlib.crc32(t + d))
open(sys.argv[1], "wb").write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
                              + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))
PY
# Every pixel type (codes 1 and 2 are the layout of 0) and a palette per level, as MIP and SRB.
for type in 0 0p 3 4 5; do
    for kind in mip srb; do
        t="$work/t$type.$kind"
        options=(--type "${type%p}")
        [ "$type" = 0p ] && options+=(--palette per-level)
        "$tool" import "$work/source.png" "$t" "${options[@]}" -f -q &&
            "$tool" export "$t" "$t.png" -f -q || { echo "FAIL: making $t"; failed=1; continue; }
        "$reader" "$t" "$t.png" || { echo "FAIL: type $type $kind"; failed=1; }
    done
done
# Known by its first bytes whatever it is called; a file cut in its header reads as an error.
cp "$work/t5.mip" "$work/renamed.dat"
"$reader" "$work/renamed.dat" "$work/t5.mip.png" | grep -q '^same mip 64x32$' ||
    { echo "FAIL: a renamed MIP file"; failed=1; }
head -c 30 "$work/t3.mip" >"$work/cut.mip"
if "$reader" "$work/cut.mip" "$work/t3.mip.png"; then echo "FAIL: a cut file read"; failed=1; fi
echo "qt5-test: $([ $failed = 0 ] && echo passed || echo FAILED)"
exit $failed
