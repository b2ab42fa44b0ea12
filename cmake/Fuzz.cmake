# libFuzzer targets, built instead of the native unit tests when the project is
# configured with -DVORNELL_FUZZ=ON and clang++ (the "fuzz" preset): the name
# comparison, the USB path match, and the command lines and paths built from
# names and folders, all under AddressSanitizer and UBSan.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "The fuzz targets need clang's libFuzzer: configure with "
                      "-DCMAKE_CXX_COMPILER=clang++ (or use the fuzz preset)")
endif()

# The libraries get the coverage instrumentation without libFuzzer's main.
set(VORNELL_FUZZ_SANITIZERS address,undefined)
set(VORNELL_FUZZ_COMPILE_OPTIONS -fsanitize=fuzzer-no-link,${VORNELL_FUZZ_SANITIZERS}
    -fno-sanitize-recover=all -fno-omit-frame-pointer -g -O1)

foreach(library vornell_layout vornell_platform vornell_framework vornell_engine vornell_wizard
        vornell_app)
  target_compile_options(${library} PRIVATE ${VORNELL_FUZZ_COMPILE_OPTIONS})
endforeach()

function(vornell_fuzz_target name)
  add_executable(fuzz_${name} ${CMAKE_SOURCE_DIR}/tests/fuzz/fuzz_${name}.cpp)
  target_compile_options(fuzz_${name} PRIVATE ${VORNELL_FUZZ_COMPILE_OPTIONS})
  target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer,${VORNELL_FUZZ_SANITIZERS})
  target_link_libraries(fuzz_${name} PRIVATE ${ARGN})
  # Where the test command of the native build looks for them.
  set_target_properties(fuzz_${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
endfunction()

vornell_fuzz_target(name_compare vornell_platform)
vornell_fuzz_target(usb_match vornell_wizard)
vornell_fuzz_target(paths vornell_wizard)
