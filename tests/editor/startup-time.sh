#!/usr/bin/env bash
# How long the editor takes from its start until its window is mapped, under Xvfb: each run is
# timed from just before the program starts to the first time xdotool finds the visible
# "Korvale" window (polled every 5 ms). Prints every run, the mean and the maximum. Not a test.
#   startup-time.sh EDITOR [RUNS] [FILE]
set -u
editor=$1
runs=${2:-10}
file=${3:-}
# The settings go to a folder of the script's own.
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
XDG_CONFIG_HOME=$config xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    editor=$1 runs=$2 file=$3
    times=()
    for _ in $(seq 1 "$runs"); do
        start=$(date +%s%N)
        if [ -n "$file" ]; then "$editor" "$file" >/dev/null 2>&1 & else "$editor" >/dev/null 2>&1 & fi
        pid=$!
        until xdotool search --onlyvisible --name "^Korvale\$" >/dev/null 2>&1; do
            kill -0 $pid 2>/dev/null || { echo "the editor ended before its window came up" >&2; exit 1; }
            sleep 0.005
        done
        end=$(date +%s%N)
        times+=($(( (end - start) / 1000000 )))
        echo "run ${#times[@]}: ${times[-1]} ms"
        kill $pid
        wait $pid 2>/dev/null
        sleep 0.2
    done
    printf "%s\n" "${times[@]}" | awk "{ sum += \$1; if (\$1 > max) max = \$1 }
        END { printf \"mean %.0f ms, max %d ms over %d runs\n\", sum / NR, max, NR }"
' bash "$editor" "$runs" "$file"
