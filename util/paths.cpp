#include "util/paths.h"

#include <cstring>
#include <vector>

#include "util/filled_buffer.h"
#include "util/path_rules.h"
#include "util/text.h"
#include "util/unique_handle.h"
#include "util/win_text.h"

namespace runvo {

namespace {
bool endsWithExe(const std::string& path) {
  return path.size() >= 4 && _stricmp(path.c_str() + path.size() - 4, ".exe") == 0;
}

std::optional<std::string> acceptableModulePath(const std::wstring& wide) {
  auto narrow = toNarrowLossless(wide);
  if (narrow && endsWithExe(*narrow)) return narrow;
  return std::nullopt;
}

std::string computeModulePath() {
  auto ansiModuleName = [] {
    return filledBuffer<char>([](char* b, DWORD n) { return GetModuleFileNameA(nullptr, b, n); });
  };
  std::string path;
  if (isNtPlatform()) {
    const std::wstring module =
        filledBuffer<wchar_t>([](wchar_t* b, DWORD n) { return GetModuleFileNameW(nullptr, b, n); });
    const std::wstring longForm = longPathName(module);
    auto accepted = acceptableModulePath(longForm);
    if (!accepted) {
      const std::wstring shortForm = filledBuffer<wchar_t>(
          [&](wchar_t* b, DWORD n) { return GetShortPathNameW(longForm.c_str(), b, n); });
      accepted = acceptableModulePath(shortForm);
    }
    if (accepted) {
      path = std::move(*accepted);
    } else {
      const std::string module8 = ansiModuleName();
      path = filledBuffer<char>([&](char* b, DWORD n) { return GetShortPathNameA(module8.c_str(), b, n); });
    }
  } else {
    path = ansiModuleName();
  }
  collapseBackslashesInPlace(path);
  return path;
}

std::string computeLauncherDirectory() {
  const std::string& module = modulePath();
  char* filePart = nullptr;
  std::string full = filledBuffer<char>(
      [&](char* b, DWORD n) { return GetFullPathNameA(module.c_str(), n, b, &filePart); });
  const std::size_t lastBackslash = full.rfind('\\');
  full.resize(lastBackslash == std::string::npos ? 0 : lastBackslash + 1);
  return full;
}

// Applies a text transformation through UTF-16 and keeps it only when the
// way back to 8-bit text is lossless, so a path is never damaged.
template <typename Transform>
void throughWide(std::string& path, Transform transform) {
  std::wstring wide = toWide(path);
  transform(wide);
  if (auto back = toNarrowLossless(wide)) path = std::move(*back);
}
}  // namespace

const std::string& modulePath() {
  static const std::string path = computeModulePath();
  return path;
}

const std::string& launcherDirectory() {
  static const std::string directory = computeLauncherDirectory();
  return directory;
}

std::string absoluteAgainstLauncher(std::string_view path) {
  std::string result;
  if (isRelativePath(path)) result = launcherDirectory();
  result += path;
  collapseBackslashesInPlace(result);
  return result;
}

std::string fullPath(std::string_view path, bool keepCase) {
  const std::string absolute = absoluteAgainstLauncher(path);
  std::string full = filledBuffer<char>(
      [&](char* b, DWORD n) { return GetFullPathNameA(absolute.c_str(), n, b, nullptr); });
  if (full.empty()) full = absolute;
  if (!keepCase) lowerCaseInPlace(full);
  collapseBackslashesInPlace(full);
  return full;
}

void lowerCaseInPlace(std::string& path) {
  throughWide(path, [](std::wstring& w) { _wcslwr(w.data()); });
}

void collapseBackslashesInPlace(std::string& path) {
  throughWide(path, [](std::wstring& w) { collapseBackslashes(w); });
}

bool pathExists(std::string_view path) { return pathExists(path, nullptr); }

bool pathExists(std::string_view path, FILETIME* lastWrite) {
  if (lastWrite == nullptr && isDriveRootText(path)) return true;
  if (path.empty()) return false;
  // A plain name is looked up directly: a directory search costs twenty times
  // as much. Wildcards, and a trailing separator, which a search refuses, keep
  // the search's answer.
  if (path.find_first_of("*?") == std::string_view::npos && path.back() != '\\' && path.back() != '/') {
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    if (!GetFileAttributesExA(std::string(path).c_str(), GetFileExInfoStandard, &attributes)) return false;
    if (lastWrite) *lastWrite = attributes.ftLastWriteTime;
    return true;
  }
  WIN32_FIND_DATAA found;
  UniqueFindHandle search(FindFirstFileA(std::string(path).c_str(), &found));
  if (!search) return false;
  if (lastWrite) *lastWrite = found.ftLastWriteTime;
  return true;
}

std::string absolutePathList(std::string_view list) {
  return absolutePathList(list, [](std::string_view piece) { return absoluteAgainstLauncher(piece); });
}

bool isNtPlatform() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  return GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

std::string longPathName(const std::string& path) {
  if (path.find('~') == std::string::npos) return path;
  return filledBuffer<char>([&](char* b, DWORD n) { return GetLongPathNameA(path.c_str(), b, n); });
}

std::wstring longPathName(const std::wstring& path) {
  if (path.find(L'~') == std::wstring::npos) return path;
  return filledBuffer<wchar_t>([&](wchar_t* b, DWORD n) { return GetLongPathNameW(path.c_str(), b, n); });
}

}  // namespace runvo
