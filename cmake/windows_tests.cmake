# The tests of the mingw-w64 cross build: GoogleTest built from its sources
# and Wine running every test executable, in a prefix inside the build folder.
# Included from tests/CMakeLists.txt before any test target exists.

set(MIREL_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH
    "GoogleTest sources to build for the target (Debian's libgtest-dev)")
if(NOT TARGET GTest::gtest)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(${MIREL_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  foreach(library gtest gtest_main gmock)
    if(NOT TARGET GTest::${library})  # newer GoogleTest names them itself
      add_library(GTest::${library} ALIAS ${library})
    endif()
    # Unoptimised, as the tests themselves.
    target_compile_options(${library} PRIVATE -O0)
  endforeach()
endif()

find_program(MIREL_WINE wine REQUIRED)
set(MIREL_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(mirel_wine_run bash ${PROJECT_SOURCE_DIR}/scripts/wine-run ${MIREL_WINEPREFIX})
set(CMAKE_CROSSCOMPILING_EMULATOR ${mirel_wine_run})

# One wineserver for the whole run. Started with its output streams closed:
# a server or helper started by a test would inherit the test's output pipe,
# and ctest would wait for it long after the test ended.
add_test(NAME wine.start COMMAND ${mirel_wine_run} --start)
add_test(NAME wine.stop COMMAND ${mirel_wine_run} --stop)
set_tests_properties(wine.start PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)
set_tests_properties(wine.stop PROPERTIES FIXTURES_CLEANUP wine TIMEOUT 60)

# The tests' own paths are Windows paths: Wine shows the host's root as Z:.
set(MIREL_TEST_SOURCE_DIR "Z:${PROJECT_SOURCE_DIR}")
