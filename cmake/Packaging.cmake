# What the Debian package holds and how CPack builds it (cpack -G DEB in the build folder).
include(GNUInstallDirs)

install(TARGETS vek-station vek-mkdb vek-access-server RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS vek_tax LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/src/util/TaxExports.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/vek-station)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/schema/ DESTINATION ${CMAKE_INSTALL_DATADIR}/vek-station/schema
        FILES_MATCHING PATTERN "*.sql" PATTERN "*.txt")
install(FILES ${PROJECT_SOURCE_DIR}/packaging/vek-station.INI.example DESTINATION ${CMAKE_INSTALL_DATADIR}/vek-station)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/vek-station.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The station comes back by itself: a systemd user unit that restarts it when it fails, started by
# the desktop session's autostart entry.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/vek-station.service DESTINATION lib/systemd/user)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/vek-station-autostart.desktop DESTINATION /etc/xdg/autostart
        RENAME vek-station.desktop)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/vek-station.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

set(CPACK_PACKAGE_NAME vek-station)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "VEK")
set(CPACK_PACKAGE_CONTACT "VEK station developers <station@vek.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Shop-floor production station of the VEK footwear ERP")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libvek_tax.so keeps its plain name (other programs load it by that name): no soname, so no shlibs
# file; /usr/lib is searched without the linker cache.
# Loaded at run time, not linked, so dpkg-shlibdeps cannot see them: the embedded database engine
# (through the client library) and Qt's platform plugins, without which no window opens (libqt6gui6
# only recommends them, and an install without recommends would leave the station unable to start).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "firebird3.0-server-core, qt6-qpa-plugins")
# The screen's design fonts; without them Qt falls back to others.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation")
include(CPack)
