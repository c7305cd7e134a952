#include "payload/extraction_names.h"

#include <algorithm>
#include <cstdio>

#include "util/text.h"

namespace runvo {

namespace {
constexpr std::string_view kPrefix = "rvx";
constexpr std::string_view kSuffix = ".tmp_dir";

std::string hex(std::uint64_t value, int digits) {
  char text[17];
  std::snprintf(text, sizeof text, "%0*llx", digits, static_cast<unsigned long long>(value));
  return text;
}

bool isHex(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

// NTFS lists by upper-cased name, bytes compared unsigned.
bool listedBefore(std::string_view a, std::string_view b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return static_cast<unsigned char>(asciiUpper(x)) < static_cast<unsigned char>(asciiUpper(y));
  });
}
}  // namespace

std::string executableOwnerId(std::string_view modulePath) {
  std::uint32_t hash = 2166136261u;  // FNV-1a
  for (char c : modulePath) {
    const char folded = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    hash = (hash ^ static_cast<unsigned char>(folded)) * 16777619u;
  }
  return hex(hash, 8);
}

std::string extractionDirectoryName(std::string_view ownerId, std::uint64_t random) {
  return std::string(kPrefix) + std::string(ownerId) + "_" + hex(random, 16) + std::string(kSuffix);
}

std::optional<std::vector<std::string>> extractedFolderListing(const std::vector<std::string>& createdPaths,
                                                               std::string_view folder) {
  std::vector<std::string> names;
  bool made = folder.empty();
  for (std::string_view path : createdPaths) {
    if (!folder.empty()) {
      if (equalsIgnoringAsciiCase(path, folder)) {
        made = true;
        continue;
      }
      if (path.size() <= folder.size() || path[folder.size()] != '\\' || !equalsIgnoringAsciiCase(path.substr(0, folder.size()), folder)) {
        continue;
      }
      made = true;
      path.remove_prefix(folder.size() + 1);
    }
    const std::string_view name = path.substr(0, path.find('\\'));
    if (std::none_of(names.begin(), names.end(), [&](const std::string& known) { return equalsIgnoringAsciiCase(known, name); })) {
      names.emplace_back(name);
    }
  }
  if (!made) return std::nullopt;
  std::sort(names.begin(), names.end(), listedBefore);
  return names;
}

bool isExtractionDirectoryOf(std::string_view name, std::string_view ownerId) {
  const std::string start = std::string(kPrefix) + std::string(ownerId) + "_";
  if (!name.starts_with(start) || !name.ends_with(kSuffix)) return false;
  const std::string_view random = name.substr(start.size(), name.size() - start.size() - kSuffix.size());
  return random.size() == 16 && isHex(random);
}

}  // namespace runvo
