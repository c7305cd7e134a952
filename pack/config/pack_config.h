// The builder's input: a TOML config turned into the configuration table and
// the embedded files, with every problem reported against the config's lines.
#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pack/common/expected.h"
#include "pack/image/identity.h"
#include "payload/config_table.h"
#include "payload/payload_writer.h"

namespace runvo::pack {

// Read from `source` only while the executable is written, so that a large
// file is never held in memory whole.
struct EmbeddedFile {
  std::string storedName;  // Windows-1252, folders separated by backslashes
  std::filesystem::path source;
  std::uint64_t size = 0;
};

// The runtime jar's name in the extraction directory. The launcher puts the
// archives found there on the class path, so its classes need no key.
inline constexpr std::string_view kRuntimeJarName = "runvo-runtime.jar";

struct PackPlan {
  ConfigTable table;
  std::vector<EmbeddedFile> files;  // in the order of the name list (kKeyEmbeddedFileNames)
  // launcher.runtime_jar: the builder adds the runtime jar after the config's
  // files (addRuntimeJar). The loader has made sure that its name is free.
  bool embedsRuntimeJar = true;
  // [identity]: the stub's resource section is rebuilt with it.
  std::optional<Identity> identity;
};

// On failure the message holds every problem found, one per line, each
// "CONFIG:LINE: text" (or "CONFIG: text" for something missing entirely).
Expected<PackPlan> loadPackConfig(const std::filesystem::path& configPath);

// The same for a config's bytes already in memory: UTF-8, or UTF-16 with a
// byte order mark (configTextAsUtf8). `configName` is what messages call it,
// and relative source paths are taken against `baseDirectory`.
Expected<PackPlan> loadPackConfigText(std::string_view bytes, const std::string& configName,
                                      const std::filesystem::path& baseDirectory);

// Appends the runtime jar as the last file and counts and names it in the
// file keys; the config's files keep their positions.
void addRuntimeJar(PackPlan& plan, std::filesystem::path source, std::uint64_t size);

}  // namespace runvo::pack
