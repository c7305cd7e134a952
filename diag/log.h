// The diagnostic log, a base facility every layer may write to. Lines go to
// the sink the program installed at start (the launcher's file log, a test's
// recorder) and nowhere while none is installed, as in the builder.
//
// Formats follow the C runtime's printf family of the Windows runtime library,
// including %S for a wide string and %I64d for a 64-bit integer.
#pragma once
#include <cstdarg>
#include <optional>
#include <string>

namespace runvo {

class LogSink {
 public:
  virtual ~LogSink() = default;
  // One whole line: the prefix, then the formatted text. Safe from any thread.
  virtual void writeLine(const char* prefix, const char* format, va_list args) = 0;
  // Where the lines go, when that is a file.
  virtual std::optional<std::string> path() = 0;
};

// Installed once at start; nullptr turns the log off.
void setLogSink(LogSink* sink);

void writeLog(const char* format, ...);
// As writeLog, with the line starting "ERROR: ".
void writeErrorLog(const char* format, ...);
// The log file's path once the log is on (even when the file could not be
// created); empty while the log is off or not yet initialised.
std::optional<std::string> getLogPath();

}  // namespace runvo
