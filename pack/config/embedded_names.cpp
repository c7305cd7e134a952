#include "pack/config/embedded_names.h"

#include <algorithm>

#include "payload/embedded_name_rules.h"

namespace runvo::pack {

namespace {

constexpr std::string_view kForbiddenCharacters = "<>:\"|?*;";

std::string forbiddenCharacterProblem(char c) {
  return std::string("the name contains '") + c + "', which Windows file names (or the name list) cannot hold";
}

std::optional<std::string> partProblem(std::string_view part) {
  if (part.empty()) return "it has an empty part";
  if (part.back() == ' ' || part.back() == '.') {
    return "a part ends with a space or a dot, which Windows drops";
  }
  return std::nullopt;
}

unsigned char foldLetter(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
  switch (c) {
    case 0x8A: return 0x9A;  // Š
    case 0x8C: return 0x9C;  // Œ
    case 0x8E: return 0x9E;  // Ž
    case 0x9F: return 0xFF;  // Ÿ
    default: return c;
  }
}

}  // namespace

std::string storedEmbeddedName(std::string_view name) {
  std::string stored(name);
  std::ranges::replace(stored, '/', '\\');
  return stored;
}

std::optional<std::string> embeddedNameProblem(std::string_view storedName) {
  if (auto unsafe = unsafeEmbeddedName(storedName)) {
    // A ':' anywhere is one of the characters a name cannot hold: say so in the same words.
    if (unsafe->hazard == NameHazard::Colon) return forbiddenCharacterProblem(':');
    return describeUnsafeName(*unsafe);
  }
  if (auto forbidden = std::ranges::find_first_of(storedName, kForbiddenCharacters); forbidden != storedName.end()) {
    return forbiddenCharacterProblem(*forbidden);
  }
  for (std::size_t start = 0;;) {
    const std::size_t end = storedName.find('\\', start);
    if (auto problem = partProblem(storedName.substr(start, end - start))) return problem;
    if (end == std::string_view::npos) return std::nullopt;
    start = end + 1;
  }
}

std::string foldedForComparison(std::string_view windows1252Name) {
  std::string folded(windows1252Name);
  std::ranges::transform(folded, folded.begin(), [](char c) {
    return static_cast<char>(foldLetter(static_cast<unsigned char>(c)));
  });
  return folded;
}

std::string_view directoryPart(std::string_view storedName) {
  const std::size_t separator = storedName.find('\\');
  return separator == std::string_view::npos ? std::string_view{} : storedName.substr(0, separator);
}

}  // namespace runvo::pack
