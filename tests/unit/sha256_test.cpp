// Our SHA-256 against published and sha256sum's digests: the build's
// manifest is made by another implementation, so the two must agree at
// every length the padding treats differently.
#include "platform/sha256.h"

#include <gtest/gtest.h>

#include <string>

namespace vornell {
namespace {

std::string Digest(const std::string& data, std::size_t piece) {
  Sha256 hash;
  for (std::size_t at = 0; at < data.size(); at += piece) hash.Add(data.data() + at, std::min(piece, data.size() - at));
  return hash.HexDigest();
}

TEST(Sha256, KnownDigestsWholeAndInPieces) {
  const struct {
    std::string data;
    const char* digest;
  } cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& c : cases) {
    for (const std::size_t piece : {std::size_t{1}, std::size_t{63}, std::size_t{4096}}) {
      EXPECT_EQ(Digest(c.data, piece), c.digest) << c.data.size() << " bytes in pieces of " << piece;
    }
  }
  // Where the length no longer fits the last block, or just does.
  const struct {
    std::size_t length;
    const char* digest;
  } edges[] = {
      {55, "f34d5a0f80c0cbf84c8c0b90218c22637abd199965249da736a20143c8c9c9d9"},
      {56, "83aa034bda83e458a0dc9cbce0d4e354716aa0ff770ed37ac0ed2b292052e4af"},
      {63, "074f6e9ac301d5d1b6df6f1dfb8c6f89c187ea945d352ce6a29279a9c630680b"},
      {64, "9674d9e078535b7cec43284387a6ee39956188e735a85452b0050b55341cda56"},
      {65, "52774b57c10e45040a61c14d35c1c8ebefe880082313aa0a21ebb077734cd067"},
      {119, "d0cb70d05ff14123f114c0cca360c62077379cf1ac90e1bfafa9e9e4d827596a"},
  };
  for (const auto& e : edges) {
    std::string digits;
    for (std::size_t i = 0; i < e.length; ++i) digits += static_cast<char>('0' + i % 10);
    EXPECT_EQ(Digest(digits, 7), e.digest) << e.length << " bytes";
  }
}

}  // namespace
}  // namespace vornell
