// A Java runtime shipped inside the executable: every file of a folder (a
// jlink image, for example), embedded under "jre\" with its whole relative
// path, for the launcher to find at %RUNVO_TEMPDIR%\jre.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "pack/common/expected.h"

namespace runvo::pack {

inline constexpr std::string_view kBundleFolder = "jre";

struct BundledFile {
  std::string name;  // UTF-8 with "/", starting with "jre/"
  std::filesystem::path source;
  std::uintmax_t size = 0;
};

// Every file below `runtime`, sorted by name so that builds repeat byte for
// byte whatever order the file system lists them in. Links to files count as
// the files. Refused: a folder without bin/java.exe (no Windows runtime), a
// link to a folder (not followed, so that nothing is left out unnoticed), and
// anything that is neither a file nor a folder, a broken link included.
Expected<std::vector<BundledFile>> listRuntimeBundle(const std::filesystem::path& runtime);

}  // namespace runvo::pack
