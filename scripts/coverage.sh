#!/usr/bin/env bash
# Line coverage of the libraries (fileio/, formats/, srb/, common/, texture/, operations/,
# tools/; not the tests, the editor or the fuzz targets) by the unit and tool tests, measured with gcovr from an
# unoptimised gcc build with coverage counters (the coverage presets).
#   scripts/coverage.sh    prints the summary; the report is build-coverage/coverage/
set -euo pipefail
cd "$(dirname "$0")/.."
command -v gcovr >/dev/null || { echo "coverage: gcovr is missing (apt-get install gcovr)" >&2; exit 1; }
cmake --preset coverage >/dev/null
cmake --build --preset coverage -j "$(nproc)"
# Counters left by an earlier run would be added to this one's.
find build-coverage -name '*.gcda' -delete
ctest --preset coverage -j "$(nproc)"
report=build-coverage/coverage
mkdir -p "$report"
gcovr --root . --object-directory build-coverage \
    --filter '(fileio|formats|srb|common|texture|operations|tools)/' \
    --txt "$report/files.txt" --html-details "$report/index.html" --print-summary |
    tee "$report/summary.txt"
echo "coverage: per file in $report/files.txt, annotated source in $report/index.html"
