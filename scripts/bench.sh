#!/usr/bin/env bash
# Builds the release benchmarks and korvale-tool and measures the import's speed in one run
# (bench/speed.py says what; docs/performance.md holds the figures and how they were taken).
#   scripts/bench.sh [--reference OLD/korvale-tool] [--work DIR]
# --reference names another build's korvale-tool, whose batch import is timed in the same run.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target korvale-tool korvale_png_bench
exec /usr/bin/python3 bench/speed.py --tool build/tools/korvale-tool \
    --png-bench build/bench/korvale_png_bench "$@"
