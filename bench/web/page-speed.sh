#!/usr/bin/env bash
# Measures the page's two waits natively and in WebAssembly under node, in the same run on the
# same machine: bench/web/PageSpeed.cpp built against build/ (scripts: ./dev.sh test or
# cmake --preset release) and against build-wasm/ (scripts/wasm.sh build).
set -euo pipefail
cd "$(dirname "$0")/../.."
export NODE_PATH=/usr/share/nodejs
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
incs=()
for d in fileio formats srb texture operations; do incs+=(-I"$d"); done
native=() wasm=()
for d in operations texture srb formats fileio; do
    native+=("build/$d/libkorvale_$d.a")
    wasm+=("build-wasm/$d/libkorvale_$d.a")
done
g++ -std=c++20 -O3 "${incs[@]}" bench/web/PageSpeed.cpp \
    "${native[@]}" \
    $(pkg-config --libs spng libdeflate) -o "$work/native"
em++ -std=c++20 -O3 -msimd128 -msse2 -include wasm/LibcxxCompat.h "${incs[@]}" bench/web/PageSpeed.cpp \
    "${wasm[@]}" build-wasm/third_party/libkorvale_spng.a \
    build-wasm/third_party/libkorvale_zlib.a build-wasm/third_party/libkorvale_deflate.a \
    build-wasm/wasm/libkorvale_wasm_memory.a -sENVIRONMENT=node -sNODERAWFS=1 -sALLOW_MEMORY_GROWTH=1 -sMAXIMUM_MEMORY=2GB -o "$work/wasm.js"
# The pictures: a smooth 2048 x 2048 one, and a 256 x 256 one made into a nine-level set.
python3 - "$work" <<'PY'
import struct, sys, zlib
def png(path, w, h):
    rows = bytearray()
    for y in range(h):
        rows.append(0)
        for x in range(w):
            rows += bytes(((x * 255) // w, (y * 255) // h, ((x ^ y) * 7) & 255, 255))
    def chunk(t, d):
        return struct.pack('>I', len(d)) + t + d + struct.pack('>I', zlib.crc32(t + d))
    with open(path, 'wb') as f:
        f.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 6, 0, 0, 0))
                + chunk(b'IDAT', zlib.compress(bytes(rows), 6)) + chunk(b'IEND', b''))
png(sys.argv[1] + '/big.png', 2048, 2048)
png(sys.argv[1] + '/small.png', 256, 256)
PY
build/tools/korvale-tool import -q "$work/small.png" "$work/set.mip"
# The machine may be shared: the two builds take turns, and each call's best over all rounds
# counts, so that both had the same chances of a quiet moment.
rounds=${KORVALE_ROUNDS:-5}
for ((i = 0; i < rounds; ++i)); do
    "$work/native" "$work/set.mip" "$work/big.png" | sed 's/^/native /'
    node --no-experimental-fetch "$work/wasm.js" "$work/set.mip" "$work/big.png" | sed 's/^/wasm /'
done >"$work/runs"
echo "native: g++ -O3; WebAssembly: em++ -O3 -msimd128 -msse2 (memory fill and copy: bulk memory), node $(node --version); best of $rounds rounds"
awk -F': ' '{ split($1, w, " "); who = w[1]; what = substr($1, length(who) + 2); v = $2 + 0
             if (!((who, what) in best) || v < best[who, what]) best[who, what] = v
             if (who == "native") order[++n] = what }
     END { for (i = 1; i <= n; ++i) { what = order[i]; if (seen[what]++) continue
               printf "%s: native %.2f ms, WebAssembly %.2f ms, %.2fx\n", what,
                      best["native", what], best["wasm", what], best["wasm", what] / best["native", what] } }' \
    "$work/runs"
