# Installation layout and the Debian package (cpack -G DEB in the build folder):
#   <prefix>/bin/pos
#   <prefix>/share/pos/         bill templates; help/ holds the help pages (also built into the program)
#   <prefix>/share/applications/pos.desktop and the "pos" icon in the hicolor theme
# The program finds share/pos from its own folder (../share/pos), so the layout moves with the prefix.

include(GNUInstallDirs)
set(POS_SHARE_DIR ${CMAKE_INSTALL_DATADIR}/pos)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS pos RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/help/ DESTINATION ${POS_SHARE_DIR}/help
    FILES_MATCHING PATTERN "*.htm" PATTERN "*.css")
# The bill templates, which the build packs beside the program (src/bills).
install(FILES ${CMAKE_BINARY_DIR}/billtemplate.xls ${CMAKE_BINARY_DIR}/billduplicate.xls DESTINATION ${POS_SHARE_DIR})

set(POS_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})
install(FILES ${POS_PACKAGING_DIR}/pos.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${POS_PACKAGING_DIR}/icons/pos.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 48 128 256)
    install(FILES ${POS_PACKAGING_DIR}/icons/pos-${size}.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME pos.png)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pos)
set(CPACK_PACKAGE_VENDOR "pos")
set(CPACK_PACKAGE_CONTACT "pos maintainers <maintainers@pos.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "point of sale and back office for retail shops")
# (no semicolons: CMake would read them as list separators)
set(CPACK_PACKAGE_DESCRIPTION "Cashiers ring up sales at one or more counter terminals, and \
administrators keep items, tax, stock, users and limits and add or remove companies. Every \
terminal runs this program against the shop's one MariaDB or MySQL server.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # pos_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries come from dpkg-shlibdeps; the database driver is a plugin and the client a program
# the program runs, so neither shows in the binary's links.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-mysql, mariadb-client, libsodium23")
include(CPack)
