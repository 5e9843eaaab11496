#!/usr/bin/env bash
# Prints an md5 list of what a build of korvale-tool makes of the pictures in
# bench/quality-images.txt: each imported eight ways, and each import exported with --all.
# A change that must not alter any output bytes compares this list before and after:
#   bench/identity.sh OLD/korvale-tool > before.txt
#   bench/identity.sh NEW/korvale-tool > after.txt && diff before.txt after.txt
# bench/identity.md5 is the list as it stands (Debian 12's picture packages, gcc 12, x86-64):
#   bench/identity.sh build/tools/korvale-tool | diff bench/identity.md5 -
set -euo pipefail
tool=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
work=${IDENTITY_WORK:-$(mktemp -d)}
mkdir -p "$work"
# The pictures as bench/quality.py prepares them (8-bit RGBA PNGs).
/usr/bin/python3 - "$here" "$work" <<'PY'
import sys
from pathlib import Path
sys.path.insert(0, sys.argv[1])
import quality
quality.prepare_sources(quality.read_image_list(Path(sys.argv[1]) / "quality-images.txt"),
                        Path(sys.argv[2]))
PY
ways=(
    "pal4:--type pal4"
    "pal4-dither:--type pal4 --dither"
    "pal4-per-level:--type pal4 --palette per-level"
    "pal4-per-level-dither:--type pal4 --palette per-level --dither"
    "argb4444-dither:--type argb4444 --dither"
    "rgb565:--type rgb565"
    "argb1555-dither:--type argb1555 --dither"
    "automatic:"
)
cd "$work"
for way in "${ways[@]}"; do
    name=${way%%:*}
    read -r -a options <<<"${way#*:}"
    rm -rf "out/$name"
    mkdir -p "out/$name"
    "$tool" import src/*.png -o "out/$name" -q -j "$(nproc)" "${options[@]}"
    for mip in "out/$name"/*.mip; do
        base=$(basename "$mip" .mip)
        "$tool" export "$mip" --all "out/$name/$base-levels" -q
    done
done
(cd out && find . -type f | LC_ALL=C sort | xargs md5sum)
