// Packing a jar without writing a config first: the config is made from the
// jar's manifest and a folder of libraries. `build --jar` loads it directly
// and `init` writes it to a file, so that both give the same executable.
#pragma once
#include <filesystem>
#include <optional>
#include <string>

#include "pack/expected.h"
#include "pack/pack_config.h"

namespace runvo::pack {

struct QuickPack {
  std::filesystem::path jar;
  std::optional<std::filesystem::path> libraryFolder;  // every *.jar in it is embedded
  std::string serviceName;
};

struct QuickConfig {
  std::string text;
  bool namesMainClass = true;  // false: the manifest has none, and the config leaves it to be filled in
};

// The config file `configPath` for the jar, with sources relative to its
// directory: the jar, the files its Class-Path names (which must exist
// beside it), the library folder's jars, each embedded at the top of the
// extraction directory; the manifest's Main-Class as the main class.
Expected<QuickConfig> quickConfig(const QuickPack& quick, const std::filesystem::path& configPath);

// build --jar: that config as `init` would write it into the current
// directory, so that its problems are reported at the lines of that file.
// A jar whose manifest has no Main-Class is refused.
Expected<PackPlan> loadQuickPack(const QuickPack& quick);

// init: writes the config to `configPath`; an existing file is never replaced.
Expected<QuickConfig> writeQuickConfig(const QuickPack& quick, const std::filesystem::path& configPath);

// The name `init` gives the config when no other is asked for.
inline constexpr std::string_view kQuickConfigName = "runvo.toml";

}  // namespace runvo::pack
