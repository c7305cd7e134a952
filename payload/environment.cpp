#include "payload/environment.h"

#include <cstdlib>

#include "diag/log.h"
#include "util/win.h"

namespace runvo {

std::string environmentVariable(const char* name, unsigned long capacity) {
  // Sized to the value: a buffer of the whole capacity (32 KiB for PATH)
  // costs its fresh pages at every start.
  const DWORD needed = GetEnvironmentVariableA(name, nullptr, 0);
  if (needed == 0 || needed > capacity) return {};
  std::string value(needed, '\0');
  const DWORD length = GetEnvironmentVariableA(name, value.data(), needed);
  value.resize(length < needed ? length : 0);
  return value;
}

void setPathEverywhere(const std::string& value, const char* label) {
  if (SetEnvironmentVariableA("PATH", value.c_str())) {
    writeLog("Setting %s %s", label, value.c_str());
  } else {
    writeLog("Setting %s %s failed with error %d", label, value.c_str(), static_cast<int>(GetLastError()));
  }
  _putenv(("PATH=" + value).c_str());
}

}  // namespace runvo
