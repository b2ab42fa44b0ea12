# The shipped program: one static Vornell.exe that imports only DLLs on
# Windows' KnownDLLs list. Every other system DLL (comctl32, winspool.drv,
# riched20, newdev) is loaded from the system directory at run time
# (platform/win32/system_library.h): an import of one would be taken from the
# program's folder. Not linking their import libraries keeps it so.
add_link_options(-static -static-libgcc -static-libstdc++)
# No link time in the image's header, so that a build can be checked
# against another of the same commit.
add_link_options(-Wl,--no-insert-timestamp)
# The oldest Windows the program runs on, 7 (6.1), in the image's OS and
# subsystem versions, rather than the linker's 4.0 and 5.2.
add_link_options(-Wl,--major-os-version,6,--minor-os-version,1,--major-subsystem-version,6,--minor-subsystem-version,1)

enable_language(RC)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I${CMAKE_SOURCE_DIR}")
add_executable(Vornell WIN32 res/vornell.rc)
target_link_libraries(Vornell PRIVATE vornell_app)
# Nothing names the entry point or the application object until the libraries
# were scanned (the C runtime asks for WinMain last; theApp is named by no
# one): pull both in.
target_link_options(Vornell PRIVATE -Wl,--undefined=WinMain)
target_link_options(Vornell PRIVATE -Wl,--whole-archive $<TARGET_FILE:vornell_app> -Wl,--no-whole-archive)
set_target_properties(Vornell PROPERTIES OUTPUT_NAME Vornell)

# Programs that drive the real Vornell.exe under Wine.
if(EXISTS ${CMAKE_SOURCE_DIR}/tests/wine/CMakeLists.txt)
  add_subdirectory(tests/wine)
endif()

# CMake does not see the files the resource script pulls in: name them, so
# that new artwork reaches the programs.
file(GLOB vornell_rc_inputs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/res/*.bmp ${CMAKE_SOURCE_DIR}/res/*.ico
     ${CMAKE_SOURCE_DIR}/res/*.manifest ${CMAKE_SOURCE_DIR}/res/resource.h)
set_source_files_properties(${CMAKE_SOURCE_DIR}/res/vornell.rc
  DIRECTORY ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/tests/wine
  PROPERTIES OBJECT_DEPENDS "${vornell_rc_inputs}")

# The MSI's custom actions (msi/): a DLL of its own, linked as statically as
# the program and held to the same import check.
add_library(VornellMsiAction SHARED msi/custom_action.cpp msi/action_outcome.cpp)
set_target_properties(VornellMsiAction PROPERTIES PREFIX "" OUTPUT_NAME VornellMsiAction)
target_link_options(VornellMsiAction PRIVATE -Wl,--subsystem,windows:6.1)
target_link_libraries(VornellMsiAction PRIVATE advapi32 kernel32)
