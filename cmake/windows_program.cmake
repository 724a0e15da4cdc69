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
