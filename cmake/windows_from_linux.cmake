# From the Linux build: cross build the core, the Windows layer and their
# tests with mingw-w64 into <build>/windows, and run those tests under Wine.
# Included from tests/CMakeLists.txt.

option(MIREL_WINDOWS_TESTS "Cross build the Windows layer with mingw-w64 and test it under Wine" ON)
if(NOT MIREL_WINDOWS_TESTS)
  return()
endif()

find_program(MIREL_MINGW_CXX x86_64-w64-mingw32-g++-posix)
find_program(MIREL_WINE wine)
if(NOT MIREL_MINGW_CXX OR NOT MIREL_WINE)
  message(FATAL_ERROR "The Windows tests need mingw-w64 and Wine (scripts/install-deps installs "
                      "them); configure with -DMIREL_WINDOWS_TESTS=OFF to leave them out.")
endif()

set(mirel_windows_build ${CMAKE_BINARY_DIR}/windows)
add_test(NAME windows.build
         COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/windows-build ${mirel_windows_build}
         WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
# The build takes both processors; nothing else runs beside it.
set_tests_properties(windows.build PROPERTIES FIXTURES_SETUP windows_build TIMEOUT 1200
                     PROCESSORS 2)

add_test(NAME windows.tests
         COMMAND ${CMAKE_CTEST_COMMAND} --test-dir ${mirel_windows_build} --output-on-failure)
set_tests_properties(windows.tests PROPERTIES FIXTURES_REQUIRED windows_build TIMEOUT 600)

# The installed Windows program end to end under Wine (Xvfb, jwm, a prefix of
# its own), against what this build draws and writes.
add_test(NAME windows.e2e
         COMMAND bash ${PROJECT_SOURCE_DIR}/tests/windows/e2e/program_test.sh)
set_tests_properties(windows.e2e PROPERTIES FIXTURES_REQUIRED windows_build TIMEOUT 300
  SKIP_RETURN_CODE 77
  ENVIRONMENT "MIREL_WINDOWS_BUILD=${mirel_windows_build};MIREL_TOOL=$<TARGET_FILE:mirel9x-tool>;MIREL_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
