#include "diag/log.h"

#include <atomic>

namespace runvo {

namespace {
std::atomic<LogSink*> installedSink{nullptr};

void forward(const char* prefix, const char* format, va_list args) {
  if (LogSink* sink = installedSink.load()) sink->writeLine(prefix, format, args);
}
}  // namespace

void setLogSink(LogSink* sink) { installedSink = sink; }

void writeLog(const char* format, ...) {
  va_list args;
  va_start(args, format);
  forward("", format, args);
  va_end(args);
}

void writeErrorLog(const char* format, ...) {
  va_list args;
  va_start(args, format);
  forward("ERROR: ", format, args);
  va_end(args);
}

std::optional<std::string> getLogPath() {
  LogSink* sink = installedSink.load();
  return sink ? sink->path() : std::nullopt;
}

}  // namespace runvo
