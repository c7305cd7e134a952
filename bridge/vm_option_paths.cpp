#include "bridge/vm_option_paths.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace runvo::bridge {

namespace {
constexpr std::array<std::string_view, 3> kListOptions = {"-Djava.class.path=", "-Djava.library.path=",
                                                          "-Xbootclasspath/a:"};

std::string withSlashes(std::string_view text) {
  std::string result(text);
  std::replace(result.begin(), result.end(), '\\', '/');
  return result;
}

std::string translateEntry(std::string_view entry, const PathTranslator& toUnix) {
  if (isAbsoluteWindowsPath(entry)) {
    if (auto unixPath = toUnix(entry)) return *unixPath;
    return std::string(entry);
  }
  return withSlashes(entry);
}

// True when every non-empty entry of a ';' list is an absolute path.
bool isAbsolutePathList(std::string_view list) {
  bool any = false;
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find(';', start);
    if (end == std::string_view::npos) end = list.size();
    const std::string_view entry = list.substr(start, end - start);
    if (!entry.empty()) {
      if (!isAbsoluteWindowsPath(entry)) return false;
      any = true;
    }
    start = end + 1;
  }
  return any;
}

std::optional<std::string> translateValueAt(std::string_view option, std::size_t separator,
                                            const PathTranslator& toUnix) {
  if (separator == std::string_view::npos) return std::nullopt;
  const std::string_view value = option.substr(separator + 1);
  if (!isAbsolutePathList(value)) return std::nullopt;
  return std::string(option.substr(0, separator + 1)) + translatePathList(value, toUnix);
}
}  // namespace

bool isAbsoluteWindowsPath(std::string_view text) {
  return text.size() >= 3 && std::isalpha(static_cast<unsigned char>(text[0])) && text[1] == ':' &&
         (text[2] == '\\' || text[2] == '/');
}

std::string translatePathList(std::string_view list, const PathTranslator& toUnix) {
  std::string result;
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find(';', start);
    if (end == std::string_view::npos) end = list.size();
    if (start > 0) result += ':';
    result += translateEntry(list.substr(start, end - start), toUnix);
    start = end + 1;
  }
  return result;
}

std::string translateOption(std::string_view option, const PathTranslator& toUnix) {
  for (std::string_view prefix : kListOptions) {
    if (option.starts_with(prefix)) {
      return std::string(prefix) + translatePathList(option.substr(prefix.size()), toUnix);
    }
  }
  const std::size_t equals = option.find('=');
  // A property value may hold ':' of its own ("-Durl=http://..."); only other
  // options name their value after a colon ("-Xloggc:C:\gc.log").
  const std::size_t colon = option.starts_with("-D") ? std::string_view::npos : option.find(':');
  const std::size_t first = std::min(equals, colon);
  const std::size_t second = std::max(equals, colon);
  if (auto translated = translateValueAt(option, first, toUnix)) return *translated;
  if (auto translated = translateValueAt(option, second, toUnix)) return *translated;
  return std::string(option);
}

HookOption hookOption(std::string_view option) {
  if (option == "exit") return HookOption::Exit;
  if (option == "abort") return HookOption::Abort;
  if (option == "vfprintf") return HookOption::Vfprintf;
  return HookOption::None;
}

}  // namespace runvo::bridge
