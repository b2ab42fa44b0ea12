# Native Linux build: the wizard and engine against the headless window and
# the simulated machine, for fast unit tests under the sanitizers.
set(VORNELL_WIN64_DIR "${CMAKE_SOURCE_DIR}/build/win64" CACHE PATH "Build folder of the Windows program, for the Wine tests")
option(VORNELL_WINE_TESTS "Register the Wine tests of the Windows program" ON)

find_package(GTest REQUIRED)
enable_testing()

file(GLOB unit_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)
# The MSI's exit-code mapping is pure and tested here; its DLL is Windows-only.
add_executable(unit_tests ${unit_sources} ${CMAKE_SOURCE_DIR}/msi/action_outcome.cpp)
vornell_gbk_texts(unit_tests)
target_link_libraries(unit_tests PRIVATE vornell_app GTest::gtest GTest::gtest_main)
target_compile_definitions(unit_tests PRIVATE VORNELL_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
include(GoogleTest)
gtest_discover_tests(unit_tests PROPERTIES LABELS unit FIXTURES_REQUIRED build_native
                     DISCOVERY_TIMEOUT 60)

if(VORNELL_WINE_TESTS)
  include(${CMAKE_SOURCE_DIR}/tests/wine/wine_tests.cmake)
endif()

# The fuzz targets of the clang build (preset "fuzz"), run for a bounded time.
include(${CMAKE_SOURCE_DIR}/cmake/FuzzTests.cmake)

# Before any test: the build it runs from is brought up to date, so that a
# test never runs a program older than its sources. CTest adds these to any
# selection of the tests that need them.
foreach(build IN ITEMS "native|${CMAKE_BINARY_DIR}" "win64|${VORNELL_WIN64_DIR}" "fuzz|${VORNELL_FUZZ_DIR}")
  string(REPLACE "|" ";" build "${build}")
  list(GET build 0 name)
  list(GET build 1 dir)
  add_test(NAME build.${name} COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${dir} -P ${CMAKE_SOURCE_DIR}/cmake/BuildCurrent.cmake)
  set_tests_properties(build.${name} PROPERTIES FIXTURES_SETUP build_${name} RUN_SERIAL TRUE TIMEOUT 1800
                       LABELS build)
endforeach()
