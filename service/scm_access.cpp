#include "service/scm_access.h"

#include <cstdio>

#include "util/win_text.h"

namespace runvo {

UniqueServiceHandle openManager(DWORD access) { return UniqueServiceHandle(OpenSCManagerA(nullptr, nullptr, access)); }

UniqueServiceHandle openService(const UniqueServiceHandle& manager, const std::string& name, DWORD access) {
  return UniqueServiceHandle(OpenServiceW(manager.get(), fromUtf8(name).c_str(), access));
}

void printReason(DWORD error) {
  std::fflush(stdout);
  std::fprintf(stderr, "%s\n", systemErrorText(error).c_str());
  std::fflush(stderr);
}

}  // namespace runvo
