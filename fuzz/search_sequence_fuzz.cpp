// The JVM search sequence: its entries must be exactly the non-empty pieces
// between the separators, and the fallback pass must retry B always and A
// or R only at a relative location.
// Input: the configured sequence.
#include "fuzz/fuzz_support.h"
#include "jvm/search_sequence.h"

namespace {

std::vector<std::string_view> nonEmptyPieces(std::string_view sequence) {
  std::vector<std::string_view> pieces;
  std::size_t start = 0;
  while (start <= sequence.size()) {
    std::size_t end = sequence.find(';', start);
    if (end == std::string_view::npos) end = sequence.size();
    if (end > start) pieces.push_back(sequence.substr(start, end - start));
    start = end + 1;
  }
  return pieces;
}

bool isAbsolute(std::string_view location) {
  return (location.size() >= 2 && location[1] == ':') || location.starts_with("\\\\");
}

bool shouldRetry(const runvo::SearchEntry& entry) {
  if (entry.type == 'B') return true;
  return (entry.type == 'A' || entry.type == 'R') && !isAbsolute(entry.location);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view sequence = runvo::fuzz::asText(data, size);
  const std::vector<runvo::SearchEntry> entries = runvo::parseSearchSequence(sequence);
  const std::vector<std::string_view> pieces = nonEmptyPieces(sequence);
  FUZZ_EXPECT(entries.size() == pieces.size());
  for (std::size_t i = 0; i < entries.size() && i < pieces.size(); ++i) {
    FUZZ_EXPECT(entries[i].type + entries[i].location == pieces[i]);
    FUZZ_EXPECT(runvo::retriedInFallbackPass(entries[i]) == shouldRetry(entries[i]));
  }
  return 0;
}
