# Installation and the Debian package (make package): the program, the command-line tool, the
# simulator, a desktop entry, the icon, a man page for each program, and the CJK font the dialogs
# are drawn in.
include(GNUInstallDirs)

if(QUILLON_BUILD_GUI)
  install(TARGETS quillon RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES res/quillon.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES res/quillon.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES res/quillon.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
  install(FILES res/quillon-32.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps
          RENAME quillon.png)
endif()
install(TARGETS quillon-devsim quillon-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Man pages go compressed, as Debian keeps them.
file(GLOB QUILLON_MAN_PAGES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/docs/man/*.1)
set(QUILLON_MAN_GZ)
foreach(page ${QUILLON_MAN_PAGES})
  get_filename_component(name ${page} NAME)
  set(out ${CMAKE_BINARY_DIR}/man/${name}.gz)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND gzip -9nc ${page} > ${out}
    DEPENDS ${page} VERBATIM)
  list(APPEND QUILLON_MAN_GZ ${out})
endforeach()
add_custom_target(man_pages ALL DEPENDS ${QUILLON_MAN_GZ})
install(FILES ${QUILLON_MAN_GZ} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillon)
set(CPACK_PACKAGE_VENDOR "Quillon")
set(CPACK_PACKAGE_CONTACT "Quillon developers <quillon@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "configures network video character-overlay devices over UDP port 1901")
set(CPACK_PACKAGE_DESCRIPTION
    "Quillon finds network video character-overlay devices on the local network, reads and\n\
writes their network, camera-overlay and RS-485/Modbus parameters, and saves them to\n\
CRC-checked INI files. quillon-cli does the same from the command line for many devices\n\
at once; quillon-devsim plays such devices for tests.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The dialogs are drawn in a CJK font: AR PL UMing, which draws every GBK character a device's
# text holds; WenQuanYi Micro Hei where it is missing.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-arphic-uming, fonts-wqy-microhei | fonts-noto-cjk")
set(CPACK_STRIP_FILES ON)
include(CPack)
