// /run: the application in this console, run exactly as the service runs it
// (the same child run), its output on the console. Ctrl+C, Ctrl+Break or
// closing the console sends it the stop line, so its shutdown hooks run.
#pragma once
#include <string>

#include "util/outcome.h"
#include "util/unique_handle.h"
#include "util/wide.h"

namespace runvo {

// The application's exit code; fails when the child cannot be started.
Outcome<int> runInConsole(WideView program, const std::string& serviceName);

// What /run does with a console event: the stop line to the child, once.
// Named for the tests, which cannot send a console event under Wine.
void setConsoleStopLine(UniqueHandle stopLineWriteEnd);
BOOL WINAPI stopOnConsoleEvent(DWORD event);

}  // namespace runvo
