#!/usr/bin/env bash
# Set up, build and run Korvale on Debian 12.
#   ./dev.sh run    install what is missing, build, start the editor
#   ./dev.sh test   install what is missing, build, run every test
#   ./dev.sh package   install what is missing, build a release, make the Debian packages
#   ./dev.sh bench [--reference OLD/korvale-tool]   measure the import's speed (scripts/bench.sh)
#   ./dev.sh web [PORT]   install what is missing, build the page into build-web/site and serve it
#                         on 127.0.0.1 (port 8022 by default)
# Installing packages needs root or sudo; everything else runs as you.
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(
    cmake ninja-build g++ pkg-config       # build
    libgtest-dev libbenchmark-dev          # tests and benchmarks
    clang libclang-rt-14-dev               # sanitizers and fuzzing
    libspng-dev libstb-dev                 # pictures: PNG, resampling
    libdeflate-dev                         # the quick PNG reader's inflate
    nlohmann-json3-dev                     # korvale-tool info --json
    qt6-base-dev qt6-svg-dev               # the editor; its icons are drawn from SVG
    fonts-dejavu-core                      # a font for the editor
    xvfb xauth xdotool imagemagick         # the editor's end-to-end tests, screenshots
    openbox                                # a window manager for the editor's document session
    x11-utils                              # xwininfo, xprop: where the window manager put a window
    strace                                 # the test that saves reach the disk in order
    desktop-file-utils shared-mime-info    # the desktop install test
    libglib2.0-bin appstream               # gio mime, appstreamcli validate
    scdoc man-db bash-completion           # manual pages, shell completion and their tests
    dpkg-dev file lintian                  # the Debian package: shlibdeps, checks
    gcovr                                  # line coverage (scripts/coverage.sh)
    libgdk-pixbuf-2.0-dev                  # the gdk-pixbuf loader (GTK viewers)
    python3-gi gir1.2-gdkpixbuf-2.0        # its test loads files as a GTK application does
    libgimp2.0-dev                         # the GIMP 2.10 plug-in
    gimp                                   # its test runs it in gimp-console (batch mode)
    qtbase5-dev                            # the image plugin for Qt 5 (KDE) applications
    emscripten nodejs                      # the WebAssembly build and its tests under node
    chromium                               # the page's browser tests (headless, puppeteer-core)
    libkf5kio-dev                          # the thumbnail plugin for Dolphin's previews (KIO)
    kio-extras                             # its test asks KIO's thumbnail worker, as Dolphin does
)
# Only ./dev.sh bench needs these: the pictures it measures on and the scripts that make them.
BENCH_PACKAGES=(
    mate-backgrounds hedgewars-data freeciv-data frozen-bubble-data endless-sky-data
    python3-pil python3-numpy time
)

install_missing() {  # install_missing [MORE-PACKAGES...]
    local missing=()
    for p in "${PACKAGES[@]}" "$@"; do
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

# npm (the page's packages from web/package-lock.json) comes with some nodejs packages
# (NodeSource's) and is a package of its own in Debian, which would clash with those.
install_npm() {
    command -v npm >/dev/null || install_missing npm
}

JOBS=$(nproc)

# The builds are presets in CMakePresets.json (release, asan, tsan, fuzz, coverage), so dev.sh,
# scripts/ and an IDE configure them alike.
build() {  # build CONFIGURE-PRESET BUILD-PRESET [cmake --build options...]
    cmake --preset "$1" >/dev/null
    cmake --build --preset "$2" -j "$JOBS" "${@:3}"
}

case "${1:-}" in
run)
    install_missing
    build release release --target korvale
    exec build/editor/korvale "${@:2}"
    ;;
test)
    install_missing
    install_npm
    # Every step runs whatever happened before it, so the closing line always comes; the exit
    # status is non-zero when anything failed. Only a failing unit tier stops the run early:
    # the slower steps would only repeat its failures.
    summary=$(mktemp)
    trap 'rm -f "$summary"' EXIT
    failed_steps=0
    # A ctest run that printed no count (its build failed first) counts as one failure.
    runs() { grep -c "tests failed out of" "$summary" || true; }
    counted() { local before=$1; [ "$(runs)" -gt "$before" ]; }
    unit_passed=false
    # The unit tier first: in-process tests of the libraries and the tool's commands, built
    # and run in about a minute, on the optimised configuration users build (-O3) with
    # warnings as errors, so a warning that only optimisation brings out cannot slip in unseen.
    if build release unit; then
        ctest --preset unit -j "$JOBS" | tee -a "$summary" &&
            grep -q "^100% tests passed" "$summary" && unit_passed=true
    fi
    counted 0 || { echo "dev.sh: the unit tests did not run" >&2; failed_steps=$((failed_steps + 1)); }
    if $unit_passed; then
        before=$(runs)
        if build release release; then
            ctest --preset release -j "$JOBS" | tee -a "$summary" || true
        fi
        counted "$before" || { echo "dev.sh: the tests did not run" >&2; failed_steps=$((failed_steps + 1)); }
        before=$(runs)
        scripts/sanitize.sh | tee -a "$summary" || true
        counted "$before" || { echo "dev.sh: the sanitizer run did not run" >&2; failed_steps=$((failed_steps + 1)); }
        before=$(runs)
        scripts/tsan.sh | tee -a "$summary" || true
        counted "$before" || { echo "dev.sh: the ThreadSanitizer run did not run" >&2; failed_steps=$((failed_steps + 1)); }
        before=$(runs)
        scripts/wasm.sh | tee -a "$summary" || true
        counted "$before" || { echo "dev.sh: the WebAssembly tests did not run" >&2; failed_steps=$((failed_steps + 1)); }
        if ! scripts/fuzz.sh short; then
            echo "dev.sh: fuzzing failed" >&2
            failed_steps=$((failed_steps + 1))
        fi
    else
        echo "dev.sh: the unit tier failed; the later steps are skipped" >&2
    fi
    # One closing line for the whole run: every ctest run (the unit tier, the full suite, which
    # repeats it, the sanitizer run, which repeats the suite, the ThreadSanitizer run and the
    # WebAssembly build's unit tests under node), plus
    # one failure for each step that could not run its tests (a build, the fuzzers).
    awk -v steps="$failed_steps" '/tests failed out of/ { failed += $4; total += $NF }
        END { failed += steps; total += steps
              printf "korvale: %d passed, %d failed\n", total - failed, failed
              exit failed > 0 }' "$summary"
    ;;
package)
    install_missing
    # Only Debian's hardening and optimisation flags (build type None), as Debian's own tools
    # build a package.
    export DEB_BUILD_MAINT_OPTIONS=hardening=+all
    ldflags=$(dpkg-buildflags --get LDFLAGS)
    # Not a preset: the flags come from dpkg-buildflags on the building machine.
    cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=None -DKORVALE_EDITOR=ON \
        -DKORVALE_TESTS=OFF \
        -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
        -DCMAKE_EXE_LINKER_FLAGS="$ldflags" -DCMAKE_MODULE_LINKER_FLAGS="$ldflags" >/dev/null
    cmake --build build-package -j "$JOBS"
    rm -f build-package/*.deb
    (cd build-package && cpack -G DEB)
    # One package per part; lintian's errors and warnings both fail the command.
    debs=(build-package/*.deb)
    lintian --fail-on error,warning "${debs[@]}"
    printf 'dev.sh: %s\n' "${debs[@]}"
    ;;
web)
    install_missing
    install_npm
    scripts/wasm.sh page
    exec node web/serve.js build-web/site "${2:-8022}"
    ;;
bench)
    install_missing "${BENCH_PACKAGES[@]}"
    exec scripts/bench.sh "${@:2}"
    ;;
*)
    echo "usage: ./dev.sh run [FILE] | test | package | bench [--reference OLD/korvale-tool] | web [PORT]" >&2
    exit 2
    ;;
esac
