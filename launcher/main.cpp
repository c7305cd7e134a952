#include "diag/file_log.h"
#include "launcher/command_tail.h"
#include "launcher/dispatch.h"
#include "util/win.h"

int main() {
  // The current directory is never searched for DLLs: a planted one there
  // would run as this program.
  SetDllDirectoryW(L"");
  runvo::setLogSink(&runvo::fileLogSink());
  return runvo::runvoMain(runvo::commandTail(GetCommandLineA()));
}
