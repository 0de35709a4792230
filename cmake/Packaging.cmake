# cmake --install puts the client, its desktop entry and icon in the usual
# places; cpack -G DEB makes agent-client_<version>_<arch>.deb of the same.
include(GNUInstallDirs)

install(TARGETS agent-client RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(PROGRAMS ${CMAKE_SOURCE_DIR}/packaging/agent-client-start
        DESTINATION ${CMAKE_INSTALL_BINDIR})
# The simulator, so a new installation can be tried before it has a platform.
install(TARGETS platform-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/agent-client.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/assets/buttons/appicon.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/64x64/apps
        RENAME agent-client.png)

set(CPACK_PACKAGE_NAME agent-client)
set(CPACK_PACKAGE_VENDOR "agent-client")
set(CPACK_PACKAGE_CONTACT "agent-client maintainers <agent-client@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop client for recharge and bill-payment agents")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
# The shared libraries are found by dpkg-shlibdeps; the plugins Qt loads at
# run time (the SQLite driver, the sound back-end) are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, libqt6multimedia6, qt6-qpa-plugins")
set(CPACK_GENERATOR DEB)
include(CPack)
