// The launcher's log file: created on the first line when RUNVO_LOG or
// KESTRELIX_LOG is "yes", then opened, appended to and closed for every line
// (nothing is lost when the process ends abruptly), under one lock.
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>

#include "diag/file_log.h"
#include "util/win.h"

namespace runvo {

namespace {
constexpr DWORD kValueCapacity = 8192;

bool variableSaysYes(const char* name) {
  char value[kValueCapacity];
  const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
  return length > 0 && length < sizeof value && std::string(value, length) == "yes";
}

class FileLogSink final : public LogSink {
 public:
  void writeLine(const char* prefix, const char* format, va_list args) override {
    std::lock_guard guard(lock_);
    FILE* file = openForLine();
    if (file == nullptr) return;
    std::fputs(prefix, file);
    std::vfprintf(file, format, args);
    std::fputs("\n", file);
    std::fclose(file);
  }

  std::optional<std::string> path() override {
    std::lock_guard guard(lock_);
    return path_;
  }

 private:
  // The first line decides whether there is a log.
  FILE* openForLine() {
    FILE* file = path_ ? std::fopen(path_->c_str(), "a") : nullptr;
    if (!initialised_) {
      initialised_ = true;
      if (variableSaysYes("RUNVO_LOG") || variableSaysYes("KESTRELIX_LOG")) file = createFile();
    }
    return file;
  }

  FILE* createFile() {
    FILE* file = nullptr;
    if (char* name = _tempnam("c:\\", "ksx_nlog_")) {
      path_ = name;
      std::free(name);
      file = std::fopen(path_->c_str(), "w");
    }
    if (file == nullptr) {
      path_ = "c:\\ksx_nlog";
      file = std::fopen(path_->c_str(), "w");
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

  std::mutex lock_;
  bool initialised_ = false;
  std::optional<std::string> path_;
};
}  // namespace

LogSink& fileLogSink() {
  static FileLogSink sink;
  return sink;
}

}  // namespace runvo
