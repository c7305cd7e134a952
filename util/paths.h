// The launcher's own path and directory, and conversions of configured paths.
// Relative paths are always taken against the launcher directory, never the
// current directory.
#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "util/win.h"

namespace runvo {

// The executable's path: its long form when the file code page can write it,
// else its short (8.3) form. Computed once.
const std::string& modulePath();
// The directory of modulePath(), ending with a backslash. Computed once.
const std::string& launcherDirectory();

std::string absoluteAgainstLauncher(std::string_view path);
// Absolute, normalised (".", "..", forward slashes), lower-cased unless keepCase.
std::string fullPath(std::string_view path, bool keepCase);
// Lower-cases when the text survives the round trip through UTF-16.
void lowerCaseInPlace(std::string& path);
void collapseBackslashesInPlace(std::string& path);

bool pathExists(std::string_view path);
// As pathExists; also gives the last-write time of what was found.
bool pathExists(std::string_view path, FILETIME* lastWrite);

// Each ';'-separated piece made absolute; empty pieces are dropped.
std::string absolutePathList(std::string_view list);

bool isNtPlatform();

// The long form of a path. One without "~" holds no short (8.3) component and
// is its own long form, which saves the system's look-up of every folder on
// the way; for another, empty when the system cannot find it.
std::string longPathName(const std::string& path);
std::wstring longPathName(const std::wstring& path);

}  // namespace runvo
