# Native Linux build: the wizard and engine against the headless window and
# the simulated machine, for fast unit tests under the sanitizers.
set(VORNELL_WIN64_DIR "${CMAKE_SOURCE_DIR}/build/win64" CACHE PATH "Build folder of the Windows program, for the Wine tests")
option(VORNELL_WINE_TESTS "Register the Wine tests of the Windows program" ON)


vornell_folder_library(vornell_framework_headless framework/headless)
vornell_folder_library(vornell_platform_simulated platform/simulated)

find_package(GTest REQUIRED)
find_package(Threads REQUIRED)
enable_testing()

file(GLOB unit_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)
add_executable(unit_tests ${unit_sources})
# Link groups: the layers refer to each other in both directions through the seams.
target_link_libraries(unit_tests PRIVATE
  -Wl,--start-group vornell_app vornell_wizard vornell_engine vornell_framework
  vornell_framework_headless vornell_platform vornell_platform_simulated vornell_layout
  -Wl,--end-group GTest::gtest GTest::gtest_main Threads::Threads)
target_compile_definitions(unit_tests PRIVATE VORNELL_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
include(GoogleTest)
gtest_discover_tests(unit_tests PROPERTIES LABELS unit DISCOVERY_TIMEOUT 60)

if(VORNELL_WINE_TESTS)
  include(${CMAKE_SOURCE_DIR}/tests/wine/wine_tests.cmake)
endif()

# The fuzz targets of the clang build (preset "fuzz"), run for a bounded time.
include(${CMAKE_SOURCE_DIR}/cmake/FuzzTests.cmake)
