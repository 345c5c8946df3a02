#!/bin/bash
# Shows that a shell's completion, as generated, offers every option word of the option table
# (tolvane -helpall), the file names after a word that takes a file, the choices after a word
# that has them, and nothing after a word whose value the user types.
# Usage: completion_test.sh bash|zsh|fish TOLVANE DIR (DIR holds the generated completions).
# Exits 77 (skipped) where the shell is not installed.
shell=$1 tolvane=$2 dir=$3
command -v "$shell" >/dev/null || { echo "$shell not found: its completion is not checked"; exit 77; }
tmp=$(mktemp -d) && trap 'rm -rf "$tmp"' EXIT && : >"$tmp/key.bin"

queries=("tolvane -") expected=()
while read -r word value; do
  expected[0]+="$word"$'\n'
  case $value in
    "") ;;
    FILE) queries+=("tolvane $word $tmp/k") expected+=("key.bin") ;;
    *"|"*) queries+=("tolvane $word ") expected+=("$(tr '|' '\n' <<<"$value" | sort)") ;;
    *) queries+=("tolvane $word ") expected+=("") ;;
  esac
done < <("$tolvane" -helpall | tr -d '\r' | sed -e ':a' -e '/|$/{N;s/|\n        /|/;ba' -e '}' |
  sed -n 's/^    \(--\{0,1\}[a-z0-9]*\)\( \([^ ]*\)\)\{0,1\}  .*/\1 \3/p')
expected[0]=$(sort <<<"${expected[0]%$'\n'}")

# Prints "== query" and then what the completion offered, one per line, for each query.
case $shell in
  bash) . "$dir/tolvane.bash" && for query in "${queries[@]}"; do
      read -ra COMP_WORDS <<<"$query"; [ "${query% }" != "$query" ] && COMP_WORDS+=("")
      COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) COMPREPLY=() && _tolvane
      echo "== $query" && printf '%s\n' "${COMPREPLY[@]}"; done ;;
  fish) fish -c "source $dir/tolvane.fish; for q in \$argv; echo \"== \$q\"; complete -C\$q; end" \
      "${queries[@]}" | cut -f1 ;;
  zsh) zsh -f "$(dirname "$0")/completion_zsh.zsh" "$dir" "${queries[@]}" ;;
esac >"$tmp/offered"

status=0
for i in "${!queries[@]}"; do
  got=$(awk -v q="== ${queries[i]}" '$0 == q { on = 1; next } /^== / { on = 0 } on && NF' \
    "$tmp/offered" | sort -u)
  if [ "${expected[i]}" = key.bin ]; then ok=$(grep -c 'key\.bin$' <<<"$got"); else ok=$([ "$got" = "${expected[i]}" ] && echo 1); fi
  [ "${ok:-0}" -ge 1 ] || { printf '%s: "%s" offered:\n%s\nexpected:\n%s\n' "$shell" "${queries[i]}" "$got" "${expected[i]}"; status=1; }
done
exit $status
