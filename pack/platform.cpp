#include "pack/platform.h"

#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace runvo::pack {

#ifdef _WIN32

Expected<std::filesystem::path> runningExecutablePath() {
  // Long paths can exceed MAX_PATH; grow until the name fits.
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) {
      return failure("cannot find the path of runvo-pack itself (error " +
                     std::to_string(GetLastError()) + ")");
    }
    if (length < buffer.size()) return std::filesystem::path(buffer.substr(0, length));
    buffer.resize(buffer.size() * 2);
  }
}

unsigned long currentProcessId() { return GetCurrentProcessId(); }

#else

Expected<std::filesystem::path> runningExecutablePath() {
  std::error_code error;
  std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return failure("cannot find the path of runvo-pack itself: " + error.message());
  return path;
}

unsigned long currentProcessId() { return static_cast<unsigned long>(getpid()); }

#endif

}  // namespace runvo::pack
