# Completes each line given in a zsh on a pseudo-terminal (zsh completes only inside its line
# editor) and prints "== line" and then what the completion offered.
# Usage: zsh -f completion_zsh.zsh DIR LINE...   (DIR holds _tolvane)
zmodload zsh/zpty
dir=$1; shift
out=$(mktemp -d)
zpty z "zsh -f -i"
zpty -w z "fpath=($dir \$fpath); autoload -Uz compinit; compinit -u -D"
zpty -w z "compadd() { local -a m; builtin compadd -O m \"\$@\"; print -rl -- \$m >> $out/offered; builtin compadd \"\$@\" }"
set -- "tolvane " "$@" # the first completion of a new shell only sets the system up
n=0
for line; do
  # Once the line is cleared and the print has run, the completion before it has ended.
  zpty -w -n z "$line"$'\t'$'\C-u'"print > $out/done$n"$'\n'
  # What the shell echoes is read away as it comes: a terminal whose output nobody reads stops
  # the shell once its buffer is full, and a long list of words fills it.
  while [[ ! -e $out/done$n ]]; do
    zpty -rt z echoed 2>/dev/null || sleep 0.02
  done
  (( n )) && { print -r -- "== $line"; [[ -e $out/offered ]] && cat $out/offered }
  rm -f $out/offered
  (( n++ ))
done
zpty -d z
rm -rf $out
