#include "jvm/search_sequence.h"

#include "util/text.h"

namespace runvo {

namespace {

// Deliberately looser than a full path test: "C:" alone or "C:dir" count as
// absolute here, so such entries are not retried against the launcher's
// directory.
bool isAbsoluteLocation(std::string_view location) {
  if (location.size() < 2) return false;
  return location[1] == ':' || location.starts_with("\\\\");
}

}  // namespace

std::vector<SearchEntry> parseSearchSequence(std::string_view sequence) {
  std::vector<SearchEntry> entries;
  for (const std::string& entry : splitNonEmpty(sequence, ';')) {
    entries.push_back({.type = entry.front(), .location = entry.substr(1)});
  }
  return entries;
}

bool retriedInFallbackPass(const SearchEntry& entry) {
  switch (entry.type) {
    case 'B':
      return true;
    case 'A':
    case 'R':
      return !isAbsoluteLocation(entry.location);
    default:
      return false;
  }
}

}  // namespace runvo
