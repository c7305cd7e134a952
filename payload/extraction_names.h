// Names of extraction directories: "rvx<owner>_<random>.tmp_dir" in the
// temporary folder, where <owner> identifies the executable (its path), so
// that a clean-up only ever looks at directories of the same executable.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace runvo {

// Eight hex digits from the executable's path, case folded as Windows does for ASCII.
std::string executableOwnerId(std::string_view modulePath);

std::string extractionDirectoryName(std::string_view ownerId, std::uint64_t random);

// Whether a directory name is one of this owner's extraction directories.
bool isExtractionDirectoryOf(std::string_view name, std::string_view ownerId);

// What a listing of a folder of the extraction directory ("" for the
// directory itself, "user" for its user folder) shows once the extraction
// made `createdPaths` (every folder and file it created, relative to the
// directory): each name once, in the order an NTFS listing gives (by
// upper-cased name); none when the folder was not made. Spares the class path
// a listing of what this run has just written itself.
std::optional<std::vector<std::string>> extractedFolderListing(const std::vector<std::string>& createdPaths,
                                                               std::string_view folder);

// The file in each extraction directory that its run holds open; a run that
// ended lets it be deleted, which is how a clean-up tells a stale directory.
inline constexpr std::string_view kOwnerLockName = ".owner";

}  // namespace runvo
