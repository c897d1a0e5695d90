# Installation (program, menu entry, icon, manual page, Debian documentation) and the Debian
# package made from it by CPack.
include(GNUInstallDirs)
# Its own component, so that a test package can carry another build of the program instead.
install(TARGETS lumora RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT program)
install(FILES ${PROJECT_SOURCE_DIR}/assets/lumora.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The icon at the sizes a desktop asks for, all rendered from the one drawing (scripts/render-icons);
# the 16 px one is the picture built into the program.
set(iconThemeDir ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES ${PROJECT_SOURCE_DIR}/assets/lumora-icon.png DESTINATION ${iconThemeDir}/16x16/apps
        RENAME lumora.png)
foreach(size 22 24 32 48 64 128 256)
  install(FILES ${PROJECT_SOURCE_DIR}/assets/icons/lumora-${size}.png
          DESTINATION ${iconThemeDir}/${size}x${size}/apps RENAME lumora.png)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/assets/lumora.svg DESTINATION ${iconThemeDir}/scalable/apps)
# The software centre's entry; its id names the desktop entry it launches.
install(FILES ${PROJECT_SOURCE_DIR}/assets/net.lumora_cam.Lumora.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The manual page names the address-echo service this build asks.
set(debianDocs ${CMAKE_BINARY_DIR}/debian-docs)
configure_file(${PROJECT_SOURCE_DIR}/assets/lumora.1.in ${CMAKE_BINARY_DIR}/lumora.1 @ONLY)
add_custom_command(
  OUTPUT ${debianDocs}/copyright ${debianDocs}/changelog.gz ${debianDocs}/lumora.1.gz
  COMMAND ${CMAKE_COMMAND} -DLICENSE=${PROJECT_SOURCE_DIR}/LICENSE
          -DCHANGELOG=${PROJECT_SOURCE_DIR}/assets/changelog -DMANPAGE=${CMAKE_BINARY_DIR}/lumora.1
          -DOUT=${debianDocs} -P ${PROJECT_SOURCE_DIR}/cmake/DebianDocs.cmake
  DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/assets/changelog
          ${CMAKE_BINARY_DIR}/lumora.1 ${PROJECT_SOURCE_DIR}/cmake/DebianDocs.cmake)
add_custom_target(debian_docs ALL DEPENDS ${debianDocs}/copyright)
# GNUInstallDirs would say share/doc/Lumora; Debian wants the package's name.
install(FILES ${debianDocs}/copyright ${debianDocs}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/lumora)
install(FILES ${debianDocs}/lumora.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Lumora developers <dev@lumora-cam.net>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small password-protected web camera for the desktop")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Lumora turns a computer with a webcam into a small web camera that browsers
reach behind a user name and password. Its window starts and stops a built-in
web server that serves a login form and then the camera's picture, refreshed
twice a second; it shows how many browsers are watching and the computer's
public address, opens a preview in Firefox and hides in the system tray.

Settings live in settings.ini: beside the program for a copy in a writable
folder, in ~/.config/lumora for an installed one. The interface speaks
English and German. There is no encryption: put a TLS proxy in front of it
across the internet.")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
# dpkg-shlibdeps finds what lumora links; the helper it carries inside itself links OpenCV, and
# the window's font comes from a font package, neither of which it can see.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libopencv-videoio406, libopencv-imgcodecs406, libopencv-imgproc406, libopencv-core406, fonts-arkpandora")
include(CPack)
