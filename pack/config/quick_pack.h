// Packing a jar without writing a config first: the config is made from the
// jar's manifest, a folder of libraries and the main class and arguments of
// the command line. `build --jar` loads it directly and `init` writes it to
// a file, so that both give the same executable.
#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "pack/common/expected.h"
#include "pack/config/pack_config.h"

namespace runvo::pack {

struct QuickPack {
  std::filesystem::path jar;
  std::optional<std::filesystem::path> libraryFolder;  // every *.jar in it is embedded
  std::string serviceName;
  std::optional<std::string> mainClass;  // --main-class, in place of the manifest's Main-Class
  std::vector<std::string> arguments;    // --arg, in order: the words the main method receives
};

struct QuickConfig {
  std::string text;
  // false: neither --main-class nor the manifest names one, and the config
  // leaves it to be filled in
  bool namesMainClass = true;
  std::vector<std::string> warnings;  // one line each: the Class-Path entries left out, and why
};

// The config file `configPath` for the jar, with sources relative to its
// directory (absolute where the manifest names them so): the jar, the files
// its Class-Path names, the library folder's jars, each embedded at the top
// of the extraction directory; the main class and the arguments. A
// Class-Path entry that java would run without (it names nothing that
// exists, or no local file) is left out with a warning; one that exists but
// cannot join the class path from there (a folder, a file that is no .jar
// or .zip) is refused. Unusable --main-class and --arg values are refused.
Expected<QuickConfig> quickConfig(const QuickPack& quick, const std::filesystem::path& configPath);

struct QuickPlan {
  PackPlan plan;
  std::vector<std::string> warnings;  // as QuickConfig's
};

// build --jar: that config as `init` would write it into the current
// directory, so that its problems are reported at the lines of that file.
// Without a main class it is refused.
Expected<QuickPlan> loadQuickPack(const QuickPack& quick);

// init: writes the config to `configPath`; an existing file is never replaced.
Expected<QuickConfig> writeQuickConfig(const QuickPack& quick, const std::filesystem::path& configPath);

// The name `init` gives the config when no other is asked for.
inline constexpr std::string_view kQuickConfigName = "runvo.toml";

}  // namespace runvo::pack
