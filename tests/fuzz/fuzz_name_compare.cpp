// The one case-insensitive name comparison, on any two byte strings: it is
// reflexive and symmetric, it says what comparing the folded forms says
// (single-byte letters by their capital, double-byte characters whole), and
// it never reads a byte past either name.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gbk.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using vornell::NamesEqualIgnoreCase;
using namespace vornell::fuzz;

// How the second name is made; random pairs are almost never equal.
enum class Pair : std::uint8_t {
  kIndependent,       // from the input
  kLetterCaseSwapped, // the first with single-byte letters' case swapped: equal
  kTrailCaseSwapped,  // the first with one letter-like trail byte swapped: another character
};

// Swaps the case of one trail byte in A-Z or a-z, the `choice`-th of them;
// the text unchanged when it has none.
std::string SwapTrailLetterCase(std::string_view text, unsigned choice) {
  std::vector<std::size_t> trails;
  std::size_t at = 0;
  for (std::string_view character : Characters(text)) {
    if (character.size() == 2) {
      const char trail = character[1];
      if ((trail >= 'A' && trail <= 'Z') || (trail >= 'a' && trail <= 'z')) trails.push_back(at + 1);
    }
    at += character.size();
  }
  std::string out(text);
  if (!trails.empty()) out[trails[choice % trails.size()]] ^= 0x20;
  return out;
}

void CheckPair(std::string_view first, std::string_view second) {
  const ExactBytes a(first);
  const ExactBytes b(second);
  const bool equal = NamesEqualIgnoreCase(a.view(), b.view());
  FUZZ_CHECK(NamesEqualIgnoreCase(a.view(), a.view()));
  FUZZ_CHECK(NamesEqualIgnoreCase(b.view(), b.view()));
  FUZZ_CHECK(NamesEqualIgnoreCase(b.view(), a.view()) == equal);
  FUZZ_CHECK(equal == ReferenceNamesEqual(first, second));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const auto pair = static_cast<Pair>(input.ConsumeIntegralInRange<std::uint8_t>(0, 2));
  const auto pattern = input.ConsumeIntegral<std::uint8_t>();
  const auto cut = input.ConsumeIntegral<std::uint16_t>();

  const std::string first = input.ConsumeRandomLengthString(512);
  std::string second;
  switch (pair) {
    case Pair::kIndependent:
      second = input.ConsumeRandomLengthString(512);
      break;
    case Pair::kLetterCaseSwapped:
      second = SwapLetterCase(first, pattern);
      FUZZ_CHECK(NamesEqualIgnoreCase(ExactBytes(first).view(), ExactBytes(second).view()));
      break;
    case Pair::kTrailCaseSwapped:
      second = SwapTrailLetterCase(first, pattern);
      FUZZ_CHECK(NamesEqualIgnoreCase(ExactBytes(first).view(), ExactBytes(second).view()) ==
                 (first == second));
      break;
  }
  CheckPair(first, second);

  // The same two names cut short at one place: a double-byte character cut
  // in half leaves a lone lead byte at the end of both.
  const std::size_t length = std::min<std::size_t>(cut % (first.size() + 1), second.size());
  CheckPair(std::string_view(first).substr(0, length), std::string_view(second).substr(0, length));
  if (pair == Pair::kLetterCaseSwapped) {
    FUZZ_CHECK(NamesEqualIgnoreCase(ExactBytes(first.substr(0, length)).view(),
                                    ExactBytes(second.substr(0, length)).view()));
  }
  return 0;
}
