# The Debian package: `cpack -G DEB` in a build configured with
#   -DCMAKE_INSTALL_PREFIX=/usr -DHARBINEL_SETTINGS_FOLDER=/etc/harbinel
# (scripts/package.sh does both).
set(CPACK_PACKAGE_NAME harbinel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Harbinel")
set(CPACK_PACKAGE_CONTACT "Harbinel developers <developers@harbinel.net>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "locked-down web browser for children")
# CPack puts the summary on the first line itself; this is the long description below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Harbinel covers the screen with one borderless browser window that a child\n\
cannot leave. Pages whose host is on the shipped domain lists or on the\n\
parent's own list are refused, every typed address, opened favourite and\n\
refused page is logged day by day, and a parent password guards quitting and\n\
the parents' settings. An X session lets a display manager log a child's\n\
account straight into the kiosk.")
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/resources/package/postinst
    ${PROJECT_SOURCE_DIR}/resources/package/postrm
    ${PROJECT_SOURCE_DIR}/resources/package/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

# Debian wants the copyright and a compressed changelog (a native package's is changelog.gz) in the package's doc folder.
set(_changelog ${CMAKE_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${_changelog}
  COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/resources/package/changelog > ${_changelog}
  DEPENDS ${PROJECT_SOURCE_DIR}/resources/package/changelog)
add_custom_target(harbinel_changelog ALL DEPENDS ${_changelog})
install(FILES resources/package/copyright ${_changelog}
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

include(CPack)
