#!/usr/bin/env bash
# Builds the Qt-free libraries, their unit tests and the page's module with emscripten into
# build-wasm/, and runs the tests under node (the module's against the native korvale-tool):
#   scripts/wasm.sh          build and run the tests (ctest prints its count)
#   scripts/wasm.sh build    build only
#   scripts/wasm.sh page     build only the module and the page, into build-web/site
# Everything it compiles is in the repository (third_party/) or installed by dev.sh; nothing is
# downloaded.
set -euo pipefail
cd "$(dirname "$0")/.."
# emscripten's JavaScript optimiser needs acorn, which Debian installs for its own nodejs only.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
node=$(command -v node || command -v nodejs)
# emscripten 3.1.6's loader takes a global fetch (node 18 and later) for a browser's, and fails
# to load the .wasm file by path with it.
if "$node" --no-experimental-fetch -e '' 2>/dev/null; then
    emulator="$node;--no-experimental-fetch"
else
    emulator="$node"
fi
if [ ! -f build-wasm/CMakeCache.txt ]; then
    emcmake cmake -S . -B build-wasm -G Ninja -DCMAKE_BUILD_TYPE=Release -DKORVALE_WERROR=ON \
        -DKORVALE_TESTS=ON -DCMAKE_CROSSCOMPILING_EMULATOR="$emulator" >/dev/null
fi
# The page's own build: its npm packages as the lock file has them (puppeteer-core drives
# Debian's chromium in its tests and downloads no browser).
if [ ! -f web/node_modules/.package-lock.json ] ||
    [ web/package-lock.json -nt web/node_modules/.package-lock.json ]; then
    (cd web && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error)
fi
if [ "${1:-}" = page ]; then
    cmake --build build-wasm -j "$(nproc)" --target korvale_web
    "$node" web/build.js build-wasm/web/module build-web/site
    exit 0
fi
cmake --build build-wasm -j "$(nproc)"
# The module's outputs are compared with the native tool's.
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target korvale-tool
[ "${1:-}" = build ] && exit 0
ctest --test-dir build-wasm -j "$(nproc)" --output-on-failure
