#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UBSan) and runs each one.
#   scripts/fuzz.sh short      about a minute per target (what the test command runs)
#   scripts/fuzz.sh SECONDS    that long per target
# Seeds come from our own writers (PNG seeds also from libspng's encoder); the corpus grows in
# build-fuzz/corpus; findings land in build-fuzz/findings and fail the run.
set -euo pipefail
cd "$(dirname "$0")/.."
case "${1:-short}" in
short) seconds=60 ;;
*[!0-9]*) echo "usage: scripts/fuzz.sh short | SECONDS" >&2; exit 2 ;;
*) seconds=$1 ;;
esac

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"
build-fuzz/fuzz/korvale_make_corpus build-fuzz/seeds
build-fuzz/fuzz/korvale_make_png_corpus build-fuzz/seeds >/dev/null
mkdir -p build-fuzz/findings
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for target in mip srb level png pngpaths; do
    seeds=$target
    case $target in
    png) dict=fuzz/png.dict ;;
    pngpaths) dict=fuzz/png.dict seeds=png ;;  # the quick PNG reader against libspng alone
    *) dict=fuzz/chunks.dict ;;
    esac
    mkdir -p "build-fuzz/corpus/$target"
    echo "fuzz: $target for ${seconds}s"
    build-fuzz/fuzz/fuzz_$target "build-fuzz/corpus/$target" "build-fuzz/seeds/$seeds" \
        -dict="$dict" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=1024 -malloc_limit_mb=96 \
        -artifact_prefix="build-fuzz/findings/$target-" -print_final_stats=1 2>"build-fuzz/$target.log" ||
        { tail -n 40 "build-fuzz/$target.log" >&2; exit 1; }
    grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "build-fuzz/$target.log" | sed "s/^/fuzz: $target /"
done
echo "fuzz: no findings"
