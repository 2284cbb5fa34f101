# The Debian package, built by ./package.sh with CPack.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessaly)
set(CPACK_PACKAGE_VENDOR Quarnell)
set(CPACK_PACKAGE_CONTACT "Quarnell <support@quarnell.example>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "unattended folder backups into ZIP archives")
# Lines of at most 80 columns, as Debian's tools show them; an empty line starts a paragraph.
set(CPACK_PACKAGE_DESCRIPTION "Tessaly keeps a list of folders and, on one of fifteen intervals from every
five seconds to once a day or whenever you ask, packs each folder with its
sub-folders into its own ZIP archive in a backup folder of your choice. A
plain-text history log records every backup.

Tessaly sits in the notification area, remembers every choice and can start
with your desktop session. An archive is only ever replaced by a complete new
one, read back and checked first.")
# Free software under GPL-3.0-or-later; installers that show a licence show this text.
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.quarnell.example/tessaly")
# Runtime dependencies come from the libraries the program links.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so the library scan cannot see it: the X11 platform plugin.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# Arial-compatible letters for the window, which is laid out for Arial.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, fonts-liberation")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

# Debian wants a changelog in the package's doc folder; it is written from the git history into
# the staging folder, so that only the package needs the history.
set(CPACK_TESSALY_SOURCE_DIR ${CMAKE_SOURCE_DIR})
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/DebianChangelog.cmake)
include(CPack)
