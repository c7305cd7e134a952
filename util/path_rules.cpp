#include "util/path_rules.h"

namespace runvo {

bool isRelativePath(std::string_view path) {
  if (path.size() < 3) return true;
  if (path[0] == '"') {
    if (path.size() < 4) return true;
    return !(path.substr(2, 2) == ":\\" || path.substr(1, 2) == "\\\\");
  }
  return !(path.substr(1, 2) == ":\\" || path.substr(0, 2) == "\\\\");
}

bool isDriveRootText(std::string_view path) {
  if (path.size() < 2) return false;
  const std::string_view rest = path.substr(1);
  return rest == ":\\" || rest == ":\\." || rest == ":\\.\\.";
}

std::string_view folderWithSeparator(std::string_view path) {
  const std::size_t at = path.find_last_of("\\/");
  return at == std::string_view::npos ? std::string_view() : path.substr(0, at + 1);
}

}  // namespace runvo
