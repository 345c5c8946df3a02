# Writes the bash, zsh and fish completions and the fuzzing dictionary from the option table,
# as `tolvane -helpall` prints it, so that a new option word reaches all four by itself.
#
#   cmake -DTOLVANE=path/to/tolvane -DOUT=dir -P generate.cmake
#
# A line of -helpall is four blanks, the word, optionally a blank and a placeholder, two or more
# blanks and the description (a long list of choices is continued on the next line, see below).
# The placeholder FILE means a file name; one with | between the
# choices (0|1|2) lists the values; any other names a value the user types.

execute_process(COMMAND ${TOLVANE} -helpall OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${TOLVANE} -helpall failed (${status})")
endif()
string(REPLACE "\r" "" listing "${listing}")
# A list of choices too long for one line goes on after its '|' on the next, indented by eight.
string(REPLACE "|\n        " "|" listing "${listing}")
string(REPLACE ";" "," listing "${listing}")
string(REPLACE "\n" ";" lines "${listing}")

set(words "")
set(file_words "")
set(value_words "")
set(choice_sets "")
set(zsh_specs "")
set(fish_lines "")
set(dict "# The option words, each ended by the NUL that ends an argument in fuzz_entry's input.\n")
foreach(line IN LISTS lines)
  if(NOT line MATCHES "^    (--?[a-z0-9]+)( ([^ ]+))?  +(.*)$")
    continue()
  endif()
  set(word ${CMAKE_MATCH_1})
  set(value "${CMAKE_MATCH_3}")
  set(description "${CMAKE_MATCH_4}")
  list(APPEND words ${word})
  string(APPEND dict "\"${word}\\x00\"\n")
  # fish names an option by its word less the hyphen: -o for one hyphen, -l for two.
  if(word MATCHES "^--")
    string(SUBSTRING ${word} 2 -1 bare)
    set(bare "-l ${bare}")
  else()
    string(SUBSTRING ${word} 1 -1 bare)
    set(bare "-o ${bare}")
  endif()
  # zsh _arguments wants [ ] : and \ in a description escaped; both shells want ' escaped.
  string(REGEX REPLACE "([][:\\\\])" "\\\\\\1" zsh_description "${description}")
  string(REPLACE "'" "'\\''" zsh_description "${zsh_description}")
  string(REPLACE "'" "\\'" fish_description "${description}")
  if(value STREQUAL "")
    string(APPEND zsh_specs "  '*${word}[${zsh_description}]' \\\n")
    string(APPEND fish_lines "complete -c tolvane ${bare} -d '${fish_description}'\n")
  elseif(value STREQUAL "FILE")
    list(APPEND file_words ${word})
    string(APPEND zsh_specs "  '*${word}[${zsh_description}]:file:_files' \\\n")
    string(APPEND fish_lines "complete -c tolvane ${bare} -r -F -d '${fish_description}'\n")
  elseif(value MATCHES "\\|")
    string(REPLACE "|" " " choices "${value}")
    string(MAKE_C_IDENTIFIER "${choices}" key)
    list(APPEND choice_sets ${key})
    set(choices_${key} "${choices}")
    list(APPEND choice_words_${key} ${word})
    string(APPEND zsh_specs "  '*${word}[${zsh_description}]:value:(${choices})' \\\n")
    string(APPEND fish_lines
      "complete -c tolvane ${bare} -x -a '${choices}' -d '${fish_description}'\n")
  else()
    list(APPEND value_words ${word})
    string(APPEND zsh_specs "  '*${word}[${zsh_description}]:${value}: ' \\\n")
    string(APPEND fish_lines "complete -c tolvane ${bare} -x -d '${fish_description}'\n")
  endif()
endforeach()
if(NOT words)
  message(FATAL_ERROR "no option words in the output of ${TOLVANE} -helpall")
endif()

set(header "made from tolvane's option table (tolvane -helpall) when tolvane is built")
string(REPLACE ";" " | " file_case "${file_words}")
string(REPLACE ";" " | " value_case "${value_words}")
string(REPLACE ";" " " all_words "${words}")
set(choice_cases "")
list(REMOVE_DUPLICATES choice_sets)
foreach(key IN LISTS choice_sets)
  string(REPLACE ";" " | " case_words "${choice_words_${key}}")
  string(APPEND choice_cases "    ${case_words})
      mapfile -t COMPREPLY < <(compgen -W '${choices_${key}}' -- \"$cur\")
      return ;;
")
endforeach()

file(WRITE ${OUT}/tolvane.bash "# bash completion for tolvane, ${header}.
_tolvane() {
  local cur=\${COMP_WORDS[COMP_CWORD]} prev=\${COMP_WORDS[COMP_CWORD - 1]}
  case $prev in
    ${file_case})
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -f -- \"$cur\")
      return ;;
${choice_cases}    # A value the user must type: offering option words there would only mislead.
    ${value_case})
      COMPREPLY=()
      return ;;
  esac
  mapfile -t COMPREPLY < <(compgen -W '${all_words}' -- \"$cur\")
}
complete -F _tolvane tolvane
")

file(WRITE ${OUT}/_tolvane "#compdef tolvane
# zsh completion for tolvane, ${header}.
_arguments \\
${zsh_specs}
")

file(WRITE ${OUT}/tolvane.fish "# fish completion for tolvane, ${header}.
complete -c tolvane -f
${fish_lines}")

file(WRITE ${OUT}/entry.dict "${dict}")
