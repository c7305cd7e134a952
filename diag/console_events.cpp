#include "diag/console_events.h"

#include "diag/log.h"
#include "util/win.h"

namespace runvo {

namespace {
BOOL WINAPI logConsoleEvent(DWORD) {
  writeLog("ConsoleCtrlHandler event");
  return TRUE;
}
}  // namespace

void registerConsoleEventLogger() {
  writeLog("registering ConsoleCtrlHandler");
  SetConsoleCtrlHandler(logConsoleEvent, TRUE);
}

}  // namespace runvo
