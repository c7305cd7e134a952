#include "payload/environment.h"

#include <cstdlib>

#include "diag/log.h"
#include "util/win.h"

namespace runvo {

std::string environmentVariable(const char* name, unsigned long capacity) {
  std::string value(capacity, '\0');
  const DWORD length = GetEnvironmentVariableA(name, value.data(), capacity);
  value.resize(length < capacity ? length : 0);
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
