#include "service/console_run.h"

#include <mutex>

#include "diag/log.h"
#include "service/child_process.h"
#include "service/host_rules.h"
#include "util/win_text.h"

namespace runvo {

namespace {
struct ConsoleRun {
  std::mutex lock;
  UniqueHandle stopLineWriteEnd;
};

ConsoleRun& consoleRun() {
  static ConsoleRun run;
  return run;
}

}  // namespace

// The child sees the same console event and ignores it; the stop line is
// what ends the application, once.
BOOL WINAPI stopOnConsoleEvent(DWORD event) {
  writeLog("console event %d: sending the stop line", static_cast<int>(event));
  ConsoleRun& run = consoleRun();
  std::lock_guard guard(run.lock);
  sendStopLine(run.stopLineWriteEnd);
  return TRUE;
}

void setConsoleStopLine(UniqueHandle stopLineWriteEnd) {
  ConsoleRun& run = consoleRun();
  std::lock_guard guard(run.lock);
  run.stopLineWriteEnd = std::move(stopLineWriteEnd);
}

Outcome<int> runInConsole(WideView program, const std::string& serviceName) {
  const std::wstring name = fromUtf8(serviceName);
  const auto line = childCommandLine({WideString(program)}, asPortable(name), {});
  if (!line) return textFailure("", "passing the service name to the application", ERROR_INVALID_PARAMETER);
  std::wstring commandLine(asWin(*line));
  writeLog("running %S in the console", commandLine.c_str());
  auto child = startChild(std::move(commandLine), 0, ChildOutput::Console);
  if (!child) return child.takeError();
  setConsoleStopLine(std::move(child->stopLineWriteEnd));
  SetConsoleCtrlHandler(stopOnConsoleEvent, TRUE);
  WaitForSingleObject(child->process.get(), INFINITE);
  DWORD exitCode = 1;
  GetExitCodeProcess(child->process.get(), &exitCode);
  writeLog("the application ended with exit code %d", static_cast<int>(exitCode));
  return static_cast<int>(exitCode);
}

}  // namespace runvo
