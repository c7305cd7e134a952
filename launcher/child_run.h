// The process that the service host starts: it extracts the embedded files,
// finds and loads a JVM and runs the application.
#pragma once
#include "util/command_line.h"

namespace runvo {

// The exit code when the application ran; a failure ends the process.
int runChild(const ArgumentVector& applicationArguments);

}  // namespace runvo
