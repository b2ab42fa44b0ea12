# Writes the driver package's manifest as C++ source: every file of
# PACKAGE_DIR with its size and SHA-256, sorted by name, no paths; and the
# catalog its INF names, which the install then requires.
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

# The catalog as 64-bit Windows finds it: [Version] CatalogFile.NTamd64,
# else a plain CatalogFile.
list(FILTER entries INCLUDE REGEX "\\.[iI][nN][fF]$")
list(LENGTH entries inf_count)
if(NOT inf_count EQUAL 1)
  message(FATAL_ERROR "the package must hold exactly one INF, not ${inf_count}")
endif()
file(READ ${PACKAGE_DIR}/${entries} bom LIMIT 2 HEX)
if(bom STREQUAL "fffe")
  file(STRINGS ${PACKAGE_DIR}/${entries} lines ENCODING UTF-16LE)
else()
  file(STRINGS ${PACKAGE_DIR}/${entries} lines)
endif()
set(section "")
set(decorated "")
set(plain "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE ";.*" "" line "${line}")
  string(STRIP "${line}" line)
  string(TOLOWER "${line}" lower)
  if(lower MATCHES "^\\[(.*)\\]$")
    string(STRIP "${CMAKE_MATCH_1}" section)
  elseif(section STREQUAL "version" AND lower MATCHES "^catalogfile(\\.ntamd64)?[ \t]*=")
    string(REGEX REPLACE "^[^=]*=[ \t]*" "" value "${line}")
    if(CMAKE_MATCH_1)
      set(decorated "${value}")
    else()
      set(plain "${value}")
    endif()
  endif()
endforeach()
set(catalog "${decorated}")
if(catalog STREQUAL "")
  set(catalog "${plain}")
endif()
if(catalog STREQUAL "")
  message(WARNING "${entries} names no catalog: 64-bit Windows will refuse the driver as unsigned")
elseif(NOT EXISTS ${PACKAGE_DIR}/${catalog} OR NOT catalog MATCHES "^[A-Za-z0-9._-]+$")
  message(FATAL_ERROR "${entries} names the catalog ${catalog}, which the package does not hold")
endif()
set(content "// Written by the build from the driver package; not to be edited or committed.
#include \"engine/package_manifest.h\"

namespace vornell {

const PackageManifest& BuiltInManifest() {
  static const PackageManifest manifest = {
${body}  };
  return manifest;
}

const char* BuiltInCatalog() { return \"${catalog}\"; }

}  // namespace vornell
")
# Rewritten only when it changes, so that an unchanged package rebuilds nothing.
file(CONFIGURE OUTPUT ${OUTPUT} CONTENT "${content}" @ONLY)
