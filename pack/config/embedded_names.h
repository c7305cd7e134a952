// Names of the embedded files inside the extraction directory. The launcher
// joins them with ";" into one key, creates every folder of a name, and
// writes each file with the Windows file API, so a name must be a plain
// relative Windows path.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace runvo::pack {

// The name as stored: "/" turned into the backslash the launcher splits at.
std::string storedEmbeddedName(std::string_view name);

// Why the name (as stored) cannot be used, or nothing when it can.
std::optional<std::string> embeddedNameProblem(std::string_view storedName);

// Windows compares file names without regard to case; this folds the letters
// of Windows-1252, the only ones a stored name can hold.
std::string foldedForComparison(std::string_view windows1252Name);

// The top folder of a stored name, or empty.
std::string_view directoryPart(std::string_view storedName);

}  // namespace runvo::pack
