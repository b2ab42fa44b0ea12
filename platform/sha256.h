#pragma once
// SHA-256 of our own: the program checks its package with it, and needs no
// DLL for it beyond what every Windows has loaded.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace vornell {

class Sha256 {
 public:
  Sha256();
  void Add(const void* data, std::size_t size);
  // The digest as 64 lowercase hexadecimal digits; the object is spent.
  std::string HexDigest();

 private:
  void Block(const std::uint8_t* block);
  std::array<std::uint32_t, 8> state_;
  std::array<std::uint8_t, 64> pending_{};
  std::size_t pendingSize_ = 0;
  std::uint64_t totalBytes_ = 0;
};

}  // namespace vornell
