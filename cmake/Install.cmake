# Install rules (`cmake --install`): the program, its data folder, and what the desktop needs to
# offer it: the desktop entry, the icon and the two document types.
#
#   bin/pavo
#   share/pavo/{Pens,Lib,Images,Help,*.strings,<language>/*.strings}
#   share/applications/org.pavo.Pavo.desktop
#   share/icons/hicolor/scalable/apps/org.pavo.Pavo.svg  (and 256x256/apps/org.pavo.Pavo.png)
#   share/mime/packages/pavo.xml
#   share/thumbnailers/pavo.thumbnailer
#   share/man/man1/pavo.1
#
# Desktop caches (update-mime-database, update-desktop-database, gtk-update-icon-cache) are left
# to the packaging or to the desktop's own watchers; running them here would write outside a
# DESTDIR staging area.

include(GNUInstallDirs)

set(PAVO_DESKTOP_ID org.pavo.Pavo)
set(PAVO_RESOURCES_SOURCE ${PROJECT_SOURCE_DIR}/resources)
set(PAVO_DATA_DESTINATION ${CMAKE_INSTALL_DATADIR}/pavo)

install(TARGETS pavo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The installed program finds its data relative to its own executable, so the prefix can move.
# Tell it the way from the binary folder to the data folder as these rules lay them out.
file(RELATIVE_PATH PAVO_DATA_FROM_BIN
     ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_DATADIR}/pavo)
set_property(SOURCE ${PROJECT_SOURCE_DIR}/src/render/resources.cpp
             TARGET_DIRECTORY pavo_render
             APPEND PROPERTY COMPILE_DEFINITIONS PAVO_INSTALL_DATA_FROM_BIN="${PAVO_DATA_FROM_BIN}")

install(DIRECTORY
          ${PAVO_RESOURCES_SOURCE}/Pens
          ${PAVO_RESOURCES_SOURCE}/Lib
          ${PAVO_RESOURCES_SOURCE}/Images
          ${PAVO_RESOURCES_SOURCE}/Help
        DESTINATION ${PAVO_DATA_DESTINATION})
file(GLOB PAVO_STRING_TABLES CONFIGURE_DEPENDS ${PAVO_RESOURCES_SOURCE}/*.strings)
install(FILES ${PAVO_STRING_TABLES} DESTINATION ${PAVO_DATA_DESTINATION})
# Translations: a folder per language beside the English tables ("de/Localizable.strings").
file(GLOB PAVO_TRANSLATED_TABLES CONFIGURE_DEPENDS RELATIVE ${PAVO_RESOURCES_SOURCE}
     ${PAVO_RESOURCES_SOURCE}/*/*.strings)
foreach(table IN LISTS PAVO_TRANSLATED_TABLES)
  get_filename_component(language ${table} DIRECTORY)
  install(FILES ${PAVO_RESOURCES_SOURCE}/${table} DESTINATION ${PAVO_DATA_DESTINATION}/${language})
endforeach()

set(PAVO_DESKTOP_SOURCE ${PAVO_RESOURCES_SOURCE}/desktop)
install(FILES ${PAVO_DESKTOP_SOURCE}/${PAVO_DESKTOP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PAVO_DESKTOP_SOURCE}/pavo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES ${PAVO_DESKTOP_SOURCE}/${PAVO_DESKTOP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PAVO_DESKTOP_SOURCE}/pavo.thumbnailer DESTINATION ${CMAKE_INSTALL_DATADIR}/thumbnailers)
install(FILES ${PAVO_RESOURCES_SOURCE}/pavo.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# A 256-pixel PNG beside the scalable icon, for launchers that take bitmaps only. It is drawn
# from the same SVG by Qt's SVG image plugin, which the program installs anyway.
option(PAVO_ICON_PNG "Render a 256x256 PNG of the application icon at build time" ON)
if(PAVO_ICON_PNG)
  add_executable(pavo_render_icon ${PAVO_DESKTOP_SOURCE}/render_icon.cpp)
  target_link_libraries(pavo_render_icon PRIVATE Qt6::Gui)
  set(PAVO_ICON_PNG_FILE ${PROJECT_BINARY_DIR}/icons/256x256/${PAVO_DESKTOP_ID}.png)
  add_custom_command(
    OUTPUT ${PAVO_ICON_PNG_FILE}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/icons/256x256
    # A sanitizer build would otherwise fail on leaks inside Qt's plugin loading.
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
            $<TARGET_FILE:pavo_render_icon> ${PAVO_DESKTOP_SOURCE}/${PAVO_DESKTOP_ID}.svg
            ${PAVO_ICON_PNG_FILE} 256
    DEPENDS pavo_render_icon ${PAVO_DESKTOP_SOURCE}/${PAVO_DESKTOP_ID}.svg
    COMMENT "Rendering the 256x256 application icon"
    VERBATIM)
  add_custom_target(pavo_icon_png ALL DEPENDS ${PAVO_ICON_PNG_FILE})
  install(FILES ${PAVO_ICON_PNG_FILE}
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
endif()
