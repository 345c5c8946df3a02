#!/bin/bash
# Shows that the completion offers the option words for a prefix, and file names after the two
# key-file options. Usage: completion_test.sh COMPLETION-SCRIPT
. "$1" || exit 1
dir=$(mktemp -d) && trap 'rm -rf "$dir"' EXIT && : >"$dir/key.bin"
offered() { COMP_WORDS=(tolvane "$@"); COMP_CWORD=$#; COMPREPLY=(); _tolvane; echo "${COMPREPLY[*]}"; }
expect() { [ "$1" = "$2" ] || { echo "offered '$1', expected '$2'"; failed=1; }; }
expect "$(offered -calcpvv -kpv)" "-kpv -kpvfile -kpvkcv"
expect "$(offered -kpvfile "$dir/k")" "$dir/key.bin"
expect "$(offered -kpefile "$dir/")" "$dir/key.bin"
exit ${failed:-0}
