# The software-centre description and the Debian package.
#
#   share/metainfo/org.pavo.Pavo.metainfo.xml   (AppStream: what Pavo is, screenshots, releases)
#
# `cpack -G DEB` in a build folder (scripts/package does it all) packs what `cmake --install`
# lays out. dpkg-shlibdeps computes the library dependencies from the binary; the Qt plugins
# that are loaded at run time, which it cannot see, are named here. Debian's own triggers
# refresh the desktop, MIME and icon caches, so the package needs no maintainer scripts.

set(PAVO_METAINFO ${PROJECT_SOURCE_DIR}/resources/desktop/org.pavo.Pavo.metainfo.xml)
install(FILES ${PAVO_METAINFO} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The distribution's own validators judge the desktop entry and the metadata; the newest
# release named in the metadata must be the version being built.
if(PAVO_BUILD_TESTS)
  find_program(PAVO_DESKTOP_FILE_VALIDATE desktop-file-validate REQUIRED)
  find_program(PAVO_APPSTREAMCLI appstreamcli REQUIRED)
  add_test(NAME desktop_entry_validates COMMAND ${PAVO_DESKTOP_FILE_VALIDATE}
           ${PROJECT_SOURCE_DIR}/resources/desktop/org.pavo.Pavo.desktop)
  add_test(NAME metainfo_validates COMMAND ${PAVO_APPSTREAMCLI} validate --no-net ${PAVO_METAINFO})
  add_test(NAME metainfo_names_this_release COMMAND ${PAVO_APPSTREAMCLI} metainfo-to-news
           --format text ${PAVO_METAINFO} -)
  set_tests_properties(metainfo_names_this_release PROPERTIES
                       PASS_REGULAR_EXPRESSION "^Version ${PROJECT_VERSION}\n")
endif()

set(PAVO_PACKAGE_MAINTAINER "Pavo developers"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_PACKAGE_NAME pavo)
set(CPACK_PACKAGE_VENDOR "Pavo developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "drawing program for pressure-sensitive tablets")
set(CPACK_PACKAGE_DESCRIPTION
    "Pavo draws with a graphics tablet (or a mouse): a drawing is an ordered list of vector\n\
strokes whose outlines follow the pen's pressure, rendered through eight transfer modes.\n\
Pen types are Lua scripts; drawings export to PNG, JPEG, GIF, TIFF and PDF.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${PAVO_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Window-system, SVG icon and TIFF plugins: Qt loads them by name, so no library links them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6, qt6-image-formats-plugins")
# Qt's own dialogs in the person's language; the program's texts are translated without it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")

include(CPack)
