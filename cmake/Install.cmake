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
install(FILES ${CMAKE_SOURCE_DIR}/resources/desktop/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tessaly)
