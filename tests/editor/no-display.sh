#!/usr/bin/env bash
# Started where no display can be opened (an unreachable one, or none set), the editor prints
# one clear line and exits non-zero.
set -u
editor=$1
check() {
    local err status
    err=$(env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@" "$editor" 2>&1 >/dev/null)
    status=$?
    echo "$*: status $status, stderr: $err"
    [ "$status" -ne 0 ] || { echo "expected a non-zero status" >&2; exit 1; }
    [ "$(printf '%s\n' "$err" | wc -l)" -eq 1 ] || { echo "expected exactly one line" >&2; exit 1; }
    case "$err" in
    korvale:*) ;;
    *) echo "expected the line to start with 'korvale:'" >&2; exit 1 ;;
    esac
}
check DISPLAY=:4242
check -u DISPLAY
