# A bounded run of each fuzz target (built by the "fuzz" preset) in the test
# command of the native build, label "fuzz". libFuzzer writes what it finds
# into the first folder it is given: a fresh one under this build folder, so
# the committed corpus, given second, is only read.
#
# Run as a script (cmake -P), this file empties those folders before the runs.
set(VORNELL_FUZZ_TARGETS name_compare usb_match paths)

if(CMAKE_SCRIPT_MODE_FILE)
  file(REMOVE_RECURSE "${FUZZ_WORK_DIR}")
  foreach(target IN LISTS VORNELL_FUZZ_TARGETS)
    file(MAKE_DIRECTORY "${FUZZ_WORK_DIR}/${target}/corpus" "${FUZZ_WORK_DIR}/${target}/crashes")
  endforeach()
  return()
endif()

set(VORNELL_FUZZ_DIR "${CMAKE_SOURCE_DIR}/build/fuzz" CACHE PATH
    "Build folder of the fuzz targets (the fuzz preset), for the bounded fuzz runs")
set(VORNELL_FUZZ_SECONDS 20 CACHE STRING "Seconds each fuzz target runs in the test command")
set(fuzz_work_dir "${CMAKE_BINARY_DIR}/fuzz-runs")

add_test(NAME fuzz.fresh_folders
         COMMAND ${CMAKE_COMMAND} -DFUZZ_WORK_DIR=${fuzz_work_dir} -P ${CMAKE_CURRENT_LIST_FILE})
set_tests_properties(fuzz.fresh_folders PROPERTIES LABELS fuzz FIXTURES_SETUP fuzz_folders)

foreach(target IN LISTS VORNELL_FUZZ_TARGETS)
  add_test(NAME fuzz.${target}
           COMMAND ${VORNELL_FUZZ_DIR}/fuzz_${target}
                   -max_total_time=${VORNELL_FUZZ_SECONDS} -seed=1 -timeout=10 -print_final_stats=1
                   -artifact_prefix=${fuzz_work_dir}/${target}/crashes/
                   ${fuzz_work_dir}/${target}/corpus
                   ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/${target}
           WORKING_DIRECTORY ${fuzz_work_dir})
  set_tests_properties(fuzz.${target} PROPERTIES
                       LABELS fuzz FIXTURES_REQUIRED "fuzz_folders;build_fuzz"
                       TIMEOUT 180)
endforeach()
