#include "diag/file_log.h"
#include "launcher/command_tail.h"
#include "launcher/dispatch.h"
#include "util/win.h"

int main() {
  runvo::setLogSink(&runvo::fileLogSink());
  return runvo::runvoMain(runvo::commandTail(GetCommandLineA()));
}
