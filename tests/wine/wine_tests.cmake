# Registers one CTest test per tests/wine/wt_*.cpp. Each runs the matching
# program of the Windows build in a fresh copy of the prepared Wine prefix,
# on an Xvfb of its own, one at a time and with nothing else beside it.
# A source may ask for environment with a line "// wine-test-env: NAME=VALUE;NAME=VALUE".
file(GLOB wine_test_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/wine/wt_*.cpp)
foreach(source IN LISTS wine_test_sources)
  get_filename_component(name ${source} NAME_WE)
  add_test(NAME wine.${name}
           COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-test.sh ${VORNELL_WIN64_DIR} ${name})
  file(STRINGS ${source} env_lines REGEX "^// wine-test-env: ")
  set(env "")
  foreach(line IN LISTS env_lines)
    string(REGEX REPLACE "^// wine-test-env: " "" line "${line}")
    list(APPEND env ${line})
  endforeach()
  # Alone: several of them time the program's answers and watch short-lived
  # processes, which a fuzz run on the other core would disturb.
  set_tests_properties(wine.${name} PROPERTIES LABELS wine RUN_SERIAL TRUE TIMEOUT 900
                       ENVIRONMENT "${env}" FIXTURES_REQUIRED build_win64)
endforeach()

# Vornell.exe is one self-contained file that imports only system DLLs.
add_test(NAME package.imports
         COMMAND ${CMAKE_SOURCE_DIR}/tests/package/check_imports.sh ${VORNELL_WIN64_DIR}/Vornell.exe)
set_tests_properties(package.imports PROPERTIES LABELS package FIXTURES_REQUIRED build_win64)

# The MSI's custom-action DLL, held to the same rule.
add_test(NAME package.imports.msi_action
         COMMAND ${CMAKE_SOURCE_DIR}/tests/package/check_imports.sh ${VORNELL_WIN64_DIR}/VornellMsiAction.dll)
set_tests_properties(package.imports.msi_action PROPERTIES LABELS package FIXTURES_REQUIRED build_win64)

# The MSI's life cycle under Wine's msiexec, driven from the shell.
add_test(NAME wine.msi_lifecycle COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/msi_lifecycle.sh ${VORNELL_WIN64_DIR})
set_tests_properties(wine.msi_lifecycle PROPERTIES LABELS wine RUN_SERIAL TRUE TIMEOUT 900 FIXTURES_REQUIRED build_win64)

# Two builds of the MSI from the same inputs, at different times, are the same bytes.
add_test(NAME package.msi_reproducible COMMAND ${CMAKE_SOURCE_DIR}/tests/package/msi_reproducible.sh ${VORNELL_WIN64_DIR})
set_tests_properties(package.msi_reproducible PROPERTIES LABELS package FIXTURES_REQUIRED build_win64)

# The release: signed with a throw-away key and time-stamped, and its
# program, built in a folder of its own, the same bytes as this build's.
add_test(NAME package.release
         COMMAND ${CMAKE_SOURCE_DIR}/tests/package/release_test.sh ${VORNELL_WIN64_DIR})
# Alone: it builds the program once more, on both cores.
set_tests_properties(package.release PROPERTIES LABELS package FIXTURES_REQUIRED build_win64
                     RUN_SERIAL TRUE TIMEOUT 1800)
