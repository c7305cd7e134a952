#include "service/scm_access.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "util/paths.h"

#include "util/win_text.h"

namespace runvo {

UniqueServiceHandle openManager(DWORD access) { return UniqueServiceHandle(OpenSCManagerA(nullptr, nullptr, access)); }

UniqueServiceHandle openService(const UniqueServiceHandle& manager, const std::string& name, DWORD access) {
  return UniqueServiceHandle(OpenServiceW(manager.get(), fromUtf8(name).c_str(), access));
}

bool isThisExecutable(const char* registeredPath) {
  std::string_view registered = registeredPath ? registeredPath : "";
  if (!registered.empty() && registered.front() == '"') registered.remove_prefix(1);
  const std::string& own = modulePath();
  return registered.size() >= own.size() && _strnicmp(registered.data(), own.c_str(), own.size()) == 0;
}

std::optional<Registered> registeredConfig(SC_HANDLE service) {
  DWORD needed = 0;
  QueryServiceConfigW(service, nullptr, 0, &needed);
  std::vector<std::uint64_t> buffer(needed / sizeof(std::uint64_t) + 1);
  auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
  if (needed == 0 || !QueryServiceConfigW(service, config, static_cast<DWORD>(buffer.size() * sizeof(std::uint64_t)),
                                          &needed)) {
    return std::nullopt;
  }
  return Registered{config->lpBinaryPathName ? toNarrow(config->lpBinaryPathName) : std::string(),
                    config->lpServiceStartName ? config->lpServiceStartName : L""};
}

void printReason(DWORD error) {
  std::fflush(stdout);
  std::fprintf(stderr, "%s\n", systemErrorText(error).c_str());
  std::fflush(stderr);
}

void printFailure(std::string_view line, DWORD error) {
  std::printf("%.*s\n", static_cast<int>(line.size()), line.data());
  printReason(error);
}

}  // namespace runvo
