# Run by CPack once the package's files are staged: writes the Debian package's changelog.gz into
# its doc folder from the project's git history.
if(CPACK_GENERATOR STREQUAL "DEB")
    execute_process(COMMAND bash "${CPACK_TESSALY_SOURCE_DIR}/scripts/debian-changelog.sh"
        "${CPACK_TESSALY_SOURCE_DIR}" "${CPACK_PACKAGE_VERSION}" "${CPACK_PACKAGE_CONTACT}"
        "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}/share/doc/${CPACK_PACKAGE_NAME}/changelog.gz"
        COMMAND_ERROR_IS_FATAL ANY)
endif()
