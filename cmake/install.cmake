# Installing mirel9x as a desktop application, and the Debian package made
# from the same install rules:
#   bin/mirel9x, bin/mirel9x-tool
#   share/mirel9x/設定.ini                        the default settings
#   share/applications/<id>.desktop               the menu entry
#   share/icons/hicolor/<size>/apps/<id>.{png,svg}
#   share/metainfo/<id>.metainfo.xml              AppStream data
#   share/mirel9x/webcheck-pages/                 the web check's reference pages
#   share/man/man1/mirel9x{,-tool}.1.gz           manual pages
#   share/doc/mirel9x/                            copyright, changelogs, README
#   share/lintian/overrides/mirel9x               the package checker's overrides
# The program finds the default settings as ../share/mirel9x from its own
# folder, so bin/ and share/ stay fixed rather than following GNUInstallDirs.
# Included from the top-level CMakeLists.txt once the targets exist.

set(MIREL_APP_ID "io.github.mirel9x.Mirel9x" CACHE STRING
    "Application id: name of the desktop entry, the icons and the AppStream data")
set(MIREL_PACKAGE_MAINTAINER "mirel9x maintainers <maintainers@mirel9x.example>" CACHE STRING
    "Maintainer field of the Debian package")

# The autostart entry written by the program carries the same id.
target_compile_definitions(mirel9x_core PUBLIC MIREL_APP_ID="${MIREL_APP_ID}")

set(mirel_data ${CMAKE_CURRENT_SOURCE_DIR}/data)
set(mirel_generated ${CMAKE_CURRENT_BINARY_DIR}/data)
configure_file(${mirel_data}/mirel9x.desktop.in ${mirel_generated}/${MIREL_APP_ID}.desktop @ONLY)
configure_file(${mirel_data}/mirel9x.metainfo.xml.in
               ${mirel_generated}/${MIREL_APP_ID}.metainfo.xml @ONLY)

install(TARGETS mirel9x mirel9x-tool RUNTIME DESTINATION bin)
install(FILES ${mirel_data}/設定.ini DESTINATION share/mirel9x)
install(FILES ${mirel_generated}/${MIREL_APP_ID}.desktop DESTINATION share/applications)
install(FILES ${mirel_generated}/${MIREL_APP_ID}.metainfo.xml DESTINATION share/metainfo)
# The pages and server configuration a user hosts for the web check.
install(FILES ${mirel_data}/webcheck-pages/Mirel9xCheck.htm ${mirel_data}/webcheck-pages/nginx.conf.in
              ${mirel_data}/webcheck-pages/README.md
        DESTINATION share/mirel9x/webcheck-pages)

# Manual pages, the changelog and the README compressed as Debian keeps them
# (gzip -9, no name or time stamp, so the package is the same every build).
set(mirel_gzipped)
function(mirel_gzip source name)
  set(out ${mirel_generated}/gz/${name})
  add_custom_command(OUTPUT ${out}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${mirel_generated}/gz
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${out}
    COMMAND gzip -9nf ${out}
    DEPENDS ${source} VERBATIM)
  list(APPEND mirel_gzipped ${out}.gz)
  set(mirel_gzipped ${mirel_gzipped} PARENT_SCOPE)
endfunction()
mirel_gzip(${mirel_data}/man/mirel9x.1 mirel9x.1)
mirel_gzip(${mirel_data}/man/mirel9x-tool.1 mirel9x-tool.1)
mirel_gzip(${mirel_data}/debian/changelog changelog.Debian)
mirel_gzip(${CMAKE_CURRENT_SOURCE_DIR}/README.md README.md)
add_custom_target(mirel9x_compressed_docs ALL DEPENDS ${mirel_gzipped})
install(FILES ${mirel_generated}/gz/mirel9x.1.gz ${mirel_generated}/gz/mirel9x-tool.1.gz
        DESTINATION share/man/man1)
install(FILES ${mirel_data}/debian/copyright ${mirel_generated}/gz/changelog.Debian.gz
              ${mirel_generated}/gz/README.md.gz
        DESTINATION share/doc/mirel9x)
install(FILES ${mirel_data}/debian/lintian-overrides
        DESTINATION share/lintian/overrides RENAME mirel9x)

# Icons: the tray icon itself at 64x64, the other sizes rendered from the SVG
# (scripts/render-icons).
install(FILES ${mirel_data}/icons/mirel9x.png
        DESTINATION share/icons/hicolor/64x64/apps RENAME ${MIREL_APP_ID}.png)
foreach(size 16 22 24 32 48 128 256)
  install(FILES ${mirel_data}/icons/hicolor/${size}x${size}/mirel9x.png
          DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME ${MIREL_APP_ID}.png)
endforeach()
install(FILES ${mirel_data}/icons/hicolor/mirel9x.svg
        DESTINATION share/icons/hicolor/scalable/apps RENAME ${MIREL_APP_ID}.svg)

# ---------------------------------------------------------------------------
# `cmake --build build --target package`: a Debian package. The library
# dependencies come from dpkg-shlibdeps; the strip fonts are read from their
# Debian paths, so their packages are named here. The icon cache and the menu
# are refreshed by the dpkg triggers of hicolor-icon-theme and
# desktop-file-utils, so the package needs no maintainer scripts.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME mirel9x)
set(CPACK_PACKAGE_VENDOR "mirel9x")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${MIREL_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small always-visible system and network monitor")
set(CPACK_PACKAGE_DESCRIPTION
    "A narrow window of stacked strips shows processor and memory use, receive\n"
    "and send rates, the global and LAN IP address, the browser proxy and its\n"
    "switches, total bytes, disk capacity, a history graph and the date and\n"
    "time. A tray menu switches the browser proxy among a list. The user\n"
    "interface is Japanese.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${MIREL_HOME_PAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The strip fonts, Qt's Japanese texts (the colour chooser, edit menus), a
# session bus, without which the desktop's proxy settings cannot be written,
# and SQLite for the traffic history, which the program loads by name while it
# writes (so the shared-library scan does not see it).
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "xfonts-shinonome, xfonts-efont-unicode, qt6-translations-l10n, default-dbus-session-bus | dbus-session-bus, libsqlite3-0 (>= 3.24)")
# The desktop proxy settings live under this GSettings schema; without it the
# program keeps the proxy in its own file.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gsettings-desktop-schemas")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
