# Cross build for 64-bit Windows with Debian's mingw-w64 (posix thread model).
# The executables link the C++ runtime, libgcc and winpthread statically, so
# they need nothing but system DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MIREL_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MIREL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MIREL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${MIREL_MINGW_TRIPLET}-windres)

# Debian's mingw-w64 libraries, and those that scripts/mingw-deps builds from
# Debian's sources into the build tree.
set(MIREL_MINGW_PREFIX "" CACHE PATH "Libraries built for the target by scripts/mingw-deps")
set(CMAKE_FIND_ROOT_PATH /usr/${MIREL_MINGW_TRIPLET} ${MIREL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
