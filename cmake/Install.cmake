# Installed layout: the program and the files it finds beside itself share one folder,
# <prefix>/lib/tessaly, which does not change with the version; <prefix>/bin/tessaly links to it.
include(GNUInstallDirs)
set(TESSALY_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/tessaly)
if(CMAKE_INSTALL_LIBDIR MATCHES "^lib/")
    # Debian's multiarch lib folder is for libraries; the program's own folder sits in plain lib/.
    set(TESSALY_INSTALL_DIR lib/tessaly)
endif()

install(TARGETS tessaly RUNTIME DESTINATION ${TESSALY_INSTALL_DIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/beside/ DESTINATION ${TESSALY_INSTALL_DIR})
install(CODE "
    set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(MAKE_DIRECTORY \"\${bin}\")
    file(CREATE_LINK \"../${TESSALY_INSTALL_DIR}/tessaly\" \"\${bin}/tessaly\" SYMBOLIC)
    message(STATUS \"Linking: \${bin}/tessaly\")")

install(FILES ${CMAKE_SOURCE_DIR}/resources/desktop/tessaly.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 22 24 32 48 64 128)
    install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/tessaly-${size}.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME tessaly.png)
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/tessaly.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/tessaly.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_SOURCE_DIR}/resources/desktop/example.quarnell.tessaly.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/resources/desktop/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tessaly)

# The manual page, compressed as Debian installs manual pages.
set(TESSALY_MANUAL_PAGE ${CMAKE_BINARY_DIR}/tessaly.1.gz)
add_custom_command(OUTPUT ${TESSALY_MANUAL_PAGE}
    COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/docs/tessaly.1 > ${TESSALY_MANUAL_PAGE}
    DEPENDS ${CMAKE_SOURCE_DIR}/docs/tessaly.1 VERBATIM)
add_custom_target(manual_page ALL DEPENDS ${TESSALY_MANUAL_PAGE})
install(FILES ${TESSALY_MANUAL_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
