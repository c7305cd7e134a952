#include "pack/jar/jar_manifest.h"

#include <algorithm>
#include <optional>

#include "pack/jar/zip_reader.h"
#include "util/text.h"

namespace runvo::pack {

namespace {

// Far above any real main section; signed jars list a digest per entry
// after it, which makes manifests of some megabytes.
constexpr std::uint32_t kLargestManifest = 16u << 20;

// Java splits Class-Path at these.
constexpr std::string_view kClassPathSeparators = " \t\n\r\f";

// The next line and what follows it; a line ends at CR LF, LF or CR.
std::string_view takeLine(std::string_view& text) {
  const std::size_t end = text.find_first_of("\r\n");
  const std::string_view line = text.substr(0, end);
  if (end == std::string_view::npos) {
    text = {};
  } else {
    text.remove_prefix(end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1));
  }
  return line;
}

std::string_view trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::vector<std::string> classPathEntries(std::string_view value) {
  std::vector<std::string> entries;
  for (std::size_t at = value.find_first_not_of(kClassPathSeparators); at != std::string_view::npos;) {
    const std::size_t end = value.find_first_of(kClassPathSeparators, at);
    entries.emplace_back(value.substr(at, end - at));
    at = value.find_first_not_of(kClassPathSeparators, end);
  }
  return entries;
}

struct Attribute {
  std::string name;
  std::string value;
};

// The headers of the main section with their continuation lines joined.
Expected<std::vector<Attribute>> mainSection(std::string_view text) {
  std::vector<Attribute> attributes;
  for (int number = 1; !text.empty(); ++number) {
    const std::string_view line = takeLine(text);
    if (line.empty()) break;
    if (line.front() == ' ') {
      if (attributes.empty()) return failure("line " + std::to_string(number) + " continues no header");
      attributes.back().value += line.substr(1);
      continue;
    }
    const std::size_t colon = line.find(": ");
    if (colon == std::string_view::npos || colon == 0) {
      return failure("line " + std::to_string(number) + " is not \"Name: value\"");
    }
    attributes.push_back({std::string(line.substr(0, colon)), std::string(line.substr(colon + 2))});
  }
  return attributes;
}

}  // namespace

Expected<JarManifest> parseManifest(std::string_view text) {
  auto attributes = mainSection(text);
  if (!attributes) return attributes.error();
  JarManifest manifest{.present = true};
  for (const Attribute& attribute : *attributes) {
    if (equalsIgnoringAsciiCase(attribute.name, "Main-Class")) {
      // `java -jar` takes "com/example/Main" as well; Class.forName wants dots.
      manifest.mainClass = trimmed(attribute.value);
      std::ranges::replace(manifest.mainClass, '/', '.');
    } else if (equalsIgnoringAsciiCase(attribute.name, "Class-Path")) {
      manifest.classPath = classPathEntries(attribute.value);
    }
  }
  return manifest;
}

Expected<JarManifest> readJarManifest(std::span<const std::uint8_t> jar) {
  auto archive = ZipArchive::open(jar);
  if (!archive) return archive.error();
  const ZipEntry* entry = archive->find(kManifestName);
  if (!entry) return JarManifest{};
  auto content = archive->read(*entry, kLargestManifest);
  if (!content) return content.error();
  auto manifest = parseManifest(std::string_view(reinterpret_cast<const char*>(content->data()), content->size()));
  if (!manifest) return failure(std::string(kManifestName) + ": " + manifest.error().message);
  return manifest;
}

}  // namespace runvo::pack
