// The diagnostic log. Off unless RUNVO_LOG or KESTRELIX_LOG is "yes"; then
// every call appends one line to a file of its own, opened and closed per line
// so that nothing is lost when the process ends abruptly. Safe from any thread.
//
// Formats follow the C runtime's printf family of the Windows runtime library,
// including %S for a wide string and %I64d for a 64-bit integer.
#pragma once
#include <optional>
#include <string>

namespace runvo {

void writeLog(const char* format, ...);
// As writeLog, with the line starting "ERROR: ".
void writeErrorLog(const char* format, ...);
// The log file's path once the log is on (even when the file could not be
// created); empty while the log is off or not yet initialised.
std::optional<std::string> getLogPath();

}  // namespace runvo
