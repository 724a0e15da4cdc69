# Windows: the platform layer on the Win32 API and the program's resources.
# Included from the top-level CMakeLists.txt when WIN32.

file(GLOB mirel_platform_sources CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/platform/*.cpp ${PROJECT_SOURCE_DIR}/platform/windows/*.cpp)
add_library(mirel9x_platform STATIC ${mirel_platform_sources})
# IP Helper and WinINet are loaded when first needed (the 64-bit interface
# calls may be missing; WinINet only matters after a proxy change).
target_link_libraries(mirel9x_platform PUBLIC shell32 ole32)
# What the Windows sources (the layer and its tests) are compiled with: wide
# Win32 calls, no min/max macros, Windows 7 declarations.
set(mirel_windows_definitions UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
target_compile_definitions(mirel9x_platform PRIVATE ${mirel_windows_definitions})

# The program's icon and version resource (the tests read it back too).
enable_language(RC)
configure_file(${PROJECT_SOURCE_DIR}/data/windows/mirel9x.rc.in
               ${PROJECT_BINARY_DIR}/mirel9x.rc @ONLY)
function(mirel_windows_resource target)
  target_sources(${target} PRIVATE ${PROJECT_BINARY_DIR}/mirel9x.rc)
endfunction()
