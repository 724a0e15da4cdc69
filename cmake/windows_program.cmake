# The Windows program: the Win32 shell over the core, its resources, the
# strip fonts beside it and the installer. Included from the top-level
# CMakeLists.txt for the mingw-w64 cross build.

# The strip fonts are the Linux build's PCF files (Debian's xfonts-shinonome
# and xfonts-efont-unicode, which the build machine has), so that the strips
# are the same pixels on both systems; Windows has no copy of its own. The
# program opens them from a folder "fonts" beside itself.
set(MIREL_FONT_FILES
  /usr/share/fonts/X11/misc/shnm6x12a.pcf.gz /usr/share/fonts/X11/misc/b12.pcf.gz
  CACHE STRING "The two strip fonts that the Windows program carries")
set(mirel_font_copies)
foreach(font ${MIREL_FONT_FILES})
  get_filename_component(name ${font} NAME)
  add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/fonts/${name}
    COMMAND ${CMAKE_COMMAND} -E copy ${font} ${PROJECT_BINARY_DIR}/fonts/${name}
    DEPENDS ${font} COMMENT "Strip font ${name} beside the program")
  list(APPEND mirel_font_copies ${PROJECT_BINARY_DIR}/fonts/${name})
endforeach()
add_custom_target(mirel9x_fonts ALL DEPENDS ${mirel_font_copies})

# The program: the Win32 shell, its dialog (settings_dialog.rc), the icon and
# version resource, and the manifest. A GUI program (no console window) with
# a wide entry point; everything but system DLLs linked in.
file(GLOB mirel_win32_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/shell/win32/*.cpp)
add_executable(mirel9x WIN32 ${mirel_win32_sources}
  ${PROJECT_SOURCE_DIR}/shell/win32/settings_dialog.rc
  ${PROJECT_SOURCE_DIR}/data/windows/manifest.rc)
mirel_windows_resource(mirel9x)
target_compile_definitions(mirel9x PRIVATE ${mirel_windows_definitions})
target_compile_options(mirel9x PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${mirel_warnings}>)
# Stripped: the symbols would double the size of the file users download.
target_link_options(mirel9x PRIVATE -municode $<$<CONFIG:Release>:-s>)
target_link_libraries(mirel9x PRIVATE mirel9x_draw mirel9x_platform
  comctl32 comdlg32 gdi32 winhttp ws2_32)
set_source_files_properties(${PROJECT_SOURCE_DIR}/data/windows/manifest.rc PROPERTIES
  OBJECT_DEPENDS ${PROJECT_SOURCE_DIR}/data/windows/mirel9x.manifest)
add_dependencies(mirel9x mirel9x_fonts)

# The default settings beside the program, as in the Linux build (kept when
# one is already there).
add_custom_target(mirel9x_default_settings ALL
  COMMAND ${CMAKE_COMMAND} -DSRC=${PROJECT_SOURCE_DIR}/data/設定.ini
          -DDST=$<TARGET_FILE_DIR:mirel9x>/設定.ini
          -P ${PROJECT_SOURCE_DIR}/cmake/copy_if_absent.cmake
  COMMENT "Default 設定.ini beside mirel9x.exe (kept when one is already there)")
add_dependencies(mirel9x mirel9x_default_settings)

# The installer (makensis from Debian's nsis, a 64-bit Unicode installer):
# built with the program, since the end-to-end test installs from it;
# `make package-windows` builds it alone.
find_program(MIREL_MAKENSIS makensis)
if(MIREL_MAKENSIS)
  set(MIREL_INSTALLER ${PROJECT_BINARY_DIR}/mirel9x-${PROJECT_VERSION}-setup.exe)
  set(mirel_installer_script ${PROJECT_SOURCE_DIR}/data/windows/installer.nsi)
  add_custom_command(OUTPUT ${MIREL_INSTALLER}
    COMMAND ${MIREL_MAKENSIS} -V2 -INPUTCHARSET UTF8 -DVERSION=${PROJECT_VERSION}
            -DPROGRAM=$<TARGET_FILE:mirel9x> -DFONTS=${PROJECT_BINARY_DIR}/fonts
            -DSETTINGS=${PROJECT_SOURCE_DIR}/data/設定.ini
            -DICON=${PROJECT_SOURCE_DIR}/data/windows/mirel9x.ico
            -DOUTFILE=${MIREL_INSTALLER} ${mirel_installer_script}
    DEPENDS mirel9x ${mirel_font_copies} ${mirel_installer_script}
            ${PROJECT_SOURCE_DIR}/data/設定.ini ${PROJECT_SOURCE_DIR}/data/windows/mirel9x.ico
    COMMENT "Installer ${MIREL_INSTALLER}")
  add_custom_target(package-windows ALL DEPENDS ${MIREL_INSTALLER})
else()
  message(WARNING "makensis not found (Debian package nsis): no installer is built")
endif()
