#include "util/text.h"

#include <algorithm>

namespace runvo {

std::vector<std::string> splitNonEmpty(std::string_view text, char separator) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(separator, start);
    if (end == std::string_view::npos) end = text.size();
    if (end > start) pieces.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return pieces;
}

char asciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool equalsIgnoringAsciiCase(std::string_view left, std::string_view right) {
  return std::ranges::equal(left, right, [](char a, char b) { return asciiUpper(a) == asciiUpper(b); });
}

}  // namespace runvo
