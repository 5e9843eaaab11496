#!/usr/bin/env bash
# Set up, build and run Korvale on Debian 12.
#   ./dev.sh run    install what is missing, build, start the editor
#   ./dev.sh test   install what is missing, build, run every test
# Installing packages needs root or sudo; everything else runs as you.
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(
    cmake ninja-build g++ pkg-config       # build
    libgtest-dev libbenchmark-dev          # tests and benchmarks
    clang libclang-rt-14-dev               # sanitizers and fuzzing
    qt6-base-dev                           # the editor
    fonts-dejavu-core                      # a font for the editor
    xvfb xauth xdotool                     # the editor's end-to-end test
)

install_missing() {
    local missing=()
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null || { echo "dev.sh: installing ${missing[*]} needs root or sudo" >&2; exit 1; }
        sudo=(sudo)
    fi
    echo "dev.sh: installing ${missing[*]}"
    "${sudo[@]}" apt-get update -q
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

JOBS=$(nproc)

build() {  # build DIR [cmake options...]
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir" -j "$JOBS"
}

case "${1:-}" in
run)
    install_missing
    build build -DKORVALE_EDITOR=ON -DKORVALE_TESTS=ON -DKORVALE_BENCH=ON
    exec build/editor/korvale
    ;;
test)
    install_missing
    build build -DKORVALE_EDITOR=ON -DKORVALE_TESTS=ON -DKORVALE_BENCH=ON
    summary=$(mktemp)
    trap 'rm -f "$summary"' EXIT
    ctest --test-dir build -j "$JOBS" --output-on-failure | tee -a "$summary"
    scripts/sanitize.sh | tee -a "$summary"
    scripts/fuzz.sh short
    # One closing line for the whole run: both ctest runs (the sanitizer run repeats the suite).
    awk '/tests failed out of/ { failed += $4; total += $NF } END {
        printf "korvale: %d passed, %d failed\n", total - failed, failed }' "$summary"
    ;;
*)
    echo "usage: ./dev.sh run | test" >&2
    exit 2
    ;;
esac
