// Starting the application as a child process is not part of this build yet:
// the host tells the Service Control Manager that it stopped with an error,
// so the service never looks as if it ran.
#include "service/service_host.h"

#include "diag/log.h"
#include "launcher/service_name.h"

namespace runvo {

namespace {
DWORD WINAPI ignoreControls(DWORD, DWORD, LPVOID, LPVOID) { return NO_ERROR; }
}  // namespace

void WINAPI serviceMain(DWORD, LPSTR*) {
  SERVICE_STATUS_HANDLE handle =
      RegisterServiceCtrlHandlerExA(serviceName().c_str(), ignoreControls, nullptr);
  if (handle == nullptr) {
    writeErrorLog("RegisterServiceCtrlHandler failed (%d)", static_cast<int>(GetLastError()));
    return;
  }
  writeErrorLog("the service host is not available in this build");
  SERVICE_STATUS status{};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = SERVICE_STOPPED;
  status.dwWin32ExitCode = ERROR_CALL_NOT_IMPLEMENTED;
  SetServiceStatus(handle, &status);
}

}  // namespace runvo
