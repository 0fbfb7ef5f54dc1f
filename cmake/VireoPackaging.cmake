# Installation into a prefix and the Debian package built from it with CPack.
#
#   cmake --install build --prefix /usr/local
#   cd build && cpack -G DEB
#
# Executables go to bin; construct files and sample images to share/vireo-manager (installed,
# the programs find them there through their own folder, see platform/InstalledLayout.h);
# the desktop entry and its icons to the freedesktop places.

install(TARGETS vireo-manager vireo vireo-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/res/vireo-manager.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(DIRECTORY ${VIREO_ICON_DIR}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES ${PROJECT_SOURCE_DIR}/README.md
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vireo-manager)

set(VIREO_PACKAGE_MAINTAINER "Vireo Manager developers <vireo-manager@example.org>"
    CACHE STRING "Maintainer named in the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vireo-manager)
set(CPACK_PACKAGE_VENDOR "Vireo Manager developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Configures and updates ZigBee radio modules over a serial line")
# Debian wants the long description in lines of at most 80 columns.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Vireo Manager reads and writes the parameters of ZigBee radio modules over a"
    "serial line, reaches the other modules of their radio network, updates their"
    "firmware and fetches new construct files from an update server."
    "The package holds the desktop tool vireo-manager, the command-line tool vireo"
    "and the simulated module vireo-sim.")
set(CPACK_PACKAGE_CONTACT "${VIREO_PACKAGE_MAINTAINER}")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VIREO_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
