// What the quick path takes from a jar: the main section of its
// META-INF/MANIFEST.MF, read by the rules `java -jar` follows.
#pragma once
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pack/common/expected.h"

namespace runvo::pack {

inline constexpr std::string_view kManifestName = "META-INF/MANIFEST.MF";

struct JarManifest {
  bool present = false;                // the jar has a manifest at all
  std::string mainClass;               // empty when the manifest names none
  std::vector<std::string> classPath;  // the Class-Path's URLs, as written
};

// The main section of manifest text: "Name: value" lines, continued by
// lines that start with one space, up to the first empty line. Attribute
// names compare ignoring case; a line that is not "Name: value" is refused,
// as Java refuses it.
Expected<JarManifest> parseManifest(std::string_view text);

// The manifest of a jar's bytes; a jar without one gives a JarManifest that
// is not `present`.
Expected<JarManifest> readJarManifest(std::span<const std::uint8_t> jar);

}  // namespace runvo::pack
