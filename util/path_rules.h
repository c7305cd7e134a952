// Path rules that need no file system: what counts as relative, and the
// shapes of paths the launcher recognises without asking Windows.
#pragma once
#include <string>
#include <string_view>

#include "util/text.h"

namespace runvo {

// Neither drive-absolute ("C:\...") nor a network path ("\\server"); a path
// may start with a double quote, as configured texts sometimes do.
bool isRelativePath(std::string_view path);

// "C:\", "C:\." or "C:\.\." : a drive root, which exists without a look.
bool isDriveRootText(std::string_view path);

// The folder of a path with its last separator ('\\' or '/'); empty for a bare name.
std::string_view folderWithSeparator(std::string_view path);

// Each ';'-separated piece of the list through `absolute`; empty pieces are dropped.
template <typename Absolute>
std::string absolutePathList(std::string_view list, Absolute absolute) {
  std::string result;
  for (const std::string& piece : splitNonEmpty(list, ';')) {
    if (!result.empty()) result += ';';
    result += absolute(piece);
  }
  return result;
}

// Drops every backslash that follows a backslash, from the third character
// on, so a network path keeps its two leading backslashes.
template <typename String>
void collapseBackslashes(String& path) {
  if (path.size() <= 2) return;
  std::size_t out = 2;
  for (std::size_t in = 2; in < path.size(); ++in) {
    if (path[in] == '\\' && path[out - 1] == '\\') continue;
    path[out++] = path[in];
  }
  path.resize(out);
}

}  // namespace runvo
