#!/usr/bin/env bash
# Builds the tool and its tests with ThreadSanitizer (clang) and runs the batch tests, the ones
# that import and export many files on two threads, in-process and as the real binary, and the
# tests of the preview's imports on a thread of their own (LatestImport). Any
# report fails: the process exits with ThreadSanitizer's status, 66.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j "$(nproc)"
ctest --preset tsan -j "$(nproc)"
