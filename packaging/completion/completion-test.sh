#!/usr/bin/env bash
# Loads korvale-tool's bash completion as bash-completion does and asks it what it offers for a
# few command lines, in a folder holding one file of each kind.
#   completion-test.sh COMPLETION_FILE
set -uo pipefail
export LC_ALL=C  # one sort order for the expectations
completion=$1
source /usr/share/bash-completion/bash_completion || { echo "bash-completion is not installed" >&2; exit 1; }
source "$completion"

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1
touch a.mip b.srb c.png d.txt
mkdir sub

offered() {  # LINE: what completing at its end offers, sorted, on one line
    COMP_LINE=$1
    COMP_POINT=${#COMP_LINE}
    read -ra COMP_WORDS <<<"$COMP_LINE"
    [[ $COMP_LINE == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _korvale_tool korvale-tool "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf '%s\n' "${COMPREPLY[@]}" | sort | xargs
}

failures=0
while IFS='|' read -r line expected; do
    got=$(offered "$line")
    if [ "$got" != "$expected" ]; then
        echo "FAIL: '$line' offered '$got', expected '$expected'" >&2
        failures=$((failures + 1))
    fi
done <<'CASES'
korvale-tool |--help --version compare convert export import info thumbnail
korvale-tool th|thumbnail
korvale-tool info |a.mip b.srb sub
korvale-tool import |a.mip b.srb c.png sub
korvale-tool compare a.mip |a.mip b.srb c.png sub
korvale-tool import c.png a.mip --type |0 1 2 3 4 5 argb1555 argb4444 pal4 rgb565
korvale-tool import c.png a.mip --filter c|catmullrom cubic
korvale-tool import c.png a.mip --palette |a.mip b.srb c.png keep per-level shared sub
korvale-tool import c.png --like |a.mip b.srb sub
korvale-tool export a.mip -o |sub
korvale-tool export a.mip --l|--level
korvale-tool thumbnail -|--force --help --quiet -f -q -s
CASES
[ "$failures" -eq 0 ] || exit 1
echo "every completion as expected"
