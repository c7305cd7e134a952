#include "pack/embedded_names.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace runvo::pack {

namespace {

constexpr std::string_view kForbiddenCharacters = "<>:\"|?*;";

constexpr std::array<std::string_view, 22> kDeviceNames = {
    "CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
    "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9",
};

bool isDeviceName(std::string_view part) {
  const std::string_view stem = part.substr(0, part.find('.'));
  std::string upper(stem);
  std::ranges::transform(upper, upper.begin(), [](unsigned char c) { return std::toupper(c); });
  return std::ranges::find(kDeviceNames, upper) != kDeviceNames.end();
}

std::optional<std::string> partProblem(std::string_view part) {
  if (part.empty()) return "it has an empty part";
  if (part.back() == ' ' || part.back() == '.') {
    return "a part ends with a space or a dot, which Windows drops";
  }
  if (isDeviceName(part)) return "\"" + std::string(part) + "\" is a reserved Windows device name";
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
  if (storedName.empty()) return "the name is empty";
  if (storedName.front() == '\\') return "the name is absolute (it starts with a slash)";
  if (storedName.size() >= 2 && storedName[1] == ':') return "the name is absolute (it has a drive)";
  if (storedName.find("..") != std::string_view::npos) return "the name contains \"..\"";
  for (unsigned char c : storedName) {
    if (c < 0x20) return "the name contains a control character";
    if (kForbiddenCharacters.find(static_cast<char>(c)) != std::string_view::npos) {
      return std::string("the name contains '") + static_cast<char>(c) +
             "', which Windows file names (or the name list) cannot hold";
    }
  }
  const std::size_t separators = std::ranges::count(storedName, '\\');
  if (separators > 1) return "the name has more than one directory level";
  const std::string_view directory = directoryPart(storedName);
  if (separators == 1) {
    if (auto problem = partProblem(directory)) return problem;
  }
  return partProblem(storedName.substr(storedName.find('\\') + 1));
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
