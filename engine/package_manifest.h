#pragma once
// The driver package this program was built for: every file's name, size
// and SHA-256, sorted by name. The build writes it from the package folder
// it was given; an install uses only files that match it.
#include <cstdint>
#include <string>
#include <vector>

namespace vornell {

struct ManifestFile {
  std::string name;  // no folder
  std::uint64_t size = 0;
  std::string sha256;  // 64 lowercase hex digits
};
using PackageManifest = std::vector<ManifestFile>;

// The manifest built into the program.
const PackageManifest& BuiltInManifest();
// The signed catalog the package's INF names ("" when it names none).
const char* BuiltInCatalog();

// The entry for `name`, letter case aside; null when the package has none.
const ManifestFile* FindInManifest(const PackageManifest& manifest, const std::string& name);

}  // namespace vornell
