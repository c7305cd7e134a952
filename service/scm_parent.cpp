#include "service/scm_parent.h"

#include <optional>

#include "util/unique_handle.h"
#include "util/win.h"

#include <tlhelp32.h>

namespace runvo {

namespace {
std::optional<PROCESSENTRY32W> findProcess(HANDLE snapshot, DWORD processId) {
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    if (entry.th32ProcessID == processId) return entry;
  }
  return std::nullopt;
}
}  // namespace

bool startedByServiceManager() {
  UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return true;  // cannot tell: the dispatcher decides
  const auto self = findProcess(snapshot.get(), GetCurrentProcessId());
  if (!self) return true;
  const auto parent = findProcess(snapshot.get(), self->th32ParentProcessID);
  return parent && _wcsicmp(parent->szExeFile, L"services.exe") == 0;
}

}  // namespace runvo
