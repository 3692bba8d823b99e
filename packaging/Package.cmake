# `cpack -G DEB` in the build folder makes the Debian packages, one per component:
# trilo-cli (the command line, no Qt) and trilo-programmer (the window). The libraries'
# packages come from dpkg-shlibdeps; what the window loads by other means is named here.
set(CPACK_PACKAGE_NAME trilo-programmer)
set(CPACK_PACKAGE_VENDOR "Trilo Programmer developers")
# No project address exists yet: example.org holds the place of the real one.
set(CPACK_PACKAGE_CONTACT "Trilo Programmer developers <trilo-programmer@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL cli)
if(TRILO_GUI)
    list(APPEND CPACK_COMPONENTS_ALL gui)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SOURCE trilo-programmer)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

# The first line is the synopsis; CPack indents the others and marks the empty one.
set(TRILO_DEB_ABOUT "\
It reads, writes, erases and verifies the flash, EEPROM, lock and fuse bits\n\
of AT89 (MCS-51) and classic AVR microcontrollers through a programmer\n\
board on a PC parallel port (Linux ppdev), or a simulated board when there\n\
is none.")

set(CPACK_DEBIAN_CLI_PACKAGE_NAME trilo-cli)
set(CPACK_DEBIAN_CLI_DESCRIPTION "\
device programmer for AT89 and AVR microcontrollers, command line\n${TRILO_DEB_ABOUT}\n\n\
This package holds trilo-cli, which runs whole jobs (erase, write, verify,\n\
read back) from a shell or a makefile. It needs no display and no Qt.")

set(CPACK_DEBIAN_GUI_PACKAGE_NAME trilo-programmer)
set(CPACK_DEBIAN_GUI_DESCRIPTION "\
device programmer for AT89 and AVR microcontrollers\n${TRILO_DEB_ABOUT}\n\n\
This package holds the desktop program. The command line comes in trilo-cli.")
# Qt's translations of its own buttons and dialogs, and the windows' font. The window does not
# run trilo-cli, but a user who installs the programmer expects the README's command line.
set(CPACK_DEBIAN_GUI_PACKAGE_DEPENDS "qt6-translations-l10n, fonts-dejavu-core")
set(CPACK_DEBIAN_GUI_PACKAGE_RECOMMENDS trilo-cli)

include(CPack)
