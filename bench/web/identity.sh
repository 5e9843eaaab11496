#!/usr/bin/env bash
# The page's module and korvale-tool over the pictures of bench/quality-images.txt: both md5
# lists of bench/identity.sh (eight imports of each picture, each exported with all its levels),
# and their difference, which is empty when the page writes the tool's bytes:
#   bench/web/identity.sh build-wasm/web/module/korvale.js build/tools/korvale-tool
set -euo pipefail
module=$(realpath "$1")
tool=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
IDENTITY_WORK="$work" "$here/../identity.sh" "$tool" >"$work/tool.md5"
node=$(command -v node || command -v nodejs)
fetch=$("$node" --no-experimental-fetch -e '' 2>/dev/null && echo --no-experimental-fetch || true)
"$node" $fetch "$here/identity.js" "$module" "$work" >"$work/page.md5"
echo "$(wc -l <"$work/tool.md5") files by the tool, $(wc -l <"$work/page.md5") by the page"
diff "$work/tool.md5" "$work/page.md5" && echo "the page's bytes equal the tool's"
