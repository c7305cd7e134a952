#include "diag/file_log.h"
#include "launcher/command_tail.h"
#include "launcher/dispatch.h"
#include "util/win.h"
#include "util/win_text.h"

int main() {
  // The current directory is never searched for DLLs: a planted one there
  // would run as this program.
  SetDllDirectoryW(L"");
  runvo::setLogSink(&runvo::fileLogSink());
  // UTF-8, so that a service name outside the ANSI code page stays whole.
  const std::string commandLine = runvo::toUtf8(GetCommandLineW());
  return runvo::runvoMain(runvo::commandTail(commandLine));
}
