# Man page and Debian package.

# The page carries the project version in its footer.
configure_file(${PROJECT_SOURCE_DIR}/man/tolvane.1 ${PROJECT_BINARY_DIR}/man/tolvane.1 @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/man/tolvane.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

if(TOLVANE_BUILD_TESTS)
  enable_testing()
  add_test(NAME man_page_renders
    COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/check_man.sh ${PROJECT_BINARY_DIR}/man/tolvane.1)
  set_tests_properties(man_page_renders PROPERTIES LABELS docs)
endif()

# cpack -G DEB in the build tree makes tolvane_<version>_<arch>.deb with /usr/bin/tolvane and
# /usr/share/man/man1/tolvane.1.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tolvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tolvane developers")
set(CPACK_PACKAGE_CONTACT "Tolvane developers <tolvane@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "payment-card PIN tool: Visa PVV, ISO 9564 format-0 PIN blocks, Luhn")
# Lines of the long description, wrapped for the 80-column display of package tools.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "tolvane computes the Visa PIN Verification Value (PVV) of a PIN, builds"
  "and takes apart ISO 9564 format-0 PIN blocks, in the clear or enciphered"
  "with single DES or two- or three-key Triple DES, verifies a PIN block"
  "against a PVV, and checks or repairs the Luhn check digit of a card"
  "number. It takes everything on its command line and prints one answer"
  "per run.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
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
