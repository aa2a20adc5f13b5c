# Installing and the Debian package (scripts/package builds it).
#   bin/                         orvel, orvelctl, orvel-boardsim
#   share/orvel/                 the read-only application folder: Help/ (the
#                                manual), Support/ (the code text files)
#   share/applications, share/icons/hicolor, share/mime/packages,
#   share/metainfo               the desktop's entries
# The PNG icons are rendered from the SVG when it changes:
#   rsvg-convert -w N -h N dist/icons/org.orvel.Orvel.svg -o dist/icons/org.orvel.Orvel-N.png

include(GNUInstallDirs)

set(ORVEL_APP_ID org.orvel.Orvel)
set(ORVEL_RELEASE_DATE 2026-12-07)   # the date of this version, for the metainfo file
set(ORVEL_DIST_DIR ${CMAKE_CURRENT_SOURCE_DIR}/dist)

install(TARGETS orvel orvelctl orvel-boardsim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/data/ DESTINATION ${CMAKE_INSTALL_DATADIR}/orvel)

install(FILES ${ORVEL_DIST_DIR}/${ORVEL_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${ORVEL_DIST_DIR}/${ORVEL_APP_ID}.mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME ${ORVEL_APP_ID}.xml)
configure_file(${ORVEL_DIST_DIR}/${ORVEL_APP_ID}.metainfo.xml ${CMAKE_BINARY_DIR}/${ORVEL_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/${ORVEL_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${ORVEL_DIST_DIR}/icons/${ORVEL_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 48 256)
  install(FILES ${ORVEL_DIST_DIR}/icons/${ORVEL_APP_ID}-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME ${ORVEL_APP_ID}.png)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "ORVEL")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "set up and watch the T6850 reject-control board of a can leak tester")
set(CPACK_PACKAGE_CONTACT "ORVEL maintainers <orvel@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "ORVEL (the program orvel) sets up and watches the reject-control board
of a can leak tester over an RS-232 line; orvelctl reads and writes the
board from a terminal, and orvel-boardsim is a simulated board to learn on.

A serial port is open to the members of the group dialout. Join it with
  sudo adduser YOUR-NAME dialout
and log in again.")
# The libraries the programs link (Qt and below) are found by dpkg-shlibdeps;
# the platform plugins that draw the windows are loaded at run time.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-gtk-platformtheme")
include(CPack)
