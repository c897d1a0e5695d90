# Installation (program, menu entry, icon) and the Debian package made from it by CPack.
include(GNUInstallDirs)
install(TARGETS lumora RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/assets/lumora.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/assets/lumora-icon.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/16x16/apps RENAME lumora.png)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Lumora developers <dev@lumora-cam.net>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small password-protected web camera for the desktop")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# dpkg-shlibdeps finds what lumora links; the helper it carries inside itself links OpenCV, and
# the window's font comes from a font package, neither of which it can see.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libopencv-videoio406, libopencv-imgcodecs406, libopencv-imgproc406, libopencv-core406, fonts-arkpandora")
include(CPack)
