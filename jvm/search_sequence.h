// The configured JVM search sequence: ";"-separated entries, each a type
// character followed by its location text.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace runvo {

struct SearchEntry {
  char type = '\0';      // 'A', 'B', 'R', 'E', 'S', 'Y' or anything else (skipped)
  std::string location;  // the text after the type character, unexpanded
};

// Empty entries (doubled or trailing separators) are dropped.
std::vector<SearchEntry> parseSearchSequence(std::string_view sequence);

// Whether the fallback pass retries the entry: B always, A and R only when
// their location is relative (not "X:..." and not "\\...").
bool retriedInFallbackPass(const SearchEntry& entry);

}  // namespace runvo
