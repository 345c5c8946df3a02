# Man page, completion, licence and the Debian package.

# The man page and the Debian changelog name the version themselves, so that the page reads
# right from the source tree; a release that forgets one of them stops here.
function(tolvane_check_version file regex)
  file(STRINGS ${PROJECT_SOURCE_DIR}/${file} found REGEX "${regex}" LIMIT_COUNT 1)
  if(NOT found)
    message(FATAL_ERROR "${file} does not name version ${PROJECT_VERSION}: update it")
  endif()
endfunction()
string(REPLACE "." "\\." tolvane_version_re ${PROJECT_VERSION})
tolvane_check_version(man/tolvane.1 "^\\.TH .*\"tolvane ${tolvane_version_re}\"")
tolvane_check_version(packaging/changelog "^tolvane \\(${tolvane_version_re}\\) ")

# Debian wants the page and the changelog compressed, reproducibly (-n: no name, no time).
find_program(TOLVANE_GZIP gzip)
function(tolvane_gzip source output)
  add_custom_command(OUTPUT ${output}
    COMMAND ${TOLVANE_GZIP} -9nc ${source} > ${output}
    DEPENDS ${source} VERBATIM)
endfunction()
set(tolvane_man ${PROJECT_SOURCE_DIR}/man/tolvane.1)
set(tolvane_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/tolvane)
if(TOLVANE_GZIP)
  tolvane_gzip(${tolvane_man} ${PROJECT_BINARY_DIR}/tolvane.1.gz)
  tolvane_gzip(${PROJECT_SOURCE_DIR}/packaging/changelog ${PROJECT_BINARY_DIR}/changelog.gz)
  add_custom_target(tolvane_docs ALL
    DEPENDS ${PROJECT_BINARY_DIR}/tolvane.1.gz ${PROJECT_BINARY_DIR}/changelog.gz)
  install(FILES ${PROJECT_BINARY_DIR}/tolvane.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_BINARY_DIR}/changelog.gz DESTINATION ${tolvane_doc_dir})
else()
  message(STATUS "gzip not found: man page and changelog installed uncompressed (apt-get install gzip)")
  install(FILES ${tolvane_man} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES packaging/changelog DESTINATION ${tolvane_doc_dir})
endif()
install(FILES packaging/copyright DESTINATION ${tolvane_doc_dir})

# The shell completions and the fuzzing dictionary are made from the option table, through the
# built program's -helpall, so that a new option word reaches them by itself.
set(tolvane_generated ${PROJECT_BINARY_DIR}/generated)
set(tolvane_completions
  ${tolvane_generated}/tolvane.bash ${tolvane_generated}/_tolvane ${tolvane_generated}/tolvane.fish)
add_custom_command(OUTPUT ${tolvane_completions} ${tolvane_generated}/entry.dict
  COMMAND ${CMAKE_COMMAND} -E make_directory ${tolvane_generated}
  COMMAND ${CMAKE_COMMAND} -DTOLVANE=$<TARGET_FILE:tolvane> -DOUT=${tolvane_generated}
          -P ${PROJECT_SOURCE_DIR}/completion/generate.cmake
  DEPENDS tolvane ${PROJECT_SOURCE_DIR}/completion/generate.cmake VERBATIM)
add_custom_target(tolvane_completions ALL DEPENDS ${tolvane_completions})
install(FILES ${tolvane_generated}/tolvane.bash
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME tolvane)
# zsh: cmake --install puts the completion in site-functions, which a zsh built from source
# searches; Debian's zsh searches vendor-completions instead, so the package carries it there.
install(FILES ${tolvane_generated}/_tolvane DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/site-functions
  COMPONENT zsh_site)
install(FILES ${tolvane_generated}/_tolvane
  DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions COMPONENT deb EXCLUDE_FROM_ALL)
install(FILES ${tolvane_generated}/tolvane.fish
  DESTINATION ${CMAKE_INSTALL_DATADIR}/fish/vendor_completions.d)
# Only the package carries the lintian overrides: cmake --install leaves them out.
install(FILES packaging/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
  RENAME tolvane COMPONENT deb EXCLUDE_FROM_ALL)

if(TOLVANE_BUILD_TESTS)
  enable_testing()
  # check_man.sh exits 77 where groff is missing: reported as skipped, not as a failure.
  add_test(NAME man_page_renders COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/check_man.sh ${tolvane_man})
  set_tests_properties(man_page_renders PROPERTIES LABELS docs SKIP_RETURN_CODE 77)
  # Each completion as its shell runs it; skipped where that shell is not installed.
  foreach(shell bash zsh fish)
    add_test(NAME ${shell}_completion COMMAND bash ${PROJECT_SOURCE_DIR}/tests/completion_test.sh
      ${shell} $<TARGET_FILE:tolvane> ${tolvane_generated})
    set_tests_properties(${shell}_completion PROPERTIES LABELS docs SKIP_RETURN_CODE 77)
  endforeach()
  # The package check builds the .deb, so only for the build it is made from, and only where
  # lintian can judge it.
  find_program(TOLVANE_LINTIAN lintian)
  if(NOT TOLVANE_LINTIAN)
    message(STATUS "lintian not found: package check left out (apt-get install lintian)")
  elseif(TOLVANE_STATIC AND NOT TOLVANE_SANITIZE AND NOT TOLVANE_FUZZ)
    add_test(NAME debian_package COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/check_deb.sh ${PROJECT_BINARY_DIR})
    set_tests_properties(debian_package PROPERTIES LABELS package RUN_SERIAL ON)
  endif()
endif()

# cpack -G DEB in the build tree makes tolvane_<version>_<arch>.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tolvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tolvane developers")
set(CPACK_PACKAGE_CONTACT "Tolvane developers <maintainers@users.noreply.c-seed-ebcdf952.example>")
# The package says what the tool does in the README's own words: its first sentence is the
# summary, and the paragraph and list under it, rewrapped for the 80-column display of package
# tools, the long description.
file(READ ${PROJECT_SOURCE_DIR}/README.md tolvane_readme)
string(REGEX MATCH "\n# Tolvane\n\n(.*)\n\nEverything is given" tolvane_found "\n${tolvane_readme}")
set(tolvane_long "${CMAKE_MATCH_1}")
string(REGEX MATCH "^Tolvane is (an? )?([^.]*)\\." tolvane_found "${tolvane_long}")
if(NOT tolvane_found)
  message(FATAL_ERROR "README.md: no summary under its title for the package description")
endif()
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${CMAKE_MATCH_2}")
# Markdown out: code spans, links to sections.
string(REGEX REPLACE "`([^`]*)`" "\\1" tolvane_long "${tolvane_long}")
string(REGEX REPLACE "\\[([^]]*)\\]\\([^)]*\\)" "\\1" tolvane_long "${tolvane_long}")
# Each list item, and the text before the list, is filled to 79 columns on its own; the items
# are indented (" - ", and hang under it), which package tools show as they stand.
string(REPLACE ";" "<semicolon>" tolvane_long "${tolvane_long}")
string(REPLACE "\n- " "; - " tolvane_long "${tolvane_long}")
set(CPACK_PACKAGE_DESCRIPTION "")
foreach(block IN LISTS tolvane_long)
  string(REGEX MATCHALL "[^ \n]+" block_words "${block}")
  set(line "")
  if(block MATCHES "^ - ")
    set(line " -")
    list(REMOVE_AT block_words 0)
  endif()
  foreach(word IN LISTS block_words)
    string(LENGTH "${line} ${word}" width)
    if(line STREQUAL "")
      set(line "${word}")
    elseif(width GREATER 79)
      string(APPEND CPACK_PACKAGE_DESCRIPTION "${line}\n")
      set(line "   ${word}")
      if(NOT block MATCHES "^ - ")
        set(line "${word}")
      endif()
    else()
      string(APPEND line " ${word}")
    endif()
  endforeach()
  string(APPEND CPACK_PACKAGE_DESCRIPTION "${line}\n")
endforeach()
string(STRIP "${CPACK_PACKAGE_DESCRIPTION}" CPACK_PACKAGE_DESCRIPTION)
string(REPLACE "<semicolon>" ";" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL Unspecified deb)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_STRIP_FILES ON)
# The default static link needs no shared library; a dynamic build gets its dependencies
# worked out by dpkg-shlibdeps (package dpkg-dev).
if(TOLVANE_STATIC AND NOT TOLVANE_SANITIZE)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
else()
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)
