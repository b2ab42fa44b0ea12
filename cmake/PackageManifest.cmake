# Writes the driver package's manifest as C++ source: every file of
# PACKAGE_DIR with its size and SHA-256, sorted by name, no paths.
# Run as a script: cmake -DPACKAGE_DIR=... -DOUTPUT=... -P PackageManifest.cmake
file(GLOB entries RELATIVE ${PACKAGE_DIR} ${PACKAGE_DIR}/*)
list(SORT entries CASE INSENSITIVE)
set(body "")
set(count 0)
foreach(name IN LISTS entries)
  if(IS_DIRECTORY ${PACKAGE_DIR}/${name})
    continue()
  endif()
  if(NOT name MATCHES "^[A-Za-z0-9._-]+$")
    message(FATAL_ERROR "package file name the manifest cannot hold: ${name}")
  endif()
  file(SIZE ${PACKAGE_DIR}/${name} size)
  file(SHA256 ${PACKAGE_DIR}/${name} hash)
  string(APPEND body "      {\"${name}\", ${size}u, \"${hash}\"},\n")
  math(EXPR count "${count} + 1")
endforeach()
if(count EQUAL 0)
  message(FATAL_ERROR "no package files in ${PACKAGE_DIR}")
endif()
set(content "// Written by the build from the driver package; not to be edited or committed.
#include \"engine/package_manifest.h\"

namespace vornell {

const PackageManifest& BuiltInManifest() {
  static const PackageManifest manifest = {
${body}  };
  return manifest;
}

}  // namespace vornell
")
# Rewritten only when it changes, so that an unchanged package rebuilds nothing.
file(CONFIGURE OUTPUT ${OUTPUT} CONTENT "${content}" @ONLY)
