#include "payload/extraction_names.h"

#include <cstdio>

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

bool isExtractionDirectoryOf(std::string_view name, std::string_view ownerId) {
  const std::string start = std::string(kPrefix) + std::string(ownerId) + "_";
  if (!name.starts_with(start) || !name.ends_with(kSuffix)) return false;
  const std::string_view random = name.substr(start.size(), name.size() - start.size() - kSuffix.size());
  return random.size() == 16 && isHex(random);
}

}  // namespace runvo
