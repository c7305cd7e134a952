#include "service/event_log.h"

#include "diag/log.h"
#include "util/unique_handle.h"
#include "util/win_text.h"

namespace runvo {

namespace {
constexpr DWORD kFailedStartEventId = 1;
// Windows' own eventcreate.exe holds the messages 1 to 1000 as "%1": the
// event viewer then shows our text as it stands.
constexpr char kMessageFile[] = "%SystemRoot%\\System32\\EventCreate.exe";
}

std::string eventSourceKey(const std::string& serviceName) {
  return "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\" + serviceName;
}

bool registerEventSource(const std::string& serviceName) {
  UniqueHKey key;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, fromUtf8(eventSourceKey(serviceName)).c_str(), 0, nullptr,
                      REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
  RegSetValueExA(key.get(), "TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types), sizeof types);
  RegSetValueExA(key.get(), "EventMessageFile", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(kMessageFile),
                 sizeof kMessageFile);
  return true;
}

void removeEventSource(const std::string& serviceName) {
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, fromUtf8(eventSourceKey(serviceName)).c_str());
}

void writeEventLogError(const std::string& serviceName, const std::string& text) {
  const std::wstring source = fromUtf8(serviceName);
  HANDLE log = RegisterEventSourceW(nullptr, source.c_str());
  if (log == nullptr) {
    writeLog("RegisterEventSource failed with error %d", static_cast<int>(GetLastError()));
    return;
  }
  const std::wstring message = toWide(text, CP_ACP);
  const wchar_t* strings[] = {message.c_str()};
  if (!ReportEventW(log, EVENTLOG_ERROR_TYPE, 0, kFailedStartEventId, nullptr, 1, 0, strings, nullptr)) {
    writeLog("ReportEvent failed with error %d", static_cast<int>(GetLastError()));
  }
  DeregisterEventSource(log);
}

}  // namespace runvo
