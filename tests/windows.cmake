# The Windows build, tested under wine: quiltgrid.exe is cross-built with
# the MinGW-w64 toolchain, and the end-to-end cases and the cases of the
# Windows platform layer run on it with wine, in a prefix of this build
# folder. These tests carry the label "windows" (ctest -L windows).
include(ExternalProject)

find_program(QUILTGRID_WINE NAMES wine wine64 PATHS /usr/lib/wine REQUIRED)

set(quiltgrid_toolchain ${PROJECT_SOURCE_DIR}/cmake/mingw-w64-x86_64.cmake)
set(quiltgrid_windows_dir ${CMAKE_BINARY_DIR}/windows-tool)
set(quiltgrid_windows_exe ${quiltgrid_windows_dir}/src/quiltgrid.exe)
set(quiltgrid_helpers_dir ${CMAKE_BINARY_DIR}/windows-helpers)
set(quiltgrid_wineprefix ${CMAKE_BINARY_DIR}/wineprefix)

# The tool and its package, as a build of their own for Windows. The
# package step makes the zip of cmake/windows_package.cmake (target
# quiltgrid_windows-zip).
ExternalProject_Add(quiltgrid_windows
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${quiltgrid_windows_dir}
  CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${quiltgrid_toolchain} -DCMAKE_BUILD_TYPE=Release
             -DQUILTGRID_TESTS=OFF -DQUILTGRID_BENCHMARKS=OFF
  BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target quiltgrid -j 2
  BUILD_BYPRODUCTS ${quiltgrid_windows_exe}
  BUILD_ALWAYS TRUE
  INSTALL_COMMAND "")
ExternalProject_Add_Step(quiltgrid_windows zip
  COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target windows_texts -j 2
  COMMAND ${CMAKE_CPACK_COMMAND} -G ZIP --config <BINARY_DIR>/CPackConfig.cmake
  WORKING_DIRECTORY <BINARY_DIR>
  DEPENDEES build
  ALWAYS TRUE
  EXCLUDE_FROM_MAIN TRUE)
ExternalProject_Add_StepTargets(quiltgrid_windows zip)

# The Windows programs the tests run beside the tool (windows/).
ExternalProject_Add(quiltgrid_windows_helpers
  SOURCE_DIR ${CMAKE_CURRENT_SOURCE_DIR}/windows
  BINARY_DIR ${quiltgrid_helpers_dir}
  CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${quiltgrid_toolchain} -DCMAKE_BUILD_TYPE=Release
  BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> -j 2
  BUILD_BYPRODUCTS ${quiltgrid_helpers_dir}/hold_open.exe
                   ${quiltgrid_helpers_dir}/fake_interpreter.exe
                   ${quiltgrid_helpers_dir}/with_environment.exe
  BUILD_ALWAYS TRUE
  INSTALL_COMMAND "")

# The test support, with the tool run by wine.
add_library(quiltgrid_test_support_wine STATIC support/test_support.cpp)
target_include_directories(quiltgrid_test_support_wine PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_definitions(quiltgrid_test_support_wine PRIVATE
  QUILTGRID_BINARY="${quiltgrid_windows_exe}"
  QUILTGRID_FIXTURES="${CMAKE_CURRENT_SOURCE_DIR}/fixtures"
  QUILTGRID_TOOL_EMULATOR="${QUILTGRID_WINE}"
  QUILTGRID_WINEPREFIX="${quiltgrid_wineprefix}"
  QUILTGRID_WINDOWS_LAUNCHER="${quiltgrid_helpers_dir}/with_environment.exe")
target_link_libraries(quiltgrid_test_support_wine PUBLIC GTest::gtest quiltgrid_warnings)
add_dependencies(quiltgrid_test_support_wine quiltgrid_windows quiltgrid_windows_helpers)

# The first start of wine makes its prefix, which takes a while; once made,
# the runs of the tool share it.
add_test(NAME wine_prefix
         COMMAND ${CMAKE_COMMAND} -E env WINEPREFIX=${quiltgrid_wineprefix} WINEDEBUG=-all
                 ${QUILTGRID_WINE} wineboot --init)
set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine_prefix LABELS windows TIMEOUT 300)

# A test program of GoogleTest cases on the Windows build; its tests are
# named "windows." and the case.
function(quiltgrid_windows_test name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE quiltgrid_test_support_wine GTest::gtest_main
                                        quiltgrid_warnings)
  gtest_discover_tests(${name} TEST_PREFIX "windows." DISCOVERY_TIMEOUT 60
                       PROPERTIES TIMEOUT 600 LABELS windows FIXTURES_REQUIRED wine_prefix)
endfunction()

# The end-to-end cases, as on POSIX.
quiltgrid_windows_test(end_to_end_windows_test end_to_end_test.cpp)
target_compile_definitions(end_to_end_windows_test PRIVATE
  QUILTGRID_GENERATOR="$<TARGET_FILE:make_sample_pair>")
add_dependencies(end_to_end_windows_test make_sample_pair)

# What only the Windows layer does: the command interpreter, sharing with
# other programs, control-C.
quiltgrid_windows_test(windows_test windows_test.cpp)
target_compile_definitions(windows_test PRIVATE
  QUILTGRID_WINDOWS_HELPERS="${quiltgrid_helpers_dir}")
