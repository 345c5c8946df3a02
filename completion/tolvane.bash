# bash completion for tolvane: option words everywhere, file names after the key-file options.

_tolvane() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
  case $prev in
    -kpvfile | -kpefile)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -f -- "$cur")
      return ;;
    # A value the user must type: offering option words there would only mislead.
    -pan | -pvki | -pvv | -pinblock | -pin | -kpv | -kpe | -kpvkcv | -kpekcv)
      COMPREPLY=()
      return ;;
  esac
  mapfile -t COMPREPLY < <(compgen -W '-verify -calcpvv -calcpinblock -uncalcpinblock
    -verifypan -fixpan -kcv -help -help2 -version -batch -pan -pvki -pvv -pinblock -pin
    -kpv -kpvfile -kpe -kpefile -kpvkcv -kpekcv -suppressluhn' -- "$cur")
}
complete -F _tolvane tolvane
