# Run as a script (cmake -P) before the tests that use BUILD_DIR: builds it,
# so no test runs a stale program.
if(NOT EXISTS "${BUILD_DIR}/CMakeCache.txt")
  message(FATAL_ERROR "${BUILD_DIR} is not configured: run scripts/test.sh, or its preset")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build "${BUILD_DIR}" -j 2 RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "the build in ${BUILD_DIR} failed")
endif()
