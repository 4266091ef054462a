# Install layout: the program and its resource folder beside it as the program expects
# (<prefix>/bin/harbinel finds <prefix>/share/harbinel), plus the desktop integration.
include(GNUInstallDirs)

set(HARBINEL_RESOURCE_DESTINATION ${CMAKE_INSTALL_DATADIR}/harbinel)
# A package keeps the parents' settings under /etc, where an upgrade does not replace them;
# the resource folder then holds a link to that file. A plain prefix install keeps the file
# itself in the resource folder.
set(HARBINEL_SETTINGS_FOLDER "" CACHE PATH "Absolute folder for the settings file (packages)")

if(TARGET harbinel)
  install(TARGETS harbinel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(TARGETS harbinel-lists RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(PROGRAMS resources/desktop/harbinel-session DESTINATION ${CMAKE_INSTALL_BINDIR})

file(GLOB _window_resources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/resources/*.ui)
install(FILES resources/dmn resources/dmnsame ${_window_resources}
        DESTINATION ${HARBINEL_RESOURCE_DESTINATION})

file(GLOB _style_sheets CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/resources/*.css
     ${PROJECT_SOURCE_DIR}/resources/*.html)
install(FILES ${_style_sheets} DESTINATION ${HARBINEL_RESOURCE_DESTINATION})

if(HARBINEL_SETTINGS_FOLDER)
  install(FILES resources/data.plist DESTINATION ${HARBINEL_SETTINGS_FOLDER})
  install(CODE "
    set(_link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${HARBINEL_RESOURCE_DESTINATION}/data.plist\")
    file(REMOVE \"\${_link}\")
    file(CREATE_LINK \"${HARBINEL_SETTINGS_FOLDER}/data.plist\" \"\${_link}\" SYMBOLIC)")
else()
  install(FILES resources/data.plist DESTINATION ${HARBINEL_RESOURCE_DESTINATION})
endif()

install(FILES resources/desktop/net.harbinel.Harbinel.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES resources/desktop/net.harbinel.Harbinel.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES resources/desktop/net.harbinel.Harbinel.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES resources/desktop/harbinel-session.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/xsessions)

# Manual pages, compressed as Debian wants them.
foreach(_page harbinel.1 harbinel-lists.1 harbinel-session.1)
  set(_compressed ${CMAKE_BINARY_DIR}/man/${_page}.gz)
  add_custom_command(OUTPUT ${_compressed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/resources/package/${_page} > ${_compressed}
    DEPENDS ${PROJECT_SOURCE_DIR}/resources/package/${_page})
  list(APPEND _manual_pages ${_compressed})
endforeach()
add_custom_target(harbinel_manual_pages ALL DEPENDS ${_manual_pages})
install(FILES ${_manual_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
