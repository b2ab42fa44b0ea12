# libFuzzer targets, built instead of the native unit tests when the project is
# configured with -DVORNELL_FUZZ=ON and clang++ (the "fuzz" preset): the name
# comparison, the USB path match, and the command lines and paths built from
# names and folders, all under AddressSanitizer and UBSan.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "The fuzz targets need clang's libFuzzer: configure with "
                      "-DCMAKE_CXX_COMPILER=clang++ (or use the fuzz preset)")
endif()

# clang has no execution character set but UTF-8, so the GBK option of the
# top level must go. The fuzzed code handles the bytes it is given and adds
# only ASCII of its own; the harnesses spell every GBK text as bytes, so the
# targets see what the GCC build sees.
function(vornell_fuzz_drop_exec_charset)
  get_property(options DIRECTORY ${CMAKE_SOURCE_DIR} PROPERTY COMPILE_OPTIONS)
  string(REGEX REPLACE ";?-fexec-charset=[A-Za-z0-9_-]+" "" options "${options}")
  set_property(DIRECTORY ${CMAKE_SOURCE_DIR} PROPERTY COMPILE_OPTIONS "${options}")
  get_property(targets DIRECTORY ${CMAKE_SOURCE_DIR} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "INTERFACE_LIBRARY" OR type STREQUAL "UTILITY")
      continue()
    endif()
    get_target_property(options ${target} COMPILE_OPTIONS)
    if(options)
      string(REGEX REPLACE ";?-fexec-charset=[A-Za-z0-9_-]+" "" options "${options}")
      set_property(TARGET ${target} PROPERTY COMPILE_OPTIONS "${options}")
    endif()
  endforeach()
endfunction()

# The libraries get the coverage instrumentation without libFuzzer's main.
set(VORNELL_FUZZ_SANITIZERS address,undefined)
set(VORNELL_FUZZ_COMPILE_OPTIONS -fsanitize=fuzzer-no-link,${VORNELL_FUZZ_SANITIZERS}
    -fno-sanitize-recover=all -fno-omit-frame-pointer -g -O1)

if(NOT TARGET vornell_framework_headless)
  vornell_folder_library(vornell_framework_headless framework/headless)
endif()
if(NOT TARGET vornell_platform_simulated)
  vornell_folder_library(vornell_platform_simulated platform/simulated)
endif()
vornell_fuzz_drop_exec_charset()

foreach(library vornell_layout vornell_platform vornell_framework vornell_engine vornell_wizard
        vornell_app vornell_framework_headless vornell_platform_simulated)
  get_target_property(type ${library} TYPE)
  if(NOT type STREQUAL "INTERFACE_LIBRARY")
    target_compile_options(${library} PRIVATE ${VORNELL_FUZZ_COMPILE_OPTIONS})
  endif()
endforeach()

find_package(Threads REQUIRED)

# The layers refer to each other in both directions through the seams.
set(VORNELL_FUZZ_WHOLE_PROGRAM
  -Wl,--start-group vornell_app vornell_wizard vornell_engine vornell_framework
  vornell_framework_headless vornell_platform vornell_platform_simulated vornell_layout
  -Wl,--end-group Threads::Threads)

function(vornell_fuzz_target name)
  add_executable(fuzz_${name} ${CMAKE_SOURCE_DIR}/tests/fuzz/fuzz_${name}.cpp)
  target_compile_options(fuzz_${name} PRIVATE ${VORNELL_FUZZ_COMPILE_OPTIONS})
  target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer,${VORNELL_FUZZ_SANITIZERS})
  target_link_libraries(fuzz_${name} PRIVATE ${ARGN})
  # Where the test command of the native build looks for them.
  set_target_properties(fuzz_${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
endfunction()

vornell_fuzz_target(name_compare vornell_platform)
vornell_fuzz_target(usb_match ${VORNELL_FUZZ_WHOLE_PROGRAM})
vornell_fuzz_target(paths ${VORNELL_FUZZ_WHOLE_PROGRAM})
