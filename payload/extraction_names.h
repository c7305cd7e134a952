// Names of extraction directories: "rvx<owner>_<random>.tmp_dir" in the
// temporary folder, where <owner> identifies the executable (its path), so
// that a clean-up only ever looks at directories of the same executable.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace runvo {

// Eight hex digits from the executable's path, case folded as Windows does for ASCII.
std::string executableOwnerId(std::string_view modulePath);

std::string extractionDirectoryName(std::string_view ownerId, std::uint64_t random);

// Whether a directory name is one of this owner's extraction directories.
bool isExtractionDirectoryOf(std::string_view name, std::string_view ownerId);

// The file in each extraction directory that its run holds open; a run that
// ended lets it be deleted, which is how a clean-up tells a stale directory.
inline constexpr std::string_view kOwnerLockName = ".owner";

}  // namespace runvo
