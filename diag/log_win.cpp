// The log file: created on the first call when asked for, then opened,
// appended to and closed for every line, under one process-wide lock.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>

#include "diag/log.h"
#include "util/win.h"

namespace runvo {

namespace {
constexpr DWORD kValueCapacity = 8192;

struct LogState {
  std::mutex lock;
  bool initialised = false;
  std::optional<std::string> path;
};

LogState& state() {
  static LogState s;
  return s;
}

bool variableSaysYes(const char* name) {
  char value[kValueCapacity];
  const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
  return length > 0 && length < sizeof value && std::string(value, length) == "yes";
}

FILE* createLogFile(LogState& s) {
  FILE* file = nullptr;
  if (char* name = _tempnam("c:\\", "ksx_nlog_")) {
    s.path = name;
    std::free(name);
    file = std::fopen(s.path->c_str(), "w");
  }
  if (file == nullptr) {
    s.path = "c:\\ksx_nlog";
    file = std::fopen(s.path->c_str(), "w");
  }
  if (file != nullptr) {
    char module[kValueCapacity] = {};
    GetModuleFileNameA(nullptr, module, sizeof module - 1);
    const std::time_t now = std::time(nullptr);
    const char* started = std::ctime(&now);
    std::fprintf(file, "Started executable %s at %s\n", module, started ? started : "\n");
    std::fflush(file);
  }
  return file;
}

// Opens the log for this line: the first call decides whether there is one.
FILE* openForLine(LogState& s) {
  FILE* file = s.path ? std::fopen(s.path->c_str(), "a") : nullptr;
  if (!s.initialised) {
    s.initialised = true;
    if (variableSaysYes("RUNVO_LOG") || variableSaysYes("KESTRELIX_LOG")) file = createLogFile(s);
  }
  return file;
}

void writeLine(const char* prefix, const char* format, va_list args) {
  LogState& s = state();
  std::lock_guard guard(s.lock);
  FILE* file = openForLine(s);
  if (file == nullptr) return;
  std::fputs(prefix, file);
  std::vfprintf(file, format, args);
  std::fputs("\n", file);
  std::fclose(file);
}
}  // namespace

void writeLog(const char* format, ...) {
  va_list args;
  va_start(args, format);
  writeLine("", format, args);
  va_end(args);
}

void writeErrorLog(const char* format, ...) {
  va_list args;
  va_start(args, format);
  writeLine("ERROR: ", format, args);
  va_end(args);
}

std::optional<std::string> getLogPath() {
  LogState& s = state();
  std::lock_guard guard(s.lock);
  return s.path;
}

}  // namespace runvo
