#include "support/recording_log.h"

#include <cstdarg>
#include <cstdio>

#include "diag/log.h"

namespace runvo {

namespace {
void record(const char* prefix, const char* format, va_list args) {
  char line[1024];
  std::vsnprintf(line, sizeof line, format, args);
  testing::recordedLogLines().push_back(std::string(prefix) + line);
}
}  // namespace

std::vector<std::string>& testing::recordedLogLines() {
  static std::vector<std::string> lines;
  return lines;
}

void writeLog(const char* format, ...) {
  va_list args;
  va_start(args, format);
  record("", format, args);
  va_end(args);
}

void writeErrorLog(const char* format, ...) {
  va_list args;
  va_start(args, format);
  record("ERROR: ", format, args);
  va_end(args);
}

std::optional<std::string> getLogPath() { return std::nullopt; }

}  // namespace runvo
